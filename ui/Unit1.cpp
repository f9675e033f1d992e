#include "ui/Unit1.h"

#include <QAction>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QDebug>
#include <algorithm>
#include <chrono>

#include "draw/OverviewCache.h"
#include "draw/RouteMarks.h"
#include "draw/ViewCache.h"
#include "model/TLine.h"
#include "model/TLiveRoutes.h"
#include "platform/qt/QtRecoveryFolder.h"
#include "ui/RunGuarded.h"
#include "ui/TBackgroundLoad.h"
#include "ui/TListBox.h"
#include "ui/TRadioGroup.h"
#include "ui/TRecoveryKeeper.h"
#include "ui/TScrollBar.h"
#include "ui/TTools.h"
#include "ui/ViewOptions.h"

TForm1* Form1 = nullptr;

namespace {

QPushButton* MakeButton(const char* caption, int top, QWidget* parent)
{
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setGeometry(8, top, 137, 24);
    return button;
}

QAction* MakeItem(QMenu* menu, const char* caption, Qt::Key key)
{
    QAction* item = menu->addAction(QString::fromUtf8(caption));
    item->setShortcut(QKeySequence(Qt::CTRL | key));
    return item;
}

/// A caption as shown: "&&" is one ampersand, a single "&" only underlines.
QString ShownText(QString caption)
{
    caption.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    caption.remove(QLatin1Char('&'));
    caption.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return caption;
}

/// The form's 8-point sans serif, or the nearest font of the same build that
/// the machine has.
QFont FormFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans Condensed"),
                      QStringLiteral("DejaVu Sans")});
    font.setPixelSize(11);
    return font;
}

} // namespace

TForm1::TForm1(TColorDialog& colorDialog, TFileDialog& pictureDialog, const TCommandLine& commandLine,
               QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      ColorDialog1(&colorDialog), sp(&pictureDialog), overview_(std::make_unique<TOverviewCache>(bitmaps_)),
      view_(std::make_unique<TViewCache>(bitmaps_))
{
    Form1 = this;
    LiveRoutes = std::make_unique<TLiveRoutes>();
    setWindowTitle(QStringLiteral("Form1"));
    setFont(FormFont());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    CreateMenu();
    layout->setMenuBar(MainMenu1);
    auto* client = new QWidget(this);
    client->setFixedSize(FormClientWidth, FormClientHeight);
    layout->addWidget(client);
    CreatePanels(client);

    Timer1 = new QTimer(this);
    Timer1->setInterval(RedrawInterval);
    RecoveryTimer = new QTimer(this);
    RecoveryTimer->setInterval(RecoveryInterval);
    ConnectHandlers();
    move(129, 152);
    layout->activate();

    FormCreate(commandLine);
    backgroundLoads_ = std::make_unique<TBackgroundLoads>(*this);
    // The ticks meanwhile only draw: a gesture would move elements the worker reads.
    backgroundWorks_ = std::make_unique<TBackgroundWorks>(*this, [this] { EndGesture(); });
    Timer1->start();
    // The first frame comes as soon as the event loop runs, not a whole
    // interval later; a timer stopped by then (tests drive the ticks) stays so.
    QTimer::singleShot(0, this, Guarded([this] {
        if (Timer1->isActive()) Timer1Timer();
    }));
    RecoveryTimer->start();
}

TForm1::~TForm1()
{
    if (Form1 == this) Form1 = nullptr;
}

void TForm1::CreateMenu()
{
    MainMenu1 = new QMenuBar(this);
    N1 = MainMenu1->addMenu(QString::fromUtf8("Файл (&&&а)"));
    N2 = MakeItem(N1, "Новый (&&&т)", Qt::Key_N);
    N3 = MakeItem(N1, "Загрузить (&щ)", Qt::Key_O);
    N4 = MakeItem(N1, "Сохранить (&&&ы)", Qt::Key_S);
    N7 = MakeItem(N1, "Сохранить всё (&&&м)", Qt::Key_L);
    f1 = MakeItem(N1, "Сохранить как... (&&&а)", Qt::Key_A);
    N8 = N1->addSeparator();
    N9 = MakeItem(N1, "Сохранить карту в виде картинки (&&&р)", Qt::Key_I);
    N5 = N1->addSeparator();
    c1 = MakeItem(N1, "Закрыть карту (&&&c)", Qt::Key_M);
    N6 = MakeItem(N1, "Выход (&&&й)", Qt::Key_Q);

    N10 = MainMenu1->addMenu(QString::fromUtf8("Правка"));
    N11 = MakeItem(N10, "Отменить", Qt::Key_Z);
    N12 = MakeItem(N10, "Вернуть", Qt::Key_Y);
    N12->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    N11->setEnabled(false);
    N12->setEnabled(false);
    N10->addSeparator();
    CutItem = MakeItem(N10, "Вырезать", Qt::Key_X);
    CopyItem = MakeItem(N10, "Копировать", Qt::Key_C);
    PasteItem = MakeItem(N10, "Вставить", Qt::Key_V);
    PasteInPlaceItem = N10->addAction(QString::fromUtf8("Вставить на место"));
    PasteInPlaceItem->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_V));

    N13 = MainMenu1->addMenu(QString::fromUtf8("Вид"));
    N14 = MakeItem(N13, "Крупнее", Qt::Key_Equal);
    N14->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)});
    N15 = MakeItem(N13, "Мельче", Qt::Key_Minus);
    N16 = MakeItem(N13, "Масштаб 1:1", Qt::Key_0);
    N17 = N13->addAction(QString::fromUtf8("Вся карта"));
    N18 = N13->addSeparator();
    N19 = MakeItem(N13, "Ошибки путей...", Qt::Key_E);
    N20 = N13->addAction(QString::fromUtf8("Проверять пути на ходу"));
    N20->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
    N20->setCheckable(true);
    N20->setChecked(ReadViewOption(LiveRouteCheckKey));
    MeasuresItem = N13->addAction(QString::fromUtf8("Размеры"));
    MeasuresItem->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D));
    MeasuresItem->setCheckable(true);
    MeasuresItem->setChecked(ReadViewOption(MeasuresKey));

    // Keys of the whole window, Delete and Escape shown in "Правка" too.
    DeleteKey = new QAction(QString::fromUtf8("Удалить"), this);
    DeleteKey->setShortcut(QKeySequence(Qt::Key_Delete));
    EscapeKey = new QAction(QString::fromUtf8("Снять выделение"), this);
    EscapeKey->setShortcut(QKeySequence(Qt::Key_Escape));
    addAction(DeleteKey);
    addAction(EscapeKey);
    N10->insertAction(N10->actions().value(N10->actions().indexOf(PasteInPlaceItem) + 1), DeleteKey);
    N10->addSeparator();
    SelectAllItem = N10->addAction(QString::fromUtf8("Выделить всё"));
    SelectAllItem->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A));
    N10->addAction(EscapeKey);
    N10->addSeparator();
    ArcItem = MakeItem(N10, "Дуга...", Qt::Key_R);
    CoordinatesItem = MakeItem(N10, "Координаты...", Qt::Key_K);
    ArcItem->setEnabled(false);
    CoordinatesItem->setEnabled(false);
}

