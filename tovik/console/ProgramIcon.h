#pragma once
// The program icon (a pen tip with its light spot), drawn at run time.

#include <QIcon>

namespace tovik {

[[nodiscard]] QIcon ProgramIcon();

}  // namespace tovik
