// The Qt dialogs and message boxes, run headless: each modal dialog is
// answered from a timer once it is up.
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

#include "model/MapDialogs.h"
#include "platform/qt/QtDialogs.h"
#include "tests/file/FileTestSupport.h"

namespace {

QApplication& App()
{
    static int argc = 1;
    static char name[] = "test_file";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        auto* created = new QApplication(argc, argv);
        InstallRussianTranslation(*created);
        return created;
    }();
    return *app;
}

/// Runs action on the modal widget as soon as one is up; a watchdog closes
/// any modal widget still up after a few seconds, so a test can fail but
/// never hang.
void WhenModal(std::function<void(QWidget*)> action)
{
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [action, poll] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            action(modal);
        } else {
            QTimer::singleShot(10, *poll);
        }
    };
    QTimer::singleShot(0, *poll);
    QTimer::singleShot(5000, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) dialog->reject();
    });
}

QString Plain(QString text) { return text.remove(QLatin1Char('&')); }

TEST(QtDialogs, StandardButtonsReadRussian)
{
    App();
    QMessageBox box(QMessageBox::Question, "t", "q", QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ("Да", Plain(box.button(QMessageBox::Yes)->text()).toStdString());
    EXPECT_EQ("Нет", Plain(box.button(QMessageBox::No)->text()).toStdString());
    EXPECT_EQ("Отмена", Plain(box.button(QMessageBox::Cancel)->text()).toStdString());
    QDialogButtonBox buttons(QDialogButtonBox::Yes | QDialogButtonBox::No);
    EXPECT_EQ("Да", Plain(buttons.button(QDialogButtonBox::Yes)->text()).toStdString());
}

TEST(QtDialogs, FiltersShowTheDescriptionAndMatchBothCases)
{
    EXPECT_EQ("Карта (*.ks) (*.ks *.KS)", QtNameFilter(MapFilter).toStdString());
    EXPECT_EQ("Bitmaps (*.bmp) (*.bmp *.BMP)", QtNameFilter("Bitmaps (*.bmp)|*.bmp").toStdString());
    EXPECT_EQ(QStringList({"*.a", "*.A", "*.b", "*.B"}), QtFilterPatterns("x|*.a;*.b|y|*.A"));
}

TEST(QtDialogs, OpenDialogListsBothCasesUnderTheWrittenFilter)
{
    App();
    TTempFolder scratch;
    for (const char* name : {"a.ks", "b.KS", "c.txt"}) filetest::WriteBytes(scratch.File(name), {0});
    TQtFileDialog dialog(TFileDialogMode::Open, MapFilter);
    QString shownFilter;
    QStringList listed;
    WhenModal([&](QWidget* modal) {
        auto* fileDialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(nullptr, fileDialog);
        fileDialog->setDirectory(QString::fromStdString(scratch.Path().string()));
        auto* combo = fileDialog->findChild<QComboBox*>("fileTypeCombo");
        if (combo) shownFilter = combo->currentText();
        auto* view = fileDialog->findChild<QListView*>("listView");
        QElapsedTimer clock;
        clock.start();
        // The folder is read in the background; wait until its files are in.
        while (view && clock.elapsed() < 3000) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
            const QModelIndex root = view->rootIndex();
            listed.clear();
            for (int row = 0; row < view->model()->rowCount(root); ++row)
                listed << view->model()->index(row, 0, root).data().toString();
            if (listed.size() >= 2) break;
        }
        fileDialog->reject();
    });
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ("Карта (*.ks)", shownFilter.toStdString());
    listed.sort();
    EXPECT_EQ(QStringList({"a.ks", "b.KS"}), listed);
}

