// kestmap: the map tool for the command line. Needs no display: it paints
// into a QImage, which a plain QCoreApplication supports.
#include <QCoreApplication>
#include <iostream>
#include <string>
#include <vector>

#include "platform/SystemFiles.h"
#include "tools/KestMapTool.h"
#include "tools/ReportOutput.h"

namespace {

/// Standard output's descriptor, or -1 when the program was started with it
/// closed: a file that the program opens later may then take descriptor 1,
/// and must never receive the reports.
int StandardOutput() { return DescriptorOpen(1) ? 1 : -1; }

} // namespace

int main(int argc, char** argv)
{
    // The arguments are taken as bytes before Qt sees them, so file names
    // that are not valid UTF-8 still name their files.
    const std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
    // Reports go to the descriptor itself, so that every failed write, the
    // last one at the close included, comes back with the system's reason.
    TFileReportOutput out(StandardOutput(), "standard output");
    QCoreApplication application(argc, argv);
    return RunKestMap(arguments, out, std::cerr);
}
