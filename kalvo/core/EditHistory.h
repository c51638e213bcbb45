#pragma once
// Undo and redo of the board. A step is everything one gesture changed (a
// stroke from press to release, one eraser drag) or one clearing of the board;
// a change made outside a gesture is a step of its own. The history watches
// the document's segment list and replays steps backwards and forwards
// through it, so the document must not change behind its back while steps are
// kept (leaving a surface forgets them).
//
// No depth limit: steps are kept until the segments they hold, undo and redo
// sides together, pass a budget; then the oldest steps go, the newest is
// always kept. A held segment costs about 32 bytes (24 of segment, its
// position and vector slack), so the default budget of 4 Mi segments is
// about 128 MB, far beyond a day of drawing at one segment per pointer move.

#include <cstddef>
#include <deque>
#include <vector>

#include "kalvo/core/CMyDoc.h"

namespace kalvo {

class EditHistory final : public SegmentListObserver {
public:
    static constexpr std::size_t kDefaultSegmentBudget = std::size_t{1} << 22;

    // Watches `doc` until destroyed.
    explicit EditHistory(CMyDoc& doc, std::size_t segmentBudget = kDefaultSegmentBudget);
    ~EditHistory() override;
    EditHistory(const EditHistory&) = delete;
    EditHistory& operator=(const EditHistory&) = delete;

    // Every change between the two is one step. Beginning ends a step still
    // open; a step that changed nothing is dropped and leaves redo alone.
    void beginStep();
    void endStep();

    // Takes back (puts back) the latest step, ending an open one first;
    // false when there is none.
    bool undo();
    bool redo();
    [[nodiscard]] bool canUndo() const;
    [[nodiscard]] bool canRedo() const { return !redo_.empty(); }
    [[nodiscard]] std::size_t undoDepth() const { return undo_.size(); }
    [[nodiscard]] std::size_t heldSegments() const { return held_; }

    // Forgets every step.
    void clear();

    // SegmentListObserver
    void segmentAppended(const CHandwright& segment) override;
    void segmentsRemoved(std::vector<Removed> removed) override;

private:
    // Appended segments (the list's tail) or removed ones, with positions.
    struct Change {
        bool appended = false;
        std::vector<Removed> segments;
    };
    using Step = std::vector<Change>;

    [[nodiscard]] static std::size_t sizeOf(const Step& step);
    void record(Change change);
    void commit(Step step);
    void trimToBudget();

    CMyDoc& doc_;
    std::size_t budget_;
    std::deque<Step> undo_;
    std::vector<Step> redo_;
    Step open_;
    bool stepOpen_ = false;
    bool replaying_ = false;
    std::size_t held_ = 0;
};

}  // namespace kalvo
