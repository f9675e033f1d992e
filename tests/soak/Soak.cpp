#include "tests/soak/Soak.h"

#include <QAction>
#include <QApplication>
#include <QSpinBox>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>

#include "draw/PictureExport.h"
#include "model/MapDialogs.h"
#include "model/MapFile.h"
#include "model/MapFileIO.h"
#include "model/TLiveRoutes.h"
#include "platform/FileWriter.h"
#include "tests/support/TempFolder.h"
#include "model/ArcGeometry.h"
#include "ui/TArcDialog.h"
#include "ui/TKestApplication.h"
#include "ui/TListBox.h"
#include "ui/TRadioGroup.h"
#include "ui/TRouteFaultsWindow.h"
#include "ui/Unit1.h"

namespace fs = std::filesystem;

namespace {

constexpr std::array<const char*, TSoakAction::KindCount> KindNames = {
    "press", "move", "release", "tool", "button", "line", "below", "overview",
    "wheel", "menu", "shortcut", "key", "tick", "dialog", "lost",
};

/// Points where gestures start and end more often than chance would have
/// them, so that ends meet, snap and get picked.
constexpr std::array<std::array<int, 2>, 8> HotPoints = {{
    {100, 100}, {300, 100}, {300, 400}, {100, 400}, {500, 250}, {700, 590}, {5, 5}, {360, 300},
}};

/// The dialogs and questions of a run, answering at random from the seed of
/// the action being run, and logging what they were asked.
class TSoakAnswers : public TMessageService, public TColorDialog {
public:
    explicit TSoakAnswers(const TTempFolder& folder) : folder_(folder) {}

    void Reseed(std::uint32_t seed) { random_.seed(seed); }
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

    TMsgResult Confirm(const std::string& text, TMsgButtons buttons) override
    {
        Questions.push_back(text);
        const int n = buttons == TMsgButtons::YesNoCancel ? 3 : 2;
        return static_cast<TMsgResult>(Pick(n));
    }
    void ShowError(const std::string& text) override { Errors.push_back(text); }

    bool Execute() override
    {
        if (Pick(5) == 0) return false;
        color_ = static_cast<TColor>(random_() & 0xFFFFFF);
        return true;
    }
    TColor Color() const override { return color_; }
    void SetColor(TColor color) override { color_ = color; }

    /// A file name for a dialog: mostly maps of the scratch folder (new,
    /// lower-case, damaged), sometimes a folder or a place that does not exist.
    std::string ChooseFile(bool picture, bool toWrite)
    {
        static const char* const mapNames[] = {"a", "b.KS", "lower.ks", "LOWER.KS", "dmg.ks", "c.Ks",
                                               "folder.KS", "missing/x.KS", "a.KS"};
        static const char* const pictureNames[] = {"pic.bmp", "pic", "folder.KS", "missing/p.bmp", "a.KS"};
        const std::string name = picture ? pictureNames[Pick(5)] : mapNames[Pick(9)];
        const std::string path = folder_.File(name);
        if (toWrite) Chosen.push_back(path);
        if (picture) PictureChosen.push_back(path);
        return path;
    }

    std::vector<std::string> Questions;
    std::vector<std::string> Errors;
    /// The paths that save dialogs handed out during the action.
    std::vector<std::string> Chosen;
    /// Those of them that the picture dialog handed out.
    std::vector<std::string> PictureChosen;

private:
    const TTempFolder& folder_;
    std::mt19937 random_;
    TColor color_ = clBlack;
};

class TSoakFileDialog : public TFileDialog {
public:
    enum TRole { Open, Save, Picture };
    TSoakFileDialog(TSoakAnswers& answers, TRole role) : answers_(answers), role_(role) {}
    bool Execute() override
    {
        if (answers_.Pick(4) == 0) return false;
        fileName_ = answers_.ChooseFile(role_ == Picture, role_ != Open);
        return true;
    }
    std::string FileName() const override { return fileName_; }

private:
    TSoakAnswers& answers_;
    TRole role_;
    std::string fileName_;
};

/// What tells that a file was written: its size and the time of its last change.
struct TFileStamp {
    std::uintmax_t Size = 0;
    fs::file_time_type Time;
    friend bool operator==(const TFileStamp&, const TFileStamp&) = default;
};

/// The stamp of every file below the folder, by path.
std::map<std::string, TFileStamp> Snapshot(const fs::path& folder)
{
    std::map<std::string, TFileStamp> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) files[entry.path().string()] = {entry.file_size(), entry.last_write_time()};
    }
    return files;
}

std::string Text(const QString& text) { return text.toStdString(); }

/// What undo and redo give back: the elements with their flags, start, finish
/// and the selection.
struct TMapState {
    std::vector<std::array<std::int64_t, 8>> Borders;
    std::vector<std::array<std::int32_t, 7>> Rails;
    std::array<std::int32_t, 4> Marks{};
    friend bool operator==(const TMapState&, const TMapState&) = default;
};

