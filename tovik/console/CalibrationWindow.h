#pragma once
// The full-screen white calibration window: frameless, above every other
// window, caption "Calibration". Patterns are drawn into a backing image
// that paintEvent shows; flush() puts them on the screen before it returns.
// Lives on the UI thread.

#include <QImage>
#include <QWidget>

namespace tovik {

class CalibrationWindow final : public QWidget {
    Q_OBJECT
public:
    // Covers the primary screen; deletes itself when closed.
    explicit CalibrationWindow(bool acceptsEscape);

    // Shows the window and waits (bounded) until the server has mapped it.
    void showOnScreen();
    void drawText(int x, int y, const QString& text);
    // Columns left..right-1, rows top..bottom-1, black.
    void drawRectangle(int left, int top, int right, int bottom);
    void drawDot(int cx, int cy, bool red);
    // Paints now and waits for the X server to have drawn it.
    void flush();

    [[nodiscard]] const QImage& picture() const { return image_; }

    // Waits until the X server has carried out every request sent so far, so
    // a screen grab from another connection sees what was painted.
    static void syncWithServer();

signals:
    // Esc closed the window; emitted before it goes away.
    void escapeClosed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool acceptsEscape_;
    QImage image_;
};

}  // namespace tovik
