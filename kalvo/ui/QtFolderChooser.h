#pragma once
// The folder dialog of the saver: Qt's directory chooser, folders only.

#include <functional>

#include "kalvo/core/BoardSaver.h"

class QWidget;

namespace kalvo {

class QtFolderChooser final : public FolderChooser {
public:
    // owner: gives the dialog's owner when it opens (null: none).
    explicit QtFolderChooser(std::function<QWidget*()> owner = {}) : m_owner(std::move(owner)) {}

    [[nodiscard]] std::optional<std::string> chooseFolder(const std::string& title,
                                                          const std::string& startPath) override;

private:
    std::function<QWidget*()> m_owner;
};

}  // namespace kalvo