std::string Describe(const TMapState& state)
{
    std::ostringstream out;
    out << state.Borders.size() << " borders, " << state.Rails.size() << " rails, start " << state.Marks[0]
        << ", finish " << state.Marks[1] << ", selected rail " << state.Marks[2] << ", selected border "
        << state.Marks[3];
    return out.str();
}

/// The state, with or without the selection: a change of the selection alone
/// makes no step, so redo gives back the selection after the last step.
TMapState StateOf(const TMap& map, bool withSelection = true)
{
    TMapState state;
    const auto selected = [&](bool flag) { return withSelection && flag; };
    for (const TBorder& b : map.Borders())
        state.Borders.push_back({b.X1, b.Y1, b.X2, b.Y2, b.Color, b.Kind, selected(b.Selected), 0});
    for (const TRail& r : map.Rails())
        state.Rails.push_back({r.X1, r.Y1, r.X2, r.Y2, selected(r.Selected), r.IsStart, r.IsFinish});
    state.Marks = {map.StartRail, map.FinishRail, withSelection ? map.SelRail : 0, withSelection ? map.SelBorder : 0};
    return state;
}

/// More than one element of a kind selected: undo gives back the marks of
/// such a selection, not the selection.
bool ManySelectedIn(const TMapState& state)
{
    const auto many = [](const auto& items, std::size_t flag) {
        return std::count_if(items.begin(), items.end(), [flag](const auto& item) { return item[flag] != 0; }) > 1;
    };
    return many(state.Borders, 6) || many(state.Rails, 4);
}

/// A state as StateOf gives it without the selection.
TMapState Unselected(TMapState state)
{
    for (auto& border : state.Borders) border[6] = 0;
    for (auto& rail : state.Rails) rail[4] = 0;
    state.Marks[2] = state.Marks[3] = 0;
    return state;
}

/// One run: a window in a scratch folder, the actions, the checks.
/// Answers the window's own dialogs ("Дуга", "Координаты") as they open:
/// Отмена, OK as they stand, or OK with new values (a refused OK leaves the
/// dialog open, which Отмена then closes).
class TSoakDialogAnswers : public QObject {
public:
    explicit TSoakDialogAnswers(TSoakAnswers& answers) : answers_(answers) { qApp->installEventFilter(this); }
    ~TSoakDialogAnswers() override { qApp->removeEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && (dynamic_cast<TArcDialog*>(watched) || dynamic_cast<TCoordinatesDialog*>(watched))) {
            auto* dialog = static_cast<QDialog*>(watched);
            QTimer::singleShot(0, dialog, [this, dialog] { Answer(*dialog); });
        }
        return false;
    }

private:
    void Answer(QDialog& dialog)
    {
        const int choice = answers_.Pick(3);
        if (choice == 0) {
            dialog.reject();
            return;
        }
        if (choice == 2)
            for (QSpinBox* field : dialog.findChildren<QSpinBox*>())
                field->setValue(field->minimum() + answers_.Pick(std::min(field->maximum() - field->minimum(), 400) + 1));
        dialog.accept();
        if (dialog.isVisible()) dialog.reject();
    }

    TSoakAnswers& answers_;
};

class TSoakRun {
public:
    TSoakRun() : answers_(folder_), pictures_(answers_, TSoakFileDialog::Picture)
    {
        WriteBytes(folder_.File("dmg.ks"), ReadBytes(std::string(KEST_TEST_DATA) + "/damaged/kind4.ks"));
        WriteBytes(folder_.File("lower.ks"), ReadBytes(std::string(KEST_TEST_DATA) + "/ring.ks"));
        fs::create_directory(folder_.Path() / "folder.KS");
        SetMessageService(&answers_);
        CreateMapDialogs(std::make_unique<TSoakFileDialog>(answers_, TSoakFileDialog::Save),
                         std::make_unique<TSoakFileDialog>(answers_, TSoakFileDialog::Open));
        OpenWindow();
        files_ = Snapshot(folder_.Path());
    }
    ~TSoakRun()
    {
        form_.reset();
        DestroyMapDialogs();
        SetMessageService(nullptr);
    }
    TSoakRun(const TSoakRun&) = delete;
    TSoakRun& operator=(const TSoakRun&) = delete;

