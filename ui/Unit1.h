#pragma once
// The editor window: the tools, the buttons, the File menu, the list of open
// maps, the main view with its scroll bars, the overview and the redraw timer.
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Canvas.h"
#include "platform/Dialogs.h"
#include "platform/qt/QtCanvas.h"
#include "ui/TGestures.h"
#include "ui/TPaintBox.h"
#include "workspace/TMapList.h"

class QAction;
class QFrame;
class QImage;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QTimer;
class TBackgroundLoads;
class TBackgroundWorks;
class TListBox;
class TLiveRoutes;
struct TLiveMark;
struct TRouteMark;
class TListBoxNames;
class TOverviewCache;
class TViewCache;
class TRadioGroup;
class TRecoveryKeeper;
class TRouteFaultsWindow;
class TScrollBar;

/// The program's command line: element 0 is the program, element 1 the map to open.
using TCommandLine = std::vector<std::string>;

/// The window's client area below the menu bar, in pixels.
constexpr int FormClientWidth = 894;
constexpr int FormClientHeight = 618;
/// The redraw timer's interval in milliseconds.
constexpr int RedrawInterval = 55;
/// How long the route check's notice stays over the main view, in milliseconds.
constexpr int RouteNoticeTime = 3000;
/// How often the recovery copies are looked after, in milliseconds.
constexpr int RecoveryInterval = 1000;

/// The one editor window. Controls keep the form's names and are public so
/// that tests drive them; the handlers are plain methods that Qt's events and
/// tests both call. Every handler works on the current map of MapList. Mouse
/// gestures are objects of their own (TGestures and the TGesture classes);
/// the window hands them its mouse events and serves them as their host.
class TForm1 : public QWidget, private TGestureHost {
public:
    /// Builds the window and runs FormCreate. The dialogs are the colour dialog
    /// (its colour is the drawing colour) and the picture save dialog; both
    /// must outlive the window.
    TForm1(TColorDialog& colorDialog, TFileDialog& pictureDialog, const TCommandLine& commandLine,
           QWidget* parent = nullptr);
    ~TForm1() override;

    // The form's components.
    QMenuBar* MainMenu1;
    QMenu* N1;
    QAction* N2;
    QAction* N3;
    QAction* N4;
    QAction* N7;
    QAction* f1;
    QAction* N8;
    QAction* N9;
    QAction* N5;
    QAction* c1;
    QAction* N6;
    /// The Edit menu "Правка" with "Отменить" (N11) and "Вернуть" (N12).
    QMenu* N10;
    QAction* N11;
    QAction* N12;
    /// The View menu "Вид": "Крупнее" (N14), "Мельче" (N15), "Масштаб 1:1"
    /// (N16), "Вся карта" (N17), then "Ошибки путей..." (N19) after a separator (N18).
    QMenu* N13;
    QAction* N14;
    QAction* N15;
    QAction* N16;
    QAction* N17;
    QAction* N18;
    QAction* N19;
    /// "Проверять пути на ходу" (Ctrl+Shift+E), checkable after "Ошибки путей...":
    /// the route check follows every edit and marks its faults on the map.
    /// Off at the first start; the window remembers it between runs.
    QAction* N20;
    /// "Правка", last, after a separator: "Дуга..." (Ctrl+R), enabled while a
    /// rail is selected, and "Координаты..." (Ctrl+K), while a rail or a border is.
    QAction* ArcItem;
    QAction* CoordinatesItem;
    /// "Размеры" (Ctrl+Shift+D) in "Вид", checkable: the length and heading of
    /// what is being drawn out beside the mouse, and the world point under the
    /// mouse in the view's corner. Off at the first start; remembered.
    QAction* MeasuresItem;
    /// "Правка", after "Вернуть": "Вырезать" (Ctrl+X), "Копировать" (Ctrl+C),
    /// "Вставить" (Ctrl+V), "Вставить на место" (Ctrl+Shift+V), "Удалить"
    /// (DeleteKey, Delete), then "Выделить всё" (Ctrl+Shift+A) and "Снять
    /// выделение" (EscapeKey, Escape).
    QAction* CutItem;
    QAction* CopyItem;
    QAction* PasteItem;
    QAction* PasteInPlaceItem;
    QAction* SelectAllItem;
    /// Delete and Escape, which "Правка" shows as "Удалить" and "Снять выделение".
    QAction* DeleteKey;
    QAction* EscapeKey;
    /// The arrow keys, Shift+arrow too, of the main view (which takes the
    /// focus when clicked): move the selection. Left, right, up, down, each
    /// without and with Shift.
    QList<QAction*> ArrowKeys;
    QFrame* Panel1;
    QFrame* Panel2;
    TRadioGroup* RadioGroup1;
    QPushButton* Button3;
    QPushButton* Button6;
    QPushButton* Button7;
    QPushButton* Button2;
    QPushButton* Button4;
    QPushButton* Button1;
    QPushButton* Button8;
    QPushButton* Button5;
    QLabel* Label2;
    TPaintBox* PaintBox2;
    QLabel* Label1;
    TListBox* ListBox1;
    TPaintBox* PaintBox1;
    TScrollBar* HB;
    TScrollBar* VB;
    QTimer* Timer1;
    /// The route check's notice, laid over the main view (a child of
    /// PaintBox1, so its picture stays as drawn), and the single-shot timer
    /// that hides it after RouteNoticeTime.
    QLabel* RouteNotice;
    QTimer* RouteNoticeTimer;
    /// The list of the last check's faults; null until "Ошибки путей..." first opens it.
    TRouteFaultsWindow* RouteFaults = nullptr;
    TColorDialog* ColorDialog1;
    TFileDialog* sp;
    /// Looks after the recovery copies every RecoveryInterval (RecoveryTimerTimer).
    QTimer* RecoveryTimer;

