#include "ui/TKestApplication.h"

#include "ui/RunGuarded.h"

TKestApplication::TKestApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TKestApplication::notify(QObject* receiver, QEvent* event)
{
    bool handled = false;
    RunGuarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}
