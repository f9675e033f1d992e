// The program entry of the map editor.
#include <QIcon>
#include <memory>
#include <utility>

#include "model/MapDialogs.h"
#include "platform/qt/QtDialogs.h"
#include "ui/TKestApplication.h"
#include "ui/Unit1.h"

int main(int argc, char** argv)
{
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
        messages.SetParent(&form);
        form.show();
        exitCode = app.exec();
        messages.SetParent(nullptr);
    }
    DestroyMapDialogs();
    SetMessageService(nullptr);
    return exitCode;
}
