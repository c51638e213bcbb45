#include "kalvo/core/CMyDoc.h"

namespace kalvo {

void CMyDoc::AddSegment(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                        COLORREF color, std::int32_t width) {
    m_segments.push_back(std::make_unique<CHandwright>(x1, y1, x2, y2, color, width));
    changed();
}

void CMyDoc::DeleteSegment(int index) {
    if (index < 0 || index >= GetSegmentCount()) {
        return;
    }
    m_segments.erase(m_segments.begin() + index);
    changed();
}

void CMyDoc::ClearSegments() {
    if (m_segments.empty()) {
        return;
    }
    m_segments.clear();
    changed();
}

int CMyDoc::RemoveSegmentsIf(const std::function<bool(const CHandwright&)>& doomed) {
    const auto removed = std::erase_if(
        m_segments, [&](const std::unique_ptr<CHandwright>& s) { return doomed(*s); });
    if (removed > 0) {
        changed();
    }
    return static_cast<int>(removed);
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
