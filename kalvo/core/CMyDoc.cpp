#include "kalvo/core/CMyDoc.h"

#include <algorithm>

namespace kalvo {

void CMyDoc::AddSegment(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                        COLORREF color, std::int32_t width) {
    m_segments.push_back(std::make_unique<CHandwright>(x1, y1, x2, y2, color, width));
    if (observer_ != nullptr) {
        observer_->segmentAppended(*m_segments.back());
    }
    changed();
}

void CMyDoc::DeleteSegment(int index) {
    if (index < 0 || index >= GetSegmentCount()) {
        return;
    }
    if (observer_ != nullptr) {
        observer_->segmentsRemoved({{index, *m_segments[static_cast<std::size_t>(index)]}});
    }
    m_segments.erase(m_segments.begin() + index);
    changed();
}

void CMyDoc::ClearSegments() {
    if (m_segments.empty()) {
        return;
    }
    if (observer_ != nullptr) {
        std::vector<SegmentListObserver::Removed> removed;
        removed.reserve(m_segments.size());
        for (std::size_t i = 0; i < m_segments.size(); ++i) {
            removed.push_back({static_cast<int>(i), *m_segments[i]});
        }
        observer_->segmentsRemoved(std::move(removed));
    }
    m_segments.clear();
    changed();
}

int CMyDoc::RemoveSegmentsIf(const std::function<bool(const CHandwright&)>& doomed) {
    if (observer_ == nullptr) {
        const auto removed = std::erase_if(
            m_segments, [&](const std::unique_ptr<CHandwright>& s) { return doomed(*s); });
        if (removed > 0) {
            changed();
        }
        return static_cast<int>(removed);
    }
    // Still one pass that closes the gaps, noting what goes and where it was.
    std::vector<SegmentListObserver::Removed> removed;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < m_segments.size(); ++i) {
        if (doomed(*m_segments[i])) {
            removed.push_back({static_cast<int>(i), *m_segments[i]});
        } else {
            if (kept != i) {
                m_segments[kept] = std::move(m_segments[i]);
            }
            ++kept;
        }
    }
    if (removed.empty()) {
        return 0;
    }
    m_segments.resize(kept);
    const int count = static_cast<int>(removed.size());
    observer_->segmentsRemoved(std::move(removed));
    changed();
    return count;
}

void CMyDoc::InsertSegments(const std::vector<SegmentListObserver::Removed>& segments) {
    if (segments.empty()) {
        return;
    }
    // Ascending positions: each one counts the segments put back before it.
    for (const auto& [index, segment] : segments) {
        const auto at =
            std::min<std::size_t>(static_cast<std::size_t>(std::max(index, 0)), m_segments.size());
        m_segments.insert(m_segments.begin() + static_cast<std::ptrdiff_t>(at),
                          std::make_unique<CHandwright>(segment));
    }
    changed();
}

void CMyDoc::RemoveLastSegments(int count) {
    count = std::min(count, GetSegmentCount());
    if (count <= 0) {
        return;
    }
    m_segments.resize(m_segments.size() - static_cast<std::size_t>(count));
    changed();
}

CHandwright* CMyDoc::GetSegment(int index) const {
    if (index < 0 || index >= GetSegmentCount()) {
        return nullptr;
    }
    return m_segments[static_cast<std::size_t>(index)].get();
}

CText* CMyDoc::GetText(int index) const {
    if (index < 0 || index >= GetTextCount()) {
        return nullptr;
    }
    return m_texts[static_cast<std::size_t>(index)].get();
}

void CMyDoc::AddText(std::unique_ptr<CText> text) {
    if (text) {
        m_texts.push_back(std::move(text));
    }
}

void CMyDoc::changed() const {
    if (onChange_) {
        onChange_();
    }
}

}  // namespace kalvo
