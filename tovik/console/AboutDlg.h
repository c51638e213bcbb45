#pragma once
// The About box: program name and version, nothing else to do.

#include <QDialog>

namespace tovik {

class CAboutDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace tovik