void TForm1::CreatePanels(QWidget* client)
{
    Panel1 = new QFrame(client);
    Panel1->setGeometry(0, 0, 153, FormClientHeight);
    Panel2 = new QFrame(client);
    Panel2->setGeometry(158, 0, 736, FormClientHeight);
    for (QFrame* panel : {Panel1, Panel2}) {
        panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
        panel->setLineWidth(1);
    }
    CreateLeftPanel();
    CreateRightPanel();
}

void TForm1::CreateLeftPanel()
{
    QStringList tools;
    for (const TTool& tool : Tools()) tools << QString::fromUtf8(tool.Caption);
    RadioGroup1 = new TRadioGroup(tools, Panel1);
    RadioGroup1->setGeometry(8, 8, 137, 113);
    RadioGroup1->SetItemIndex(-1);

    Button3 = MakeButton("Поменять (&&&ф)", 136, Panel1);
    Button6 = MakeButton("Сделать стартовым (&&&ы)", 160, Panel1);
    Button7 = MakeButton("Сделать финишным (&&&в)", 184, Panel1);
    Button2 = MakeButton("Удалить (&&&п)", 208, Panel1);
    Button4 = MakeButton("Сменить цвет (&&&р)", 232, Panel1);
    Button1 = MakeButton("Цвет... (&&&о)", 256, Panel1);
    Button8 = MakeButton("Запомнить цвет (&&&л)", 280, Panel1);
    Button5 = MakeButton("Проверить пути (&&&д)", 304, Panel1);

    Label2 = new QLabel(QString::fromUtf8("Миникарта"), Panel1);
    Label2->setGeometry(8, 328, 56, 13);
    PaintBox2 = new TPaintBox(Panel1);
    PaintBox2->setGeometry(8, 344, 137, 137);
    Label1 = new QLabel(QString::fromUtf8("Список карт"), Panel1);
    Label1->setGeometry(8, 480, 63, 13);
    ListBox1 = new TListBox(Panel1);
    ListBox1->setGeometry(8, 496, 121, 113);

    FitCaptions();
    QWidget* order[] = {RadioGroup1, Button3, Button6, Button7, Button2, Button4, Button1, Button8, Button5, ListBox1};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void TForm1::FitCaptions()
{
    // A substitute font may be wider than the form's own: shrink it until the
    // longest caption fits its control, and let the labels grow to their text
    // as the form's auto-sized labels do.
    QFont font = Panel1->font();
    const int radioExtra = style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
                           style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing) + TRadioGroup::SideMargins;
    const auto widest = [&](const QFont& f) {
        const QFontMetrics metrics(f);
        int excess = 0;
        for (const QPushButton* b : {Button3, Button6, Button7, Button2, Button4, Button1, Button8, Button5})
            excess = std::max(excess, metrics.horizontalAdvance(ShownText(b->text())) + 8 - b->width());
        for (const QRadioButton* r : RadioGroup1->Items)
            excess = std::max(excess, metrics.horizontalAdvance(ShownText(r->text())) + radioExtra - RadioGroup1->width());
        return excess;
    };
    while (font.pixelSize() > 8 && widest(font) > 0) font.setPixelSize(font.pixelSize() - 1);
    Panel1->setFont(font);
    for (QLabel* label : {Label1, Label2}) label->resize(std::max(label->width(), label->sizeHint().width()), label->height());
}

