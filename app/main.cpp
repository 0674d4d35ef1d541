// Program entry: everything else lives in the libraries.
#include "app/gui/program.h"

#include <QApplication>

int main(int argc, char** argv)
{
    ChooseHeadlessPlatformIfNoDisplay();
    QApplication app(argc, argv);
    return RunProgram();
}