    /// Runs one action and checks everything; "" or what broke.
    std::string Step(const TSoakAction& action)
    {
        answers_.Reseed(action.Seed);
        answers_.Chosen.clear();
        answers_.PictureChosen.clear();
        answers_.Questions.clear();
        const std::size_t errorsBefore = answers_.Errors.size();
        // A map closed by the action may have saved to its file on the way out.
        namesBefore_.clear();
        namesBefore_ = MapFileNames();
        countBefore_ = form_->MapList ? form_->MapList->Count() : 0;
        Apply(action);
        if (std::getenv("SOAK_TRACE")) Trace(action, errorsBefore);
        std::string broken = CheckErrors(errorsBefore);
        if (broken.empty()) broken = CheckFiles();
        if (broken.empty() && form_->MapList) broken = CheckUnmodifiedMaps();
        if (broken.empty() && form_->MapList) broken = CheckWindow(action.Kind == TSoakAction::Tick);
        // A load or a close in this action started a history afresh: note it first.
        if (form_->MapList) NoteHistoryStarts();
        if (broken.empty() && form_->MapList && ++steps_ % 25 == 0) broken = CheckHistories();
        // An accepted close ends the program; the user starts it again.
        if (!form_->MapList) OpenWindow();
        return broken;
    }

private:
    void OpenWindow()
    {
        form_.reset();
        // The soak's recovery copies stay in a folder of its own.
        static const TTempFolder dataHome;
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dataHome.File("data-home")));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dataHome.File("config-home")));
        form_ = std::make_unique<TForm1>(answers_, pictures_, TCommandLine{"kestedit"});
        form_->Timer1->stop();
        form_->RecoveryTimer->stop();
        form_->show();
        QApplication::setActiveWindow(form_.get());
        held_ = Qt::NoButton;
        heldElsewhere_ = Qt::NoButton;
        items_.clear();
        for (QAction* menu : form_->MainMenu1->actions()) {
            if (!menu->menu()) continue;
            for (QAction* item : menu->menu()->actions())
                if (!item->isSeparator()) items_.push_back(item);
        }
        // Items added after kept regressions were recorded go last, so that
        // the numbers in those lists keep naming the items they named.
        const QAction* const later[] = {form_->CutItem,  form_->CopyItem,      form_->PasteItem, form_->PasteInPlaceItem,
                                        form_->DeleteKey, form_->SelectAllItem, form_->EscapeKey, form_->ArcItem,
                                        form_->CoordinatesItem, form_->MeasuresItem};
        std::stable_partition(items_.begin(), items_.end(),
                              [&](const QAction* item) { return std::find(std::begin(later), std::end(later), item) == std::end(later); });
        NoteHistoryStarts();
    }

public:
    /// Undoing every step of each map gives back its state when its history
    /// began, and redoing as many the state before the undos. Skipped while a
    /// mouse button is held or a step is open.
    std::string CheckHistories()
    {
        if (!form_->MapList || held_ != Qt::NoButton) return "";
        for (const auto& owned : form_->MapList->Maps) {
            TMap& map = *owned;
            const auto start = baselines_.find(map.Id());
            // A gesture whose release never came and that no mouse event has ended yet.
            if (start == baselines_.end() || map.History().IsOpen()) continue;
            const TMapState before = StateOf(map, false);
            std::size_t undone = 0;
            while (map.CanUndo()) {
                if (!map.Undo()) return "";
                ++undone;
            }
            // With nothing undone here, a selection made since (the route
            // check's, a click) is no step and stays.
            // A selection of many stays on the elements through undo.
            const bool selection = undone > 0 && !map.ManySelected() && !ManySelectedIn(start->second);
            if (!(selection ? StateOf(map) == start->second : StateOf(map, false) == Unselected(start->second)))
                return "undoing all " + std::to_string(undone) + " steps of " + map.DisplayName() +
                       " does not give back its state when its history began: " + Describe(StateOf(map)) +
                       " instead of " + Describe(start->second);
            // Only the steps undone here: steps the user undid stay undone.
            for (std::size_t k = 0; k < undone; ++k)
                if (!map.Redo()) return "redo refused after undo: " + map.DisplayName();
            if (!(StateOf(map, false) == before))
                return "redoing all steps of " + map.DisplayName() + " does not give back the state before the undos";
        }
        return "";
    }