void TForm1::CreateRightPanel()
{
    PaintBox1 = new TPaintBox(Panel2);
    PaintBox1->setGeometry(1, 1, 718, 600);
    PaintBox1->setMouseTracking(true);
    HB = new TScrollBar(Qt::Horizontal, Panel2);
    HB->setGeometry(1, 601, 718, 16);
    VB = new TScrollBar(Qt::Vertical, Panel2);
    VB->setGeometry(719, 1, 16, 600);
    CreateRouteNotice();
}

void TForm1::ConnectHandlers()
{
    // Qt's button bits are the view's own (1 left, 2 right, 4 middle).
    const auto held = [](Qt::MouseButtons buttons) { return static_cast<std::uint8_t>(buttons.toInt() & 7); };
    PaintBox1->OnMouseDown = [this, held](TMouseButton b, std::int32_t x, std::int32_t y) {
        const Qt::MouseButton pressed = b == TMouseButton::Left    ? Qt::LeftButton
                                        : b == TMouseButton::Right ? Qt::RightButton
                                                                   : Qt::MiddleButton;
        NoticeMissingRelease(held(PaintBox1->Buttons & ~Qt::MouseButtons(pressed)), x, y);
        PaintBox1MouseDown(b, x, y);
    };
    PaintBox1->OnMouseMove = [this, held](std::int32_t x, std::int32_t y) {
        NoticeMissingRelease(held(PaintBox1->Buttons), x, y);
        PaintBox1MouseMove(x, y);
    };
    PaintBox1->OnMouseUp = [this](TMouseButton b, std::int32_t x, std::int32_t y) { PaintBox1MouseUp(b, x, y); };
    PaintBox1->OnWheel = [this](std::int32_t dx, std::int32_t dy, Qt::KeyboardModifiers m, std::int32_t x,
                                std::int32_t y) { PaintBox1MouseWheel(dx, dy, m, x, y); };
    PaintBox2->OnMouseDown = [this](TMouseButton b, std::int32_t x, std::int32_t y) { PaintBox2MouseDown(b, x, y); };
    PaintBox2->OnMouseMove = [this, held](std::int32_t x, std::int32_t y) {
        // The release went elsewhere (a modal dialog took it).
        if (held(PaintBox2->Buttons) == 0) PaintBox2MouseUp(TMouseButton::Left, x, y);
        PaintBox2MouseMove(x, y);
    };
    PaintBox2->OnMouseUp = [this](TMouseButton b, std::int32_t x, std::int32_t y) { PaintBox2MouseUp(b, x, y); };
    ListBox1->OnClick = [this] { ListBox1Click(); };

    connect(Timer1, &QTimer::timeout, this, Guarded([this] { Timer1Timer(); }));
    connect(RecoveryTimer, &QTimer::timeout, this, Guarded([this] { RecoveryTimerTimer(); }));
    const std::pair<QPushButton*, void (TForm1::*)()> buttons[] = {
        {Button1, &TForm1::Button1Click}, {Button2, &TForm1::Button2Click}, {Button3, &TForm1::Button3Click},
        {Button4, &TForm1::Button4Click}, {Button5, &TForm1::Button5Click}, {Button6, &TForm1::Button6Click},
        {Button7, &TForm1::Button7Click}, {Button8, &TForm1::Button8Click},
    };
    for (const auto& entry : buttons) {
        const auto handler = entry.second;
        connect(entry.first, &QPushButton::clicked, this, Guarded([this, handler] { (this->*handler)(); }));
    }
    const std::pair<QAction*, void (TForm1::*)()> items[] = {
        {N2, &TForm1::N2Click}, {N3, &TForm1::N3Click}, {N4, &TForm1::N4Click}, {N7, &TForm1::N7Click},
        {f1, &TForm1::f1Click}, {N9, &TForm1::N9Click}, {c1, &TForm1::c1Click}, {N6, &TForm1::N6Click},
        {N11, &TForm1::N11Click}, {N12, &TForm1::N12Click}, {N14, &TForm1::N14Click}, {N15, &TForm1::N15Click},
        {N16, &TForm1::N16Click}, {N17, &TForm1::N17Click}, {N19, &TForm1::N19Click}, {N20, &TForm1::N20Click},
        {ArcItem, &TForm1::ArcItemClick}, {CoordinatesItem, &TForm1::CoordinatesItemClick},
        {MeasuresItem, &TForm1::MeasuresItemClick}, {DeleteKey, &TForm1::DeleteKeyPress},
        {EscapeKey, &TForm1::EscapeKeyPress}, {SelectAllItem, &TForm1::SelectAllClick}, {CutItem, &TForm1::CutClick},
        {CopyItem, &TForm1::CopyClick}, {PasteItem, &TForm1::PasteClick}, {PasteInPlaceItem, &TForm1::PasteInPlaceClick},
    };
    for (const auto& entry : items) {
        const auto handler = entry.second;
        connect(entry.first, &QAction::triggered, this, Guarded([this, handler] { (this->*handler)(); }));
    }
    // Only in the main view: elsewhere the arrows keep choosing tools and maps.
    PaintBox1->setFocusPolicy(Qt::ClickFocus);
    for (const Qt::Key key : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down})
        for (const bool shift : {false, true}) {
            auto* item = new QAction(PaintBox1);
            item->setShortcut(shift ? QKeySequence(Qt::SHIFT | key) : QKeySequence(key));
            item->setShortcutContext(Qt::WidgetShortcut);
            PaintBox1->addAction(item);
            ArrowKeys << item;
        }
    const TPoint arrows[] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
    for (qsizetype k = 0; k < ArrowKeys.size(); ++k) {
        const TPoint d = arrows[k / 2];
        const bool shift = k % 2 == 1;
        connect(ArrowKeys[k], &QAction::triggered, this, Guarded([this, d, shift] { ArrowKeyPress(d.x, d.y, shift); }));
    }
}

