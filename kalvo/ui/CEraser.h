#pragma once
// The eraser window: a small frameless window cut to the shape of the eraser
// picture. A press on it starts erasing and a release ends it; the owner
// forwards both to the screen overlay through the callbacks.

#include <functional>

#include "kalvo/ui/CBitmapDialog.h"

namespace kalvo {

class CEraser final : public CBitmapDialog {
    Q_OBJECT
public:
    static constexpr int kPictureId = 159;
    static constexpr int kPressedCursorId = 168;

    explicit CEraser(QWidget* parent = nullptr);

    // Called on a left press / release on the window (the owner posts a
    // left-button down / up at (0, 0) to the overlay and clears `erasing`).
    std::function<void()> onPress;
    std::function<void()> onRelease;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace kalvo
