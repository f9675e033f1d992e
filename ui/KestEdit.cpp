// The program entry of the map editor.
#include <memory>

#include "model/MapDialogs.h"
#include "platform/qt/QtDialogs.h"
#include "ui/TKestApplication.h"
#include "ui/Unit1.h"

int main(int argc, char** argv)
{
    TKestApplication app(argc, argv);
    InstallRussianTranslation(app);
    TQtMessageService messages;
    SetMessageService(&messages);
    CreateMapDialogs(std::make_unique<TQtFileDialog>(TFileDialogMode::Save, MapFilter),
                     std::make_unique<TQtFileDialog>(TFileDialogMode::Open, MapFilter));

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
