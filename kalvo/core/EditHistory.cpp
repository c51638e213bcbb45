#include "kalvo/core/EditHistory.h"

#include <algorithm>

namespace kalvo {

EditHistory::EditHistory(CMyDoc& doc, std::size_t segmentBudget)
    : doc_(doc), budget_(segmentBudget) {
    doc_.SetObserver(this);
}

EditHistory::~EditHistory() {
    doc_.SetObserver(nullptr);
}

std::size_t EditHistory::sizeOf(const Step& step) {
    std::size_t n = 0;
    for (const Change& c : step) {
        n += c.segments.size();
    }
    return n;
}

void EditHistory::beginStep() {
    endStep();
    stepOpen_ = true;
}

void EditHistory::endStep() {
    if (!stepOpen_) {
        return;
    }
    stepOpen_ = false;
    if (!open_.empty()) {
        commit(std::move(open_));
    }
    open_.clear();
}

bool EditHistory::canUndo() const {
    return !undo_.empty() || !open_.empty();
}

bool EditHistory::undo() {
    endStep();
    if (undo_.empty()) {
        return false;
    }
    Step step = std::move(undo_.back());
    undo_.pop_back();
    replaying_ = true;
    for (auto it = step.rbegin(); it != step.rend(); ++it) {
        if (it->appended) {
            doc_.RemoveLastSegments(static_cast<int>(it->segments.size()));
        } else {
            doc_.InsertSegments(it->segments);
        }
    }
    replaying_ = false;
    redo_.push_back(std::move(step));
    return true;
}

bool EditHistory::redo() {
    endStep();
    if (redo_.empty()) {
        return false;
    }
    Step step = std::move(redo_.back());
    redo_.pop_back();
    replaying_ = true;
    for (const Change& c : step) {
        if (c.appended) {
            doc_.InsertSegments(c.segments);
            continue;
        }
        // Positions are ascending and count the list before the removal:
        // from the back, each deletion leaves the earlier ones in place.
        for (auto it = c.segments.rbegin(); it != c.segments.rend(); ++it) {
            doc_.DeleteSegment(it->index);
        }
    }
    replaying_ = false;
    undo_.push_back(std::move(step));
    return true;
}

void EditHistory::clear() {
    undo_.clear();
    redo_.clear();
    open_.clear();
    held_ = 0;
}

void EditHistory::segmentAppended(const CHandwright& segment) {
    if (replaying_) {
        return;
    }
    Change change{true, {{doc_.GetSegmentCount() - 1, segment}}};
    if (stepOpen_ && !open_.empty() && open_.back().appended) {
        open_.back().segments.push_back(std::move(change.segments.front()));
        ++held_;
        return;
    }
    record(std::move(change));
}

void EditHistory::segmentsRemoved(std::vector<Removed> removed) {
    if (replaying_ || removed.empty()) {
        return;
    }
    record(Change{false, std::move(removed)});
}

void EditHistory::record(Change change) {
    held_ += change.segments.size();
    if (stepOpen_) {
        open_.push_back(std::move(change));
        return;
    }
    Step step;
    step.push_back(std::move(change));
    commit(std::move(step));
}

void EditHistory::commit(Step step) {
    // A new step cuts off what could have been redone.
    for (const Step& s : redo_) {
        held_ -= sizeOf(s);
    }
    redo_.clear();
    undo_.push_back(std::move(step));
    trimToBudget();
}

void EditHistory::trimToBudget() {
    while (held_ > budget_ && undo_.size() > 1) {
        held_ -= sizeOf(undo_.front());
        undo_.pop_front();
    }
}

}  // namespace kalvo