private:
    /// A map whose history is empty (new, loaded, or dropped by a change made
    /// outside any step) starts from its state now.
    void NoteHistoryStarts()
    {
        // An open step is not stored yet: its map has not started afresh.
        for (const auto& map : form_->MapList->Maps)
            if (!map->CanUndo() && !map->CanRedo() && !map->History().IsOpen()) baselines_[map->Id()] = StateOf(*map);
    }

    /// What an action did, for reading a failing script step by step.
    void Trace(const TSoakAction& action, std::size_t errorsBefore) const
    {
        std::fprintf(stderr, "%s\n", action.ToText().c_str());
        if (form_->MapList) {
            std::fprintf(stderr, "  current %d, line %d:", form_->MapList->Current, form_->ListBox1->ItemIndex());
            for (const auto& map : form_->MapList->Maps)
                std::fprintf(stderr, " [%s %s%s %dr %db%s%s]", map->DisplayName().c_str(), map->FileName.c_str(),
                             map->Modified ? " *" : "", map->RailCount(), map->BorderCount(),
                             map->CanUndo() ? " undo" : "", map->CanRedo() ? " redo" : "");
            std::fprintf(stderr, "\n  %s\n", Describe(StateOf(form_->CurrentMap())).c_str());
        }
        for (const std::string& q : answers_.Questions) std::fprintf(stderr, "  asked: %s\n", q.c_str());
        for (std::size_t i = errorsBefore; i < answers_.Errors.size(); ++i)
            std::fprintf(stderr, "  error: %s\n", answers_.Errors[i].c_str());
    }

    /// The files the open maps are named after, and those of the maps open
    /// before the current action.
    std::vector<std::string> MapFileNames() const
    {
        std::vector<std::string> names = namesBefore_;
        if (form_ && form_->MapList) {
            for (const auto& map : form_->MapList->Maps)
                if (!map->FileName.empty()) names.push_back(map->FileName);
        }
        return names;
    }

    /// A mouse event; the buttons held are counted per widget, as Qt's grab
    /// gives each widget the release of its own press.
    void Mouse(QWidget* widget, QEvent::Type type, int x, int y, Qt::MouseButton button,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        Qt::MouseButtons& held = widget == form_->PaintBox1 ? held_ : heldElsewhere_;
        if (type == QEvent::MouseButtonPress) held |= button;
        if (type == QEvent::MouseButtonRelease) held &= ~Qt::MouseButtons(button);
        const QPointF at(x, y);
        QMouseEvent event(type, at, widget->mapToGlobal(at), button, held, modifiers);
        QApplication::sendEvent(widget, &event);
    }

    static Qt::MouseButton ButtonOf(int c)
    {
        return c == 1 ? Qt::RightButton : c == 2 ? Qt::MiddleButton : Qt::LeftButton;
    }

    void ClickList(QPoint at, Qt::KeyboardModifiers modifiers)
    {
        QWidget* lines = form_->ListBox1->viewport();
        Mouse(lines, QEvent::MouseButtonPress, at.x(), at.y(), Qt::LeftButton, modifiers);
        Mouse(lines, QEvent::MouseButtonRelease, at.x(), at.y(), Qt::LeftButton, modifiers);
    }

    void Apply(const TSoakAction& a)
    {
        TForm1& form = *form_;
        switch (a.Kind) {
        case TSoakAction::Press:
            Mouse(form.PaintBox1, QEvent::MouseButtonPress, a.A, a.B, ButtonOf(a.C),
                  (a.D & 1 ? Qt::ShiftModifier : Qt::NoModifier) | (a.D & 2 ? Qt::ControlModifier : Qt::NoModifier));
            break;
        case TSoakAction::Move: Mouse(form.PaintBox1, QEvent::MouseMove, a.A, a.B, Qt::NoButton); break;
        case TSoakAction::Release: Mouse(form.PaintBox1, QEvent::MouseButtonRelease, a.A, a.B, ButtonOf(a.C)); break;
        case TSoakAction::Tool:
            if (a.A >= 0 && a.A < static_cast<int>(form.RadioGroup1->Items.size()))
                form.RadioGroup1->Items[static_cast<std::size_t>(a.A)]->click();
            break;
        case TSoakAction::Button: {
            QPushButton* const buttons[] = {form.Button1, form.Button2, form.Button3, form.Button4,
                                            form.Button5, form.Button6, form.Button7, form.Button8};
            buttons[(a.A - 1 + 8) % 8]->click();
            break;
        }
        case TSoakAction::ListLine: {
            const int count = form.ListBox1->count();
            if (count == 0) break;
            const QRect line = form.ListBox1->visualItemRect(form.ListBox1->item(a.A % count));
            if (line.isValid()) ClickList(line.center(), a.D ? Qt::ControlModifier : Qt::NoModifier);
            break;
        }
        case TSoakAction::ListBelow: {
            const int count = form.ListBox1->count();
            const QRect last = count ? form.ListBox1->visualItemRect(form.ListBox1->item(count - 1)) : QRect();
            const int y = std::min(last.bottom() + 10, form.ListBox1->viewport()->height() - 2);
            ClickList(QPoint(10, y), Qt::NoModifier);
            break;
        }
        case TSoakAction::Overview: {
            const QEvent::Type types[] = {QEvent::MouseButtonPress, QEvent::MouseMove, QEvent::MouseButtonRelease};
            Mouse(form.PaintBox2, types[a.C % 3], a.A, a.B, a.C % 3 == 1 ? Qt::NoButton : Qt::LeftButton);
            break;
        }
        case TSoakAction::Wheel: {
            Qt::KeyboardModifiers modifiers;
            if (a.D & 1) modifiers |= Qt::ControlModifier;
            if (a.D & 2) modifiers |= Qt::ShiftModifier;
            const QPointF at(a.A, a.B);
            QWheelEvent event(at, form.PaintBox1->mapToGlobal(at), QPoint(), QPoint(0, 120 * a.C), held_, modifiers,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(form.PaintBox1, &event);
            break;
        }
        case TSoakAction::Menu:
            if (!items_.empty()) items_[static_cast<std::size_t>(a.A) % items_.size()]->trigger();
            break;
        case TSoakAction::Shortcut:
            if (!items_.empty()) {
                QAction* item = items_[static_cast<std::size_t>(a.A) % items_.size()];
                if (!item->shortcut().isEmpty()) QTest::keySequence(&form, item->shortcut());
            }
            break;
        case TSoakAction::Key: {
            QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &form;
            if (a.A >= 2) {
                // The arrows move the selection where the main view has the focus.
                const Qt::Key arrows[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down};
                form.PaintBox1->setFocus();
                QTest::keyClick(form.PaintBox1, arrows[(a.A - 2) % 4], a.B ? Qt::ShiftModifier : Qt::NoModifier);
                break;
            }
            QTest::keyClick(target, a.A == 0 ? Qt::Key_Delete : Qt::Key_Escape);
            break;
        }
        case TSoakAction::Tick: form.Timer1Timer(); break;
        case TSoakAction::Dialog: {
            QAction* const items[] = {form.N4, form.N3, form.f1, form.N9, form.c1, form.N7, nullptr, form.N6};
            QAction* const item = items[static_cast<std::size_t>(a.A) % std::size(items)];
            if (item)
                QTest::keySequence(&form, item->shortcut());
            else
                form.Button1->click();
            break;
        }
        case TSoakAction::Lost: held_ &= ~Qt::MouseButtons(ButtonOf(a.C)); break;
        case TSoakAction::KindCount: break;
        }
    }

    /// Every error shown must be one of the file errors, naming a file of the
    /// run, or the refusal of a file that an open map is bound to.
    std::string CheckErrors(std::size_t from) const
    {
        const std::string prefix = folder_.Path().string();
        for (std::size_t i = from; i < answers_.Errors.size(); ++i) {
            const std::string& error = answers_.Errors[i];
            bool refusal = false;
            if (form_->MapList)
                for (const auto& map : form_->MapList->Maps) refusal = refusal || error == AlreadyOpenText(map->DisplayName());
            // The arc and coordinates dialogs say why they lay nothing.
            for (int k = 1; k <= static_cast<int>(TArcRefusal::Unjoined); ++k)
                refusal = refusal || error == ArcRefusalText(static_cast<TArcRefusal>(k));
            refusal = refusal || QString::fromStdString(error) == CoordinatesRefusal(true, TLine{});
            if (error.rfind(prefix, 0) != 0 && !refusal) return "unexpected error shown: " + error;
        }
        return "";
    }

    /// A file changes only where the user chose it, and a saved map's file
    /// holds exactly that map.
    std::string CheckFiles()
    {
        auto now = Snapshot(folder_.Path());
        std::string broken;
        for (const auto& [path, bytes] : now) {
            const auto before = files_.find(path);
            if (before != files_.end() && before->second == bytes) continue;
            if (path.size() > 4 && path.compare(path.size() - 4, 4, ".tmp") == 0) {
                broken = "a temporary file was left: " + path;
                break;
            }
            // A map's own file was chosen by the user when the map got its name.
            // The damaged sample must never be written because a map kept its
            // name after a failed load: until the user saves over it through a
            // save dialog, only such an answer may write it.
            bool chosen = false;
            for (const std::string& c : answers_.Chosen) {
                chosen = chosen || SameFile(c, path) || SameFile(ChosenMapFile(c), path);
            }
            for (const std::string& c : answers_.PictureChosen) chosen = chosen || SameFile(PictureFileName(c), path);
            const bool damaged = SameFile(path, folder_.File("dmg.ks"));
            if (damaged && chosen) damagedReplaced_ = true;
            if (!damaged || damagedReplaced_) {
                for (const std::string& name : MapFileNames())
                    chosen = chosen || SameFile(name, path);
            }
            if (!chosen) {
                broken = "written where the user did not choose it: " + path;
                break;
            }
            // Written over by a picture, or by one of two maps that name it:
            // the other map no longer matches it, which is no fault of the history.
            const auto names = MapFileNames();
            const auto same = [&](const std::string& name) { return SameFile(name, path); };
            if (std::count_if(names.begin(), names.end(), same) > 1 ||
                std::any_of(answers_.PictureChosen.begin(), answers_.PictureChosen.end(), same))
                foreign_.push_back(path);
        }
        if (broken.empty() && form_->MapList) {
            // Two maps may name one file when the user agreed to save one over
            // the other's: then one of them must hold what was written, unless
            // the other was closed on the way.
            std::map<std::string, bool> written;
            for (const auto& map : form_->MapList->Maps) {
                if (map->FileName.empty() || map->Modified) continue;
                const std::string path = fs::path(map->FileName).string();
                if (std::count_if(namesBefore_.begin(), namesBefore_.end(),
                                  [&](const std::string& name) { return SameFile(name, path); }) > 1)
                    continue;
                // A map closed in this action saved over another map's file, as
                // the user agreed at the overwrite question.
                if (form_->MapList->Count() < countBefore_ &&
                    std::any_of(answers_.Chosen.begin(), answers_.Chosen.end(), [&](const std::string& name) {
                        return SameFile(MatchExistingCase(ForceExtension(name)), path);
                    }))
                    continue;
                const auto file = now.find(path);
                const auto before = files_.find(path);
                if (file == now.end() || (before != files_.end() && before->second == file->second)) continue;
                written[path] = written[path] || ReadBytes(path) == MapToBytes(*map);
            }
            for (const auto& [path, matched] : written)
                if (!matched) broken = "a saved map differs from its file: " + path;
        }
        files_ = std::move(now);
        return broken;
    }

    /// A map that is not marked modified holds what its file holds (as a
    /// load of either would give it): a change that no save has kept is
    /// unsaved work, also after a save in the middle of a drag.
    std::string CheckUnmodifiedMaps() const
    {
        const auto tidy = [](TMap map) {
            map.Normalize();
            return MapToBytes(map);
        };
        for (const auto& owned : form_->MapList->Maps) {
            const TMap& map = *owned;
            if (map.Modified || map.FileName.empty()) continue;
            const auto same = [&](const std::string& name) { return SameFile(name, map.FileName); };
            if (std::any_of(foreign_.begin(), foreign_.end(), same)) continue;
            if (std::count_if(form_->MapList->Maps.begin(), form_->MapList->Maps.end(),
                              [&](const auto& other) { return same(other->FileName); }) > 1)
                continue;
            TMap loaded;
            try {
                if (ReadBytes(map.FileName) == MapToBytes(map)) continue;
                ReadMapFile(loaded, map.FileName);
            } catch (const std::exception&) {
                // A save that failed keeps the name it was given (a folder, a
                // place that does not exist); the map holds what it held.
                continue;
            }
            if (MapToBytes(loaded) != tidy(map))
                return "a map not marked modified differs from its file: " + map.FileName + " (" +
                       Describe(StateOf(map)) + " against " + Describe(StateOf(loaded)) + ")";
        }
        return "";
    }

    static std::string CheckMap(const TMap& map, std::size_t i)
    {
        std::ostringstream out;
        const auto bad = [&](const char* what) {
            out << "map " << i << ": " << what;
            return out.str();
        };
        const std::int32_t rails = map.RailCount();
        if (map.SelRail < -1 || map.SelRail >= rails) return bad("SelRail names no rail");
        if (map.SelBorder < -1 || map.SelBorder >= map.BorderCount()) return bad("SelBorder names no border");
        if (map.StartRail < -1 || map.StartRail >= rails) return bad("StartRail names no rail");
        if (map.FinishRail < -1 || map.FinishRail >= rails) return bad("FinishRail names no rail");
        if (map.StartRail >= 0 && map.StartRail == map.FinishRail) return bad("start and finish are one rail");
        for (std::int32_t r = 0; r < rails; ++r) {
            const TRail& rail = map.Rails()[static_cast<std::size_t>(r)];
            // With many selected, SelRail names the lowest of them.
            const bool markMatches = map.ManySelected() ? !(rail.Selected && (map.SelRail < 0 || r < map.SelRail)) : rail.Selected == (r == map.SelRail);
            if (!markMatches || (r == map.SelRail && !rail.Selected))
                return bad("a rail's Selected flag disagrees with SelRail");
            if (rail.IsStart != (r == map.StartRail)) return bad("a rail's IsStart flag disagrees with StartRail");
            if (rail.IsFinish != (r == map.FinishRail)) return bad("a rail's IsFinish flag disagrees with FinishRail");
        }
        for (std::int32_t b = 0; b < map.BorderCount(); ++b) {
            const bool selected = map.Borders()[static_cast<std::size_t>(b)].Selected;
            const bool markMatches = map.ManySelected() ? !(selected && (map.SelBorder < 0 || b < map.SelBorder)) : selected == (b == map.SelBorder);
            if (!markMatches || (b == map.SelBorder && !selected))
                return bad("a border's Selected flag disagrees with SelBorder");
        }
        return "";
    }

    std::string CheckWindow(bool ticked) const
    {
        const TForm1& form = *form_;
        const TMapList& list = *form.MapList;
        if (list.Count() < 1) return "no map is open";
        if (list.Current < 0 || list.Current >= list.Count()) return "Current names no map";
        if (form.ListBox1->count() != list.Count()) return "the list has not one line per map";
        for (std::int32_t i = 0; i < list.Count(); ++i) {
            const std::string broken = CheckMap(list.Map(i), static_cast<std::size_t>(i));
            if (!broken.empty()) return broken;
            if (Text(form.ListBox1->item(i)->text()) != list.Map(i).DisplayName())
                return "line " + std::to_string(i) + " does not name its map";
            const std::string& file = list.Map(i).FileName;
            for (std::int32_t k = 0; k < i && !file.empty(); ++k)
                if (!list.Map(k).FileName.empty() && SameFile(list.Map(k).FileName, file))
                    return "maps " + std::to_string(k) + " and " + std::to_string(i) + " are bound to one file";
        }
        const std::int32_t selected = form.ListBox1->ItemIndex();
        if (selected != -1 && selected != list.Current) return "the selected line is not the current map's";
        if (ticked) {
            if (selected != list.Current) return "after a tick the current map's line is not selected";
            if (Text(form.windowTitle()) != "Редактор карт - " + list.CurrentMap().DisplayName())
                return "the caption does not name the current map";
            const TRouteFaultsWindow* faults = form.RouteFaults;
            if (faults && !faults->isHidden()) {
                if (faults->ShownMap() != list.CurrentMap().Id())
                    return "after a tick the fault list does not show the current map";
                if (form.LiveRouteCheck()) {
                    // The live list against an examination made afresh.
                    TLiveRoutes fresh;
                    fresh.ExamineAll(list.CurrentMap());
                    qsizetype entries = 0;
                    const auto count = [&](const TLiveFault&) { return ++entries, true; };
                    fresh.ForEachFault(count);
                    fresh.ForEachWarning(count);
                    if (faults->Lines().size() != std::max<qsizetype>(entries, 1))
                        return "the live fault list has not one line per fault and warning";
                } else {
                    const auto& last = list.CurrentMap().LastRouteFaults();
                    const auto listed = last ? static_cast<qsizetype>(last->Listed.size()) : 0;
                    const qsizetype lines = !last ? 0 : last->Total == 0 ? 1 : listed + (last->Total > listed ? 1 : 0);
                    if (faults->Lines().size() != lines) return "the fault list has not one line per fault";
                }
            }
        }
        return "";
    }

    TTempFolder folder_;
    TSoakAnswers answers_;
    TSoakFileDialog pictures_;
    TSoakDialogAnswers dialogAnswers_{answers_};
    std::unique_ptr<TForm1> form_;
    std::vector<QAction*> items_;
    /// Buttons held in the main view, and in the overview or the list.
    Qt::MouseButtons held_;
    Qt::MouseButtons heldElsewhere_;
    std::map<std::string, TFileStamp> files_;
    std::vector<std::string> namesBefore_;
    bool damagedReplaced_ = false;
    /// Files that something other than their map wrote over.
    std::vector<std::string> foreign_;
    std::size_t steps_ = 0;
    std::map<std::uint64_t, TMapState> baselines_;
    std::int32_t countBefore_ = 0;
};

} // namespace

