#pragma once
// SurfaceActions for tests: records every call as a line of text and keeps a
// fake eraser window and toolbar. Also the board's segments as text.

#include <QPoint>
#include <QRect>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "kalvo/core/CMyDoc.h"
#include "kalvo/core/SurfaceActions.h"

namespace kalvo::testing {

inline std::string surfaceName(Surface s) {
    return s == Surface::Overlay ? "overlay" : "board";
}

// n short diagonal segments, the i-th from (i, i).
inline void addSegments(CMyDoc& doc, int n, COLORREF color = 0, int width = 1) {
    for (int i = 0; i < n; ++i) {
        doc.AddSegment(i, i, i + 1, i + 1, color, width);
    }
}

// Each segment as "x1,y1-x2,y2", in list order.
inline std::vector<std::string> segmentsText(const CMyDoc& doc) {
    std::vector<std::string> out;
    for (int i = 0; i < doc.GetSegmentCount(); ++i) {
        const CHandwright& s = *doc.GetSegment(i);
        out.push_back(std::to_string(s.m_x1) + "," + std::to_string(s.m_y1) + "-" +
                      std::to_string(s.m_x2) + "," + std::to_string(s.m_y2));
    }
    return out;
}

inline std::string rectText(const QRect& r) {
    return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) +
           "x" + std::to_string(r.height());
}

class RecordingSurfaceActions final : public SurfaceActions {
public:
    std::optional<QRect> toolbar;
    bool eraser = false;
    std::vector<std::string> calls;
    std::vector<QRect> repainted;
    // Runs for sendLeftUp, as the window's handler would.
    std::function<void(Surface)> onLeftUp;

    struct Forwarded {
        PointerMessage message;
        QPoint relative;
    };
    std::vector<Forwarded> forwarded;

    std::optional<QRect> toolbarRect() const override { return toolbar; }
    void forwardToToolbar(PointerMessage message, QPoint relative) override {
        forwarded.push_back({message, relative});
    }
    void setToolbarImages(int normal, int hot) override {
        calls.push_back("images " + std::to_string(normal) + " " + std::to_string(hot));
    }
    void showToolbar() override { calls.push_back("show toolbar"); }
    void showSurface(Surface s) override { calls.push_back("show " + surfaceName(s)); }
    void hideSurface(Surface s) override { calls.push_back("hide " + surfaceName(s)); }
    void refreshSurface(Surface s) override { calls.push_back("refresh " + surfaceName(s)); }
    void repaintInk(Surface s) override { calls.push_back("ink " + surfaceName(s)); }
    void placeFrame(bool fullScreen) override {
        calls.push_back(fullScreen ? "frame full" : "frame parked");
    }
    void drawLiveSegment(Surface s, QPoint from, QPoint to) override {
        calls.push_back("live " + surfaceName(s) + " " + std::to_string(from.x()) + "," +
                        std::to_string(from.y()) + "-" + std::to_string(to.x()) + "," +
                        std::to_string(to.y()));
    }
    void repaintArea(Surface s, const QRect& area) override {
        calls.push_back("repaint " + surfaceName(s) + " " + rectText(area));
        repainted.push_back(area);
    }
    void setCursor(int icon) override { calls.push_back("cursor " + std::to_string(icon)); }
    void sendLeftUp(Surface s) override {
        calls.push_back("left up " + surfaceName(s));
        if (onLeftUp) {
            onLeftUp(s);
        }
    }
    bool hasEraser() const override { return eraser; }
    void createEraser() override {
        calls.push_back("create eraser");
        eraser = true;
    }
    void destroyEraser() override {
        calls.push_back("destroy eraser");
        eraser = false;
    }
    void moveEraser(const QRect& geometry, bool raise) override {
        calls.push_back(std::string(raise ? "raise eraser " : "move eraser ") + rectText(geometry));
    }
};

}  // namespace kalvo::testing
