#pragma once
// The one document: every segment drawn and not yet erased, oldest first, and
// the text labels drawn after them. It owns them all and has no stored form.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "kalvo/core/CHandwright.h"
#include "kalvo/core/CText.h"

namespace kalvo {

// Told of each change of the segment list in detail, so that it can be taken
// back (EditHistory). Copies of removed segments are handed over before they go.
class SegmentListObserver {
public:
    struct Removed {
        int index;  // position in the list before the removal
        CHandwright segment;
    };
    virtual ~SegmentListObserver() = default;
    // The new segment is the last in the list.
    virtual void segmentAppended(const CHandwright& segment) = 0;
    // Ascending positions.
    virtual void segmentsRemoved(std::vector<Removed> removed) = 0;
};

class CMyDoc {
public:
    CMyDoc() = default;
    CMyDoc(const CMyDoc&) = delete;
    CMyDoc& operator=(const CMyDoc&) = delete;

    void AddSegment(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                    COLORREF color, std::int32_t width);
    // Does nothing unless 0 <= index < GetSegmentCount(); later segments move down.
    void DeleteSegment(int index);
    // Texts are kept.
    void ClearSegments();
    // Deletes every segment the predicate accepts in one pass over the list;
    // the others keep their order. Returns how many went.
    int RemoveSegmentsIf(const std::function<bool(const CHandwright&)>& doomed);

    [[nodiscard]] int GetSegmentCount() const { return static_cast<int>(m_segments.size()); }
    // Null outside 0..count-1.
    [[nodiscard]] CHandwright* GetSegment(int index) const;
    [[nodiscard]] int GetTextCount() const { return static_cast<int>(m_texts.size()); }
    [[nodiscard]] CText* GetText(int index) const;

    // Texts have no command that creates them; this is how one is added.
    void AddText(std::unique_ptr<CText> text);

    // Called after every change of the segment list (not for a request that
    // changes nothing).
    void SetChangeCallback(std::function<void()> callback) { onChange_ = std::move(callback); }

    // Null: none. Not owned.
    void SetObserver(SegmentListObserver* observer) { observer_ = observer; }
    // Puts segments back at their positions (ascending, as segmentsRemoved
    // reported them), and removes the last `count` segments: the observer's
    // own replay of a change, so the observer is not told; the change
    // callback is.
    void InsertSegments(const std::vector<SegmentListObserver::Removed>& segments);
    void RemoveLastSegments(int count);

private:
    void changed() const;

    std::vector<std::unique_ptr<CHandwright>> m_segments;
    std::vector<std::unique_ptr<CText>> m_texts;
    std::function<void()> onChange_;
    SegmentListObserver* observer_ = nullptr;
};

}  // namespace kalvo
