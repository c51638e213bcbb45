// Writes Tovik's program icon at one size, for the desktop's icon theme:
//   make_tovik_icon SIZE FILE

#include <QGuiApplication>
#include <QString>

#include <cstdio>

#include "tovik/console/ProgramIcon.h"

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const int size = argc == 3 ? QString::fromLatin1(argv[1]).toInt() : 0;
    if (size < 16 || size > 1024) {
        std::fprintf(stderr, "usage: make_tovik_icon SIZE(16..1024) FILE\n");
        return 2;
    }
    if (!tovik::ProgramIconImage(size).save(QString::fromLocal8Bit(argv[2]))) {
        std::fprintf(stderr, "make_tovik_icon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