std::string TSoakAction::ToText() const
{
    std::ostringstream out;
    out << KindNames[Kind] << ' ' << A << ' ' << B << ' ' << C << ' ' << D << ' ' << Seed;
    return out.str();
}

bool TSoakAction::FromText(const std::string& line, TSoakAction& action)
{
    std::istringstream in(line);
    std::string name;
    if (!(in >> name >> action.A >> action.B >> action.C >> action.D >> action.Seed)) return false;
    for (std::size_t k = 0; k < KindNames.size(); ++k) {
        if (name == KindNames[k]) {
            action.Kind = static_cast<TKind>(k);
            return true;
        }
    }
    return false;
}

TSoakScript MakeSoakScript(std::uint32_t seed, std::size_t count)
{
    std::mt19937 random(seed);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    const auto point = [&](int& x, int& y) {
        if (pick(0, 1) == 0) {
            const auto& hot = HotPoints[static_cast<std::size_t>(pick(0, HotPoints.size() - 1))];
            x = hot[0] + pick(-6, 6);
            y = hot[1] + pick(-6, 6);
        } else {
            x = pick(-20, 740);
            y = pick(-20, 620);
        }
    };
    TSoakScript script;
    const auto add = [&](TSoakAction::TKind kind, int a = 0, int b = 0, int c = 0, int d = 0) {
        script.push_back({kind, a, b, c, d, static_cast<std::uint32_t>(random())});
    };
    while (script.size() < count) {
        const int roll = pick(0, 99);
        int x = 0;
        int y = 0;
        if (roll < 30) { // a gesture in the main view
            const int button = pick(0, 9) < 7 ? 0 : pick(1, 2);
            point(x, y);
            add(TSoakAction::Press, x, y, button, (pick(0, 3) == 0 ? 1 : 0) | (pick(0, 4) == 0 ? 2 : 0));
            for (int moves = pick(0, 4); moves > 0; --moves) {
                point(x, y);
                add(TSoakAction::Move, x, y);
                if (pick(0, 1)) add(TSoakAction::Tick);
            }
            if (pick(0, 9) == 0) add(TSoakAction::Key, pick(0, 1)); // Delete or Escape while held
            if (pick(0, 19) == 0) add(TSoakAction::Shortcut, pick(0, 30));
            add(TSoakAction::Release, x, y, button);
        } else if (roll < 34) { // a gesture that a save or another dialog comes into
            const int button = pick(0, 9) < 8 ? 0 : pick(1, 2);
            point(x, y);
            add(TSoakAction::Press, x, y, button, pick(0, 3) == 0);
            const auto moves = [&](int least) {
                for (int n = pick(least, 3); n > 0; --n) {
                    point(x, y);
                    add(TSoakAction::Move, x, y);
                    if (pick(0, 1)) add(TSoakAction::Tick);
                }
            };
            moves(1);
            const bool save = pick(0, 1) == 0;
            add(TSoakAction::Dialog, save ? 0 : pick(1, 7));
            if (save) {
                // The drag goes on after a plain save, and may be taken back.
                moves(0);
                if (pick(0, 2) == 0) add(TSoakAction::Key, 1);
                add(TSoakAction::Release, x, y, button);
            } else {
                // The dialog may have taken the release.
                if (pick(0, 1)) add(TSoakAction::Release, x, y, button);
                else add(TSoakAction::Lost, 0, 0, button);
                moves(0);
            }
        } else if (roll < 50) {
            add(TSoakAction::Tick);
        } else if (roll < 58) {
            add(TSoakAction::Tool, pick(0, 5));
        } else if (roll < 68) {
            add(TSoakAction::Button, pick(1, 8));
        } else if (roll < 73) {
            add(TSoakAction::ListLine, pick(0, 5), 0, 0, pick(0, 3) == 0);
        } else if (roll < 75) {
            add(TSoakAction::ListBelow);
        } else if (roll < 78) {
            add(TSoakAction::Overview, pick(0, 136), pick(0, 136), 0);
            for (int moves = pick(0, 3); moves > 0; --moves) add(TSoakAction::Overview, pick(-5, 140), pick(-5, 140), 1);
            add(TSoakAction::Overview, pick(0, 136), pick(0, 136), 2);
        } else if (roll < 82) {
            point(x, y);
            add(TSoakAction::Wheel, x, y, pick(0, 1) ? 1 : -1, pick(0, 3));
        } else if (roll < 89) {
            add(TSoakAction::Menu, pick(0, 30));
        } else if (roll < 93) {
            add(TSoakAction::Shortcut, pick(0, 30));
        } else if (roll < 96) {
            add(TSoakAction::Key, pick(0, 5), pick(0, 1));
        } else { // a lone press or release: buttons held across other actions
            point(x, y);
            add(pick(0, 1) ? TSoakAction::Press : TSoakAction::Release, x, y, pick(0, 2));
        }
    }
    script.resize(count);
    return script;
}

