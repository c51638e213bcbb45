#pragma once
// The full-screen white calibration window: frameless, above every other
// window, caption "Calibration". It covers the target monitor, and patterns
// are drawn in that monitor's device pixels into a backing image that
// paintEvent shows one to one; flush() puts them on the screen before it
// returns. Lives on the UI thread.

#include <QImage>
#include <QWidget>

#include "common/platform/ScreenInfo.h"

namespace tovik {

class CalibrationWindow final : public QWidget {
    Q_OBJECT
public:
    // Covers `target` (device pixels of the desktop; empty: the primary
    // screen); deletes itself when closed.
    explicit CalibrationWindow(bool acceptsEscape, common::ScreenRect target = {});

    // Shows the window and waits (bounded) until the server has mapped it.
    void showOnScreen();
    // Coordinates here are device pixels from the window's top-left corner.
    void drawText(int x, int y, const QString& text);
    // Columns left..right-1, rows top..bottom-1, black.
    void drawRectangle(int left, int top, int right, int bottom);
    // White all over again.
    void clear();
    void drawDot(int cx, int cy, bool red);
    // Paints now and waits for the X server to have drawn it.
    void flush();

    [[nodiscard]] const QImage& picture() const { return image_; }
    // The area covered, in device pixels of the desktop.
    [[nodiscard]] common::ScreenRect target() const { return target_; }

    // Waits until the X server has carried out every request sent so far, so
    // a screen grab from another connection sees what was painted.
    static void syncWithServer();

signals:
    // Esc closed the window; emitted before it goes away.
    void escapeClosed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // A device-pixel box as the logical rectangle that repaints it.
    [[nodiscard]] QRect logicalBox(const QRect& device) const;

    bool acceptsEscape_;
    common::ScreenRect target_;
    QImage image_;
};

}  // namespace tovik
