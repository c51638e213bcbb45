#pragma once
// Kalvo's About box (dialog 100): the program's name, version and icon, and
// an OK button. Opened from the floating toolbar's context menu.

#include <QDialog>

namespace kalvo {

class CAboutDlg final : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "关于 Kalvo";

    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace kalvo
