// Program entry. The main window and its lifecycle come with the application shell.
#include "common/texts.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::fprintf(stderr, "%s: the main window is not built yet.\n", qPrintable(Texts::ProgrammName));
    return 0;
}
