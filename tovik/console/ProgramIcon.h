#pragma once
// The program icon (a pen tip with its light spot), drawn at run time.

#include <QIcon>
#include <QImage>

namespace tovik {

[[nodiscard]] QIcon ProgramIcon();

// The same drawing at any size, for the desktop's icon theme.
[[nodiscard]] QImage ProgramIconImage(int size);

}  // namespace tovik