    // The window's state.
    std::unique_ptr<TListBoxNames> MapNames;
    std::unique_ptr<TMapList> MapList;
    std::unique_ptr<TQtBitmap> BackBuffer;
    TCanvas* DrawCanvas = nullptr;
    /// The live route check, following the current map while N20 is checked.
    std::unique_ptr<TLiveRoutes> LiveRoutes;
    /// The recovery copies of the open maps; made at start, emptied by a normal exit.
    std::unique_ptr<TRecoveryKeeper> Recovery;
    /// The mouse's last point in the main view.
    std::int32_t MouseX = 0;
    std::int32_t MouseY = 0;
    /// Ticks that drew a frame; a tick whose inputs are those of the last
    /// drawn one draws and copies nothing.
    std::uint64_t TicksDrawn = 0;
    /// From this many elements, the first tick that shows a map draws its
    /// view alone and the next one its overview and live route marks (drawing
    /// the overview of 100,000 elements takes about a tick). Tests may change it.
    static inline std::int32_t OverviewLateFrom = 100000;
    /// From a map of this many bytes in its file (BackgroundWork::From, the
    /// size from which work goes to a worker), a tick that would draw the
    /// view zoomed out from 1:1, or the overview afresh, draws it on a worker
    /// first (ReadyToDraw). Tests may change it.
    static inline std::int64_t PicturesAwayFrom = std::int64_t{4} << 20;
    /// How many times the main view's picture was drawn afresh.
    std::uint64_t ViewRebuilds() const;

    /// The map at MapList.Current.
    TMap& CurrentMap() const override;
    /// 0 when nothing is being drawn out, else what is: 1 a border, 2 a rail.
    std::uint8_t ToolAction() const;
    /// What the next redraw may move: ToolAction while the element that the
    /// press added is still the last of its kind in the current map, else 0.
    std::uint8_t Placing() const;
    /// True while the right button pans the main view.
    bool Panning() const;
    /// True while a button held in the overview moves the main view.
    bool OverviewTracking() const;

