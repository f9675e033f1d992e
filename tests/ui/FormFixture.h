#pragma once
// The real editor window under test: offscreen, with scripted dialogs, the
// timer stopped so that the test decides when a tick runs, and the mouse
// driven by real Qt events that pass through the application's dispatch.
#include <gtest/gtest.h>

#include <QApplication>
#include <QAction>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <memory>

#include "tests/support/FakeDialogs.h"
#include "tests/support/MapBuilders.h"
#include "tests/support/MapBytes.h"
#include "tests/support/TempFolder.h"
#include "ui/TKestApplication.h"
#include "ui/TListBox.h"
#include "ui/TRadioGroup.h"
#include "ui/TScrollBar.h"
#include "ui/Unit1.h"

// Sends a key to the window's shortcuts the way the platform does (QtGui).
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject* o, ulong timestamp, int k, Qt::KeyboardModifiers mods,
                                               const QString& text, bool autorep, ushort count);

/// The tool selector's rail and select tools.
constexpr std::int32_t ToolRail = 4;
constexpr std::int32_t ToolSelect = 5;

/// An element's ends, to compare in one expectation.
struct TEnds {
    std::int32_t X1, Y1, X2, Y2;
    friend bool operator==(const TEnds&, const TEnds&) = default;
};

inline TEnds EndsOf(const TLine& line) { return {line.X1, line.Y1, line.X2, line.Y2}; }

/// The one application object of the test program.
inline void EnsureApplication()
{
    static int argc = 1;
    static char name[] = "test_ui";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new TKestApplication(argc, argv);
}

class FormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApplication();
        // Recovery copies of this test's windows live and die with its folder.
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dataHome.Path().string()));
        // The remembered view options too: each test starts as a first run.
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dataHome.File("config")));
    }

    TForm1& Open(const TCommandLine& commandLine = {"kestedit"})
    {
        form = std::make_unique<TForm1>(color, picture, commandLine);
        form->Timer1->stop();
        form->RecoveryTimer->stop();
        return *form;
    }
    TMap& Map() const { return form->CurrentMap(); }
    /// A key pressed while the window is active; true when a shortcut took it.
    bool Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        form->show();
        form->activateWindow();
        QApplication::setActiveWindow(form.get());
        return qt_sendShortcutOverrideEvent(form.get(), 0, key, modifiers, QString(), false, 1);
    }
    void Tick() const { form->Timer1Timer(); }
    void Tool(std::int32_t index) const { form->RadioGroup1->SetItemIndex(index); }
    void Scroll(std::int32_t x, std::int32_t y) const
    {
        form->HB->SetPosition(x);
        form->VB->SetPosition(y);
    }

    void Press(QWidget* box, Qt::MouseButton button, int x, int y)
    {
        held_ |= button;
        Send(box, QEvent::MouseButtonPress, button, x, y);
    }
    /// A press with modifier keys held (Shift for the select tool's drag).
    void PressWith(QWidget* box, Qt::MouseButton button, int x, int y, Qt::KeyboardModifiers modifiers)
    {
        modifiers_ = modifiers;
        Press(box, button, x, y);
        modifiers_ = Qt::NoModifier;
    }
    void Move(QWidget* box, int x, int y) { Send(box, QEvent::MouseMove, Qt::NoButton, x, y); }
    void Release(QWidget* box, Qt::MouseButton button, int x, int y)
    {
        held_ &= ~Qt::MouseButtons(button);
        Send(box, QEvent::MouseButtonRelease, button, x, y);
    }
    /// The button comes up where the view never sees it (a modal dialog takes the release).
    void ReleaseElsewhere(Qt::MouseButton button) { held_ &= ~Qt::MouseButtons(button); }
    /// Press at from, move to to, one tick, release at to: drawing out one element.
    void Drag(QWidget* box, Qt::MouseButton button, QPoint from, QPoint to)
    {
        Press(box, button, from.x(), from.y());
        Move(box, to.x(), to.y());
        Tick();
        Release(box, button, to.x(), to.y());
    }

    /// The user's data folder for this test's windows, apart from its files.
    TTempFolder dataHome;
    TTempFolder folder;
    TScopedMessages messages;
    TScopedMapDialogs dialogs;
    TFakeColorDialog color;
    TFakeFileDialog picture;
    std::unique_ptr<TForm1> form;

private:
    void Send(QWidget* box, QEvent::Type type, Qt::MouseButton button, int x, int y)
    {
        const QPointF local(x, y);
        QMouseEvent event(type, local, box->mapToGlobal(local), button, held_, modifiers_);
        QApplication::sendEvent(box, &event);
    }
    Qt::MouseButtons held_;
    Qt::KeyboardModifiers modifiers_ = Qt::NoModifier;
};
