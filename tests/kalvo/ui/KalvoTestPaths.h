#pragma once
// Program paths inside a temporary folder, so tests never touch real
// preferences.

#include <QTemporaryDir>

#include "common/ini/ProgramPaths.h"

namespace kalvo::test {

inline common::ProgramPaths pathsIn(const QTemporaryDir& dir) {
    common::ProgramPaths paths;
    paths.programDir = dir.path().toStdString() + "/";
    paths.programPath = paths.programDir + "kalvo";
    paths.iniPath = paths.programDir + "kalvo.ini";
    paths.dataDir = paths.programDir;
    return paths;
}

}  // namespace kalvo::test
