#pragma once
// "标定完成": counts five seconds down and then ends with Accepted (start
// tracking), unless "立即运行" (Accepted) or "稍后运行" / Esc / the close box
// (Rejected) end it first.

#include <QDialog>
#include <QTimer>

class QLabel;
class QPushButton;

namespace tovik {

class CCountDownDlg final : public QDialog {
    Q_OBJECT
public:
    // With runTimer false the one-second timer never starts and the count
    // moves only through tick(), so tests step it.
    explicit CCountDownDlg(QWidget* parent = nullptr, bool runTimer = true);

    int SecondsLeft = 5;  // the caller sets it before running the dialog

    // One timer step: one second less, the new text, Accepted at zero.
    void tick();
    [[nodiscard]] QString text() const;
    [[nodiscard]] bool timerActive() const { return timer_.isActive(); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void onOK();
    void onCancel();

    bool runTimer_;
    bool initialised_ = false;
    QTimer timer_;  // timer 4
    QLabel* label_ = nullptr;
};

}  // namespace tovik
