#include "kalvo/ui/QtFolderChooser.h"

#include <QFileDialog>

namespace kalvo {

std::optional<std::string> QtFolderChooser::chooseFolder(const std::string& title,
                                                         const std::string& startPath) {
    const QString dir = QFileDialog::getExistingDirectory(
        m_owner ? m_owner() : nullptr, QString::fromStdString(title),
        QString::fromStdString(startPath), QFileDialog::ShowDirsOnly);
    if (dir.isEmpty()) {
        return std::nullopt;
    }
    return dir.toStdString();
}

}  // namespace kalvo