    // Handlers, in the order the window shows their controls.
    /// Start: the list of maps with one new map, the back buffer, the map named
    /// on the command line, line 0 selected, the scroll ranges.
    void FormCreate(const TCommandLine& commandLine);
    /// Closing the window: closes every map (asking about unsaved ones); false refuses the close.
    bool FormClose();
    /// "Файл" menu.
    void N2Click();  ///< "Новый" (Ctrl+N): a new empty map, made current.
    void N3Click();  ///< "Загрузить" (Ctrl+O): a file from the open dialog into the first free map.
    void N4Click();  ///< "Сохранить" (Ctrl+S): the current map, asking a name the first time.
    void N7Click();  ///< "Сохранить всё" (Ctrl+L): every map in list order.
    void f1Click();  ///< "Сохранить как..." (Ctrl+A): the current map under a new name.
    void N9Click();  ///< "Сохранить карту в виде картинки" (Ctrl+I): the 1000 x 1000 picture.
    void c1Click();  ///< "Закрыть карту" (Ctrl+M): closes the current map, offering to save it.
    void N6Click();  ///< "Выход" (Ctrl+Q): closes the window.
    /// Left panel, top to bottom.
    void Button3Click(); ///< "Поменять": reverses the selected rail, next kind for the selected border.
    void Button6Click(); ///< "Сделать стартовым": the selected rail becomes the start rail.
    void Button7Click(); ///< "Сделать финишным": the selected rail becomes the finish rail.
    void Button2Click(); ///< "Удалить": deletes the selected rail and border.
    void Button4Click(); ///< "Сменить цвет": the selected border takes the drawing colour.
    void Button1Click(); ///< "Цвет...": chooses the drawing colour.
    void Button8Click(); ///< "Запомнить цвет": the selected border's colour becomes the drawing colour.
    void Button5Click(); ///< "Проверить пути": the route check; the faulty rail is selected and centred.
    /// "Миникарта": a press and moves centre the main view on the point under the mouse.
    void PaintBox2MouseDown(TMouseButton button, std::int32_t x, std::int32_t y);
    void PaintBox2MouseMove(std::int32_t x, std::int32_t y);
    void PaintBox2MouseUp(TMouseButton button, std::int32_t x, std::int32_t y);
    /// "Список карт": the chosen line's map becomes current.
    void ListBox1Click();
    /// Main view: draws out a border or rail, selects, moves ends, pans with the right button.
    void PaintBox1MouseDown(TMouseButton button, std::int32_t x, std::int32_t y);
    void PaintBox1MouseMove(std::int32_t x, std::int32_t y);
    void PaintBox1MouseUp(TMouseButton button, std::int32_t x, std::int32_t y);
    /// Every 55 ms: the frame, the overview and the caption, when anything they show changed.
    void Timer1Timer();
    /// Takes the recovery copies that are due and removes those no longer needed.
    void RecoveryTimerTimer();
    /// Makes the next tick draw whatever its inputs.
    void ForgetLastTick() { lastTick_.reset(); }
    /// "Правка" menu: "Отменить" (Ctrl+Z) and "Вернуть" (Ctrl+Y, Ctrl+Shift+Z) on the current
    /// map; nothing while a button is held in the main view.
    void N11Click();
    void N12Click();
    /// "Вид" menu.
    void N14Click(); ///< "Крупнее" (Ctrl+=, Ctrl++): one zoom level in, about the view's centre.
    void N15Click(); ///< "Мельче" (Ctrl+-): one zoom level out, about the view's centre.
    void N16Click(); ///< "Масштаб 1:1" (Ctrl+0): one pixel per world unit.
    void N17Click(); ///< "Вся карта": the largest level that shows every element.
    void N19Click(); ///< "Ошибки путей..." (Ctrl+E): the list of the last route check's faults.
    /// "Проверять пути на ходу" (Ctrl+Shift+E): switches the live check as N20 now stands, and remembers it.
    void N20Click();
    /// True while the live route check is switched on.
    bool LiveRouteCheck() const;
    /// "Дуга...": the dialog, showing in the view what OK would lay; OK lays
    /// the arc as one step and selects its rail farthest from the selected one.
    void ArcItemClick();
    /// "Координаты...": the selected rail's (or border's) ends typed, as one step.
    void CoordinatesItemClick();
    /// "Размеры": switches the measures as MeasuresItem now stands, and remembers it.
    void MeasuresItemClick();
    bool Measures() const;
    /// True while a Ctrl-drag with the rail tool draws out an arc.
    bool ArcDrawing() const;
    /// The rails the open "Дуга" dialog would lay (empty when it is closed or refuses).
    const std::vector<TRail>& ArcPreview() const { return arcPreview_; }
    /// RouteNoticeTimer's handler: hides the notice.
    void RouteNoticeTimerTimer();
    /// A line of the fault list naming a rail of map was clicked, the rail
    /// given by its RouteId: when map is still current and the rail still
    /// exists, wherever edits have moved it, selects it (no undo step, as
    /// picking is none) and centres the main view on it.
    void RouteFaultsClick(std::uint64_t map, std::uint32_t rail);
    /// Delete: as "Удалить". Escape: takes back the element being drawn out or
    /// puts back the ends being moved.
    void DeleteKeyPress();
    /// While a button is held or a press's step is open, as above; otherwise
    /// "Снять выделение": nothing stays selected.
    void EscapeKeyPress();
    /// "Выделить всё": every element of the current map.
    void SelectAllClick();
    /// "Вырезать", "Копировать": the selected elements onto the clipboard
    /// (as a map file and as text); cutting deletes them as one step.
    void CutClick();
    void CopyClick();
    /// "Вставить": the clipboard's elements appended as the selection, the
    /// centre of their box under the mouse when it is over the main view
    /// (else at the view's centre), the nearest end snapped to an end within
    /// reach; "Вставить на место": where they were. One step each; what is
    /// not this editor's pastes nothing.
    void PasteClick();
    void PasteInPlaceClick();
    /// An arrow key (dx, dy of -1, 0 or 1), ten units with Shift: moves the
    /// selection; a run of presses with nothing between them is one step.
    void ArrowKeyPress(std::int32_t dx, std::int32_t dy, bool shift);
    /// Brings the Edit menu's items up to the current map's history.
    void UpdateEditMenu() override;
    /// The main view's scale: the window's, like the scroll position, so
    /// switching maps keeps it. The tick passes it to the current map.
    TViewZoom Zoom;
    /// The main view's transform, the window's own: the scroll bars' origin,
    /// PaintBox1's size and Zoom.
    TViewTransform View() const override;
    /// The world point that the main view's point (x, y) shows.
    TPoint WorldAt(std::int32_t x, std::int32_t y) const;
    /// Sets the scale and the view origin (world units, clamped by the scroll bars).
    void SetZoom(TViewZoom zoom, std::int32_t originX, std::int32_t originY);
    /// Sets the scale (clamped to the levels) keeping the world point under
    /// view point (px, py) where it is, as far as the world's edges allow.
    void ZoomAbout(TViewZoom zoom, std::int32_t px, std::int32_t py);
    /// The wheel over the main view, in eighths of a degree: scrolls, or with
    /// Shift scrolls sideways, or with Ctrl zooms about (x, y).
    void PaintBox1MouseWheel(std::int32_t dx, std::int32_t dy, Qt::KeyboardModifiers modifiers, std::int32_t x,
                             std::int32_t y);
    /// True while a select-tool drag moves element ends.
    bool MovingEnds() const;
    /// Ends the main view's gesture (drawing out, moving ends, panning) and
    /// the overview's as their release would, at the last known mouse point,
    /// and forgets the buttons held. Every command that opens a dialog,
    /// changes elements or changes the current map calls it first: a modal
    /// dialog takes the release, and a gesture must end on the map where it
    /// began, before anything else changes it.
    void EndGesture();
    /// A mouse event in the main view with the buttons held before it
    /// (bits 1 left, 2 right, 4 middle): a button the view still counts as
    /// held came up where the view never saw it, so its release happens at (x, y).
    void NoticeMissingRelease(std::uint8_t held, std::int32_t x, std::int32_t y);

protected:
    void closeEvent(QCloseEvent* event) override;
    /// A modal window opening over this one ends the gesture (EndGesture).
    bool event(QEvent* event) override;

private:
    void CreatePanels(QWidget* client);
    void CreateLeftPanel();
    void CreateRightPanel();
    void FitCaptions();
    void CreateMenu();
    void ConnectHandlers();
    /// True while MapList exists, i.e. until an accepted close released it.
    bool Alive() const { return MapList != nullptr; }
    // The gestures' host (TGestureHost).
    TMap* MapById(std::uint64_t id) const override;
    /// The one place that turns a press's view point into a world point.
    TPoint PressPoint(std::int32_t x, std::int32_t y) override;
    void ScrollTo(std::int32_t x, std::int32_t y) override;
    TPoint OverviewSize() const override;
    TColor DrawingColor() const override;
    /// The map's view as the main view shows it now, as each tick sets it.
    void SyncMapView(TMap& map) const override;
    void DrawView(const TMap& map, TCanvas& canvas) override;
    /// A press in the main view or the overview, as the gestures see it.
    TPress PressOf(TGestureSurface surface, TMouseButton button, std::int32_t x, std::int32_t y) const;
    void CreateRouteNotice();
    /// What the frame shows over the map: the arc that the dialog or the
    /// drag would lay, and the measures when they are on. Nothing at all
    /// when neither is, so such frames are the map's own.
    void DrawOverlay(QImage& frame);
    /// Places a dialog about line over the main view where it hides neither.
    void PlaceBeside(QWidget& dialog, const TLine& line);
    /// The live check's marks over the main view's frame, and over the overview.
    void DrawLiveMarks(const TMap& map);
    void DrawLiveOverview(const TMap& map);
    static std::vector<TRouteMark> RouteMarksOf(const std::vector<TLiveMark>& marks);
    /// A line of the live fault list was clicked: selects and centres the rail (index of now).
    void LiveFaultClick(std::uint64_t map, std::int32_t rail);
    /// Offers the copies that dead editors left (the maps given back become
    /// the list's, the first current) and starts keeping this editor's.
    void StartRecovery();
    /// Shows text over the main view for RouteNoticeTime, restarting the time.
    void ShowRouteNotice(const QString& text);
    /// Brings the fault list, when it is shown, up to the current map's last check.
    void RefreshRouteFaults();
    /// Scrolls the main view so that the midpoint of the current map's rail
    /// lies in its middle, as the route check does; nothing for a rail that
    /// does not exist. The one place that knows how much world the view shows.
    void CentreViewOn(std::int32_t rail);

