#pragma once
// The folder dialog of the saver: Qt's directory chooser, folders only.

#include "kalvo/core/BoardSaver.h"

class QWidget;

namespace kalvo {

class QtFolderChooser final : public FolderChooser {
public:
    explicit QtFolderChooser(QWidget* owner = nullptr) : m_owner(owner) {}

    [[nodiscard]] std::optional<std::string> chooseFolder(const std::string& title,
                                                          const std::string& startPath) override;

private:
    QWidget* m_owner;
};

}  // namespace kalvo
