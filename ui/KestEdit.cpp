// The program entry of the map editor.
#include <QIcon>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

#include "model/MapDialogs.h"
#include "platform/qt/QtDialogs.h"
#include "ui/TKestApplication.h"
#include "ui/TStartupRead.h"
#include "ui/Unit1.h"

#ifndef KESTEDIT_VERSION
#define KESTEDIT_VERSION "unknown"
#endif

namespace {

const char* const HelpText =
    "Usage: kestedit [MAP]\n"
    "\n"
    "The map editor of the rail-vehicle game: draws, picks, deletes, reverses and\n"
    "recolours the borders and directed rails of a 10000 x 10000 world, marks the\n"
    "start and finish rails and checks the routes. Several maps can be open at\n"
    "once; the interface is in Russian.\n"
    "\n"
    "MAP, a .KS map file, is opened at start; a file that does not exist yet opens\n"
    "as an empty map of that name.\n"
    "\n"
    "Options:\n"
    "  -h, --help        show this help and exit\n"
    "  -v, --version     show the version and exit\n"
    "\n"
    "kestmap(1) reads the same maps on the command line.\n";

/// The text that the first argument asks for instead of a window, or null.
/// Only the first argument is looked at, as only it names a map: "./--help"
/// still opens a map of that name.
const char* AnswerWithoutWindow(int argc, char** argv)
{
    if (argc < 2) return nullptr;
    const char* const first = argv[1];
    if (!std::strcmp(first, "--help") || !std::strcmp(first, "-h")) return HelpText;
    if (!std::strcmp(first, "--version") || !std::strcmp(first, "-v")) return "kestedit " KESTEDIT_VERSION "\n";
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    // Answered before Qt starts, so that no display is needed.
    if (const char* answer = AnswerWithoutWindow(argc, argv)) {
        const bool written = std::fputs(answer, stdout) >= 0 && std::fflush(stdout) == 0;
        return written ? 0 : 1;
    }
    // The map named on the command line is read while the window is built.
    TStartupRead startupRead(argc == 2 && argv[1][0] != '-' ? argv[1] : "");
    TKestApplication app(argc, argv);
    app.setWindowIcon(QIcon(QStringLiteral(":/kestedit.svg")));
    InstallRussianTranslation(app);
    TQtMessageService messages;
    SetMessageService(&messages);
    // The save dialog is made first; function arguments have no evaluation order.
    auto saveDialog = std::make_unique<TQtFileDialog>(TFileDialogMode::Save, MapFilter);
    auto openDialog = std::make_unique<TQtFileDialog>(TFileDialogMode::Open, MapFilter);
    CreateMapDialogs(std::move(saveDialog), std::move(openDialog));

    TCommandLine commandLine;
    for (const QString& argument : QCoreApplication::arguments()) commandLine.push_back(argument.toStdString());

    int exitCode = 0;
    {
        TQtColorDialog colorDialog;
        TQtFileDialog pictureDialog(TFileDialogMode::Save, "Bitmaps (*.bmp)|*.bmp");
        TForm1 form(colorDialog, pictureDialog, commandLine);
        startupRead.Drop();
        messages.SetParent(&form);
        form.show();
        exitCode = app.exec();
        messages.SetParent(nullptr);
    }
    DestroyMapDialogs();
    SetMessageService(nullptr);
    return exitCode;
}
