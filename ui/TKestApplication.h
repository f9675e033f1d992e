#pragma once
// The application object of the editor.
#include <QApplication>

/// A QApplication whose event dispatch is the program's catch point: an error
/// raised while an event is handled is shown in the error message box and the
/// event loop goes on.
class TKestApplication : public QApplication {
public:
    TKestApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