TEST(QtDialogs, SaveDialogAddsNoSuffixAsksNothingAndRemembersWhatItShowed)
{
    App();
    TTempFolder scratch;
    filetest::WriteBytes(scratch.File("old.KS"), {0});
    TQtFileDialog dialog(TFileDialogMode::Save, MapFilter);
    const QString folder = QString::fromStdString(scratch.Path().string());
    for (const char* typed : {"plain", "old.KS"}) {
        WhenModal([&](QWidget* modal) {
            auto* fileDialog = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(nullptr, fileDialog);
            fileDialog->setDirectory(folder);
            fileDialog->selectFile(typed);
            QMetaObject::invokeMethod(fileDialog, "accept");
        });
        ASSERT_TRUE(dialog.Execute()) << typed;
        EXPECT_EQ(scratch.File(typed), dialog.FileName());
    }
    // The next run opens where the last one ended; a cancel keeps the name.
    QString shownFolder;
    QString shownName;
    WhenModal([&](QWidget* modal) {
        auto* fileDialog = qobject_cast<QFileDialog*>(modal);
        shownFolder = fileDialog->directory().absolutePath();
        if (auto* edit = fileDialog->findChild<QLineEdit*>("fileNameEdit")) shownName = edit->text();
        fileDialog->reject();
    });
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(folder, shownFolder);
    EXPECT_EQ("old.KS", shownName.toStdString());
    EXPECT_EQ(scratch.File("old.KS"), dialog.FileName());
}

TEST(QtDialogs, ColorDialogStartsBlackSetsOnConfirmKeepsOnCancel)
{
    App();
    TQtColorDialog dialog;
    EXPECT_EQ(clBlack, dialog.Color());
    QColor startedFrom;
    WhenModal([&](QWidget* modal) {
        auto* colorDialog = qobject_cast<QColorDialog*>(modal);
        ASSERT_NE(nullptr, colorDialog);
        startedFrom = colorDialog->currentColor();
        colorDialog->setCurrentColor(QColor(0x11, 0x22, 0x33));
        colorDialog->accept();
    });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(QColor(Qt::black), startedFrom);
    EXPECT_EQ(0x332211u, dialog.Color());

    dialog.SetColor(0x0000FF);
    WhenModal([&](QWidget* modal) {
        auto* colorDialog = qobject_cast<QColorDialog*>(modal);
        startedFrom = colorDialog->currentColor();
        colorDialog->setCurrentColor(QColor(Qt::green));
        colorDialog->reject();
    });
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(QColor(Qt::red), startedFrom);
    EXPECT_EQ(0x0000FFu, dialog.Color());
}

TEST(QtDialogs, MessageServiceAnswersTheButtonPressed)
{
    App();
    struct TCase {
        TMsgButtons Buttons;
        QMessageBox::StandardButton Press; // NoButton: Escape
        TMsgResult Expected;
        int ButtonCount;
    };
    const std::vector<TCase> cases = {
        {TMsgButtons::YesNoCancel, QMessageBox::Yes, TMsgResult::Yes, 3},
        {TMsgButtons::YesNoCancel, QMessageBox::No, TMsgResult::No, 3},
        {TMsgButtons::YesNoCancel, QMessageBox::Cancel, TMsgResult::Cancel, 3},
        {TMsgButtons::YesNoCancel, QMessageBox::NoButton, TMsgResult::Cancel, 3},
        {TMsgButtons::YesNo, QMessageBox::Yes, TMsgResult::Yes, 2},
        {TMsgButtons::YesNo, QMessageBox::NoButton, TMsgResult::No, 2},
    };
    TQtMessageService service;
    for (const TCase& c : cases) {
        QString text;
        int buttons = 0;
        WhenModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(nullptr, box);
            text = box->text();
            buttons = static_cast<int>(box->buttons().size());
            if (c.Press == QMessageBox::NoButton) {
                box->escapeButton()->click();
            } else {
                box->button(c.Press)->click();
            }
        });
        EXPECT_EQ(c.Expected, service.Confirm("Карта Новый была изменена. Сохранить?", c.Buttons));
        EXPECT_EQ("Карта Новый была изменена. Сохранить?", text.toStdString());
        EXPECT_EQ(c.ButtonCount, buttons);
    }
    QString error;
    WhenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        error = box->text();
        EXPECT_EQ(QMessageBox::Critical, box->icon());
        box->accept();
    });
    service.ShowError("Disk full");
    EXPECT_EQ("Disk full", error.toStdString());
}

} // namespace