    /// Before a tick draws map: on a map of PicturesAwayFrom bytes or more,
    /// with no gesture under way, the pictures that would take long to draw
    /// in place (the view zoomed out from 1:1, the overview drawn afresh when
    /// withOverview) are drawn on a worker, and the tick then finds them ready. False when the tick must draw nothing now and leave
    /// its frame to a later one: a scroll bar is held (its position is not
    /// final), or the view moved while the worker drew.
    bool ReadyToDraw(TMap& map, bool withOverview);
    /// Runs work, which reads the map only (drawing its pictures), through
    /// RunLongWork with caption; the ticks meanwhile leave the pictures alone.
    void RunPictureWork(const TMap& map, const std::string& caption, const std::function<void()>& work);

    TQtBitmapFactory bitmaps_;
    std::unique_ptr<TOverviewCache> overview_;
    std::unique_ptr<TViewCache> view_;
    /// Set while a worker draws view_'s picture: the ticks meanwhile leave it alone.
    bool viewOnWorker_ = false;
    /// Everything a tick's pixels and caption depend on.
    struct TTickInputs {
        std::uint64_t MapId;
        std::uint64_t Revision;
        std::int32_t Start, Finish, SelRail, SelBorder;
        std::int32_t ScrollX, ScrollY, MouseX, MouseY, ZoomShift;
        std::uint8_t Placing;
        bool MovingEnds;
        std::int32_t Line;
        QString LineText;
        bool Live;
        std::uint64_t Overlay;
        bool Measures, ArcDrawing;
        friend bool operator==(const TTickInputs&, const TTickInputs&) = default;
    };
    TTickInputs TickInputs() const;
    /// The scroll bars' maxima for the scale.
    void SetScrollRanges();
    /// What the wheel turned short of a notch.
    std::int32_t wheelX_ = 0;
    std::int32_t wheelY_ = 0;
    std::optional<TTickInputs> lastTick_;
    /// The map the overview was last drawn for.
    std::optional<std::uint64_t> overviewMap_;
    /// The last drawn tick left the overview and the live marks to the next.
    bool restLate_ = false;
    /// The marks the last live query found (kept for its memory).
    std::vector<TLiveMark> liveMarks_;
    /// The overview's marks and the map state they stand for.
    struct TLiveOverviewKey {
        std::uint64_t MapId, Revision;
        std::int32_t Start, Finish;
        friend bool operator==(const TLiveOverviewKey&, const TLiveOverviewKey&) = default;
    };
    std::optional<TLiveOverviewKey> overviewMarksKey_;
    std::vector<TRouteMark> overviewMarks_;
    /// The arc the open "Дуга" dialog would lay, and a count that grows with
    /// each change of what DrawOverlay shows apart from the mouse.
    std::vector<TRail> arcPreview_;
    std::uint64_t overlayRevision_ = 0;
    /// The run of arrow key moves that the last step holds: its map, the
    /// revision after it and the whole move; nothing between the presses may change.
    struct TArrowRun {
        std::uint64_t MapId = 0, Revision = 0;
        TPoint Moved;
    };
    TArrowRun arrowRun_;
    /// Puts elements from the clipboard into the current map; centred under
    /// the mouse (or the view's centre) unless inPlace.
    void Paste(bool inPlace);
    /// The mouse gestures in progress: the window's only gesture state.
    TGestures gestures_{*this};
    /// Large maps load on a worker while the window ticks.
    std::unique_ptr<TBackgroundLoads> backgroundLoads_;
    /// Large maps are saved and exported on a worker while the window ticks.
    std::unique_ptr<TBackgroundWorks> backgroundWorks_;
};

/// The editor window while it exists.
extern TForm1* Form1;
