// kestmap: the map tool for the command line. Needs no display: it paints
// into a QImage, which a plain QCoreApplication supports.
#include <QCoreApplication>
#include <iostream>
#include <string>
#include <vector>

#include "tools/KestMapTool.h"

int main(int argc, char** argv)
{
    // The arguments are taken as bytes before Qt sees them, so file names
    // that are not valid UTF-8 still name their files.
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    QCoreApplication application(argc, argv);
    return RunKestMap(arguments, std::cout, std::cerr);
}
