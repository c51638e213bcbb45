#pragma once
// One flat button of the floating toolbar: an image per state (normal, hot
// while the pointer is over it, disabled), a sunken look while pressed.

#include <QAbstractButton>
#include <QPixmap>

namespace kalvo {

class ToolbarButton final : public QAbstractButton {
    Q_OBJECT
public:
    ToolbarButton(int command, QWidget* parent);

    [[nodiscard]] int command() const { return command_; }

    // A null pixmap leaves that state without an image of its own: hot falls
    // back to normal, disabled to a greyed normal image.
    void setNormalImage(const QPixmap& image);
    void setHotImage(const QPixmap& image);
    void setDisabledImage(const QPixmap& image);
    [[nodiscard]] const QPixmap& normalImage() const { return normal_; }
    [[nodiscard]] const QPixmap& hotImage() const { return hot_; }
    [[nodiscard]] const QPixmap& disabledImage() const { return disabled_; }

    // Under the pointer; also set by the toolbar for pointer events that
    // reach it from another window.
    void setHot(bool hot);
    [[nodiscard]] bool isHot() const { return hotState_; }

    [[nodiscard]] QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int command_;
    QPixmap normal_;
    QPixmap hot_;
    QPixmap disabled_;
    bool hotState_ = false;
};

}  // namespace kalvo