void EnsureSoakApplication()
{
    static int argc = 1;
    static char name[] = "soak";
    static char* argv[] = {name, nullptr};
    if (QApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    new TKestApplication(argc, argv);
}

std::string RunSoakScript(const TSoakScript& script, std::size_t* actionsRun)
{
    TSoakRun run;
    for (std::size_t i = 0; i < script.size(); ++i) {
        const auto start = std::chrono::steady_clock::now();
        const std::string broken = run.Step(script[i]);
        // A user would see the window hang: worth knowing, though not a failure.
        const auto took = std::chrono::steady_clock::now() - start;
        if (took > std::chrono::milliseconds(std::getenv("SOAK_TRACE") ? 50 : 1000))
            std::fprintf(stderr, "soak: action %zu (%s) took %lld ms\n", i, script[i].ToText().c_str(),
                         static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
        if (actionsRun) *actionsRun = i + 1;
        if (!broken.empty()) return "after action " + std::to_string(i) + " (" + script[i].ToText() + "): " + broken;
    }
    const std::string broken = run.CheckHistories();
    return broken.empty() ? "" : "at the end: " + broken;
}

TSoakScript ShrinkSoakScript(const TSoakScript& failing, std::size_t maxRuns)
{
    TSoakScript best = failing;
    std::size_t runs = 0;
    // Cut pieces of halving size; keep every cut after which the run still fails.
    for (std::size_t piece = best.size() / 2; piece >= 1 && runs < maxRuns; piece /= 2) {
        for (std::size_t at = 0; at < best.size() && runs < maxRuns;) {
            TSoakScript shorter = best;
            shorter.erase(shorter.begin() + static_cast<std::ptrdiff_t>(at),
                          shorter.begin() + static_cast<std::ptrdiff_t>(std::min(at + piece, shorter.size())));
            ++runs;
            if (!RunSoakScript(shorter).empty())
                best = std::move(shorter);
            else
                at += piece;
        }
    }
    return best;
}