void TForm1::FormCreate(const TCommandLine& commandLine)
{
    MapNames = std::make_unique<TListBoxNames>(*ListBox1);
    MapList = std::make_unique<TMapList>(*MapNames);
    BackBuffer = std::make_unique<TQtBitmap>();
    // The outer size is known only once the window is on screen; the client
    // area plus the menu bar is the least it can be.
    const QSize outer = frameGeometry().size().expandedTo(sizeHint());
    BackBuffer->SetWidth(std::max(outer.width(), FormClientWidth));
    BackBuffer->SetHeight(std::max(outer.height(), FormClientHeight));
    DrawCanvas = &BackBuffer->Canvas();
    RunGuarded([this] { StartRecovery(); });
    // A damaged file named on the command line is reported like any other
    // failed load, and the window still opens.
    if (commandLine.size() >= 2) {
        const std::int32_t current = MapList->Current;
        RunGuarded([&] { MapList->OpenFile(commandLine[1]); });
        // The file goes into the first map unless a map given back holds it,
        // which then becomes current instead.
        if (MapList->Current == current && !MapList->Map(0).FileName.empty()) MapList->Current = 0;
    }
    ListBox1->SetItemIndex(MapList->Current);
    SetScrollRanges();
}

void TForm1::StartRecovery()
{
    const TRecoveryClock clock = [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };
    Recovery = std::make_unique<TRecoveryKeeper>(TRecoveryFolder::Root(), clock, [this](const std::string& reason) {
        const QString line = QString::fromUtf8("Копии для восстановления не записываются: ") + QString::fromStdString(reason);
        qWarning().noquote() << line;
        // One line over the view: a long path gives up its middle.
        ShowRouteNotice(RouteNotice->fontMetrics().elidedText(line, Qt::ElideMiddle, PaintBox1->width() - 40));
    });
    std::vector<const TMap*> recovered;
    std::int32_t first = -1;
    for (std::unique_ptr<TMap>& map : Recovery->OfferOrphans()) {
        recovered.push_back(map.get());
        MapList->AddMap(std::move(map));
        if (first < 0) first = MapList->Current;
    }
    Recovery->Start(recovered);
    if (first >= 0) MapList->Current = first;
}

void TForm1::RecoveryTimerTimer()
{
    // A worker drawing from the current map has it to itself until it ends.
    if (Alive() && Recovery && !viewOnWorker_) Recovery->Tick(*MapList);
}

TMap& TForm1::CurrentMap() const { return MapList->CurrentMap(); }
