#include "ui/TArcDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "model/ArcGeometry.h"
#include "platform/Dialogs.h"
#include "ui/ViewOptions.h"

namespace {

constexpr const char* RadiusKey = "arc/radius";
constexpr const char* PieceKey = "arc/piece";
constexpr const char* AngleKey = "arc/angle";
constexpr const char* FromFirstKey = "arc/fromFirst";

QSpinBox* NumberField(int low, int high, int value, QWidget* parent)
{
    auto* field = new QSpinBox(parent);
    field->setRange(low, high);
    field->setValue(value);
    field->setAccelerated(true);
    return field;
}

QDialogButtonBox* OkCancel(QDialog* dialog)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QString::fromUtf8("Отмена"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

/// The first field has the focus with its text selected, so typing replaces it.
void FocusFirst(QSpinBox* field)
{
    field->setFocus(Qt::TabFocusReason);
    field->selectAll();
}

} // namespace

QString CoordinatesRefusal(bool rail, const TLine& line)
{
    // Tidying the map would take such a rail away as soon as it is set.
    if (rail && line.Length() < ShortestRail)
        return QString::fromUtf8("Рельс короче 10 единиц удаляется: концы должны быть дальше друг от друга.");
    return QString();
}

TArcValues ReadArcValues()
{
    const TArcValues fallback;
    TArcValues values;
    values.Radius = ReadNumber(RadiusKey, fallback.Radius, ArcMinRadius, ArcMaxRadius);
    values.Piece = ReadNumber(PieceKey, fallback.Piece, ArcMinPiece, ArcMaxPiece);
    values.Angle = ReadNumber(AngleKey, fallback.Angle, -ArcMaxAngle, ArcMaxAngle);
    if (values.Angle == 0) values.Angle = fallback.Angle;
    values.FromFirst = ReadNumber(FromFirstKey, 0, 0, 1) == 1;
    return values;
}

void WriteArcValues(const TArcValues& values)
{
    WriteNumber(RadiusKey, values.Radius);
    WriteNumber(PieceKey, values.Piece);
    WriteNumber(AngleKey, values.Angle);
    WriteNumber(FromFirstKey, values.FromFirst ? 1 : 0);
}

TArcDialog::TArcDialog(const TArcValues& values, std::function<QString(const TArcValues&)> check, QWidget* parent)
    : QDialog(parent), check_(std::move(check))
{
    setWindowTitle(QString::fromUtf8("Дуга"));
    Radius = NumberField(ArcMinRadius, ArcMaxRadius, values.Radius, this);
    Piece = NumberField(ArcMinPiece, ArcMaxPiece, values.Piece, this);
    Angle = NumberField(-ArcMaxAngle, ArcMaxAngle, values.Angle, this);
    End = new QComboBox(this);
    End->addItem(QString::fromUtf8("второго (вперёд)"));
    End->addItem(QString::fromUtf8("первого (назад)"));
    End->setCurrentIndex(values.FromFirst ? 1 : 0);
    Status = new QLabel(this);
    Status->setWordWrap(true);
    Status->setStyleSheet(QStringLiteral("color: #b00000"));
    Buttons = OkCancel(this);

    auto* form = new QFormLayout;
    form->addRow(QString::fromUtf8("Радиус"), Radius);
    form->addRow(QString::fromUtf8("Длина звена"), Piece);
    form->addRow(QString::fromUtf8("Угол, градусов"), Angle);
    form->addRow(QString::fromUtf8("От конца"), End);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(Status);
    layout->addWidget(Buttons);
    setTabOrder(Radius, Piece);
    setTabOrder(Piece, Angle);
    setTabOrder(Angle, End);

    for (QSpinBox* field : {Radius, Piece, Angle}) connect(field, &QSpinBox::valueChanged, this, [this] { Check(); });
    connect(End, &QComboBox::currentIndexChanged, this, [this] { Check(); });
    Check();
}

TArcValues TArcDialog::Values() const
{
    return {Radius->value(), Piece->value(), Angle->value(), End->currentIndex() == 1};
}

void TArcDialog::Check() { Status->setText(check_ ? check_(Values()) : QString()); }

void TArcDialog::accept()
{
    // The fields' text may not have been taken yet (typed, then Enter).
    for (QSpinBox* field : {Radius, Piece, Angle}) field->interpretText();
    Check();
    if (!Status->text().isEmpty()) {
        Messages().ShowError(Status->text().toStdString());
        return;
    }
    QDialog::accept();
}

void TArcDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FocusFirst(Radius);
}

TCoordinatesDialog::TCoordinatesDialog(const TLine* rail, const TLine* border,
                                       std::function<QString(bool rail, const TLine&)> check, QWidget* parent)
    : QDialog(parent), rail_(rail ? *rail : TLine{}), border_(border ? *border : TLine{}), hasRail_(rail != nullptr),
      check_(std::move(check))
{
    setWindowTitle(QString::fromUtf8("Координаты"));
    auto* form = new QFormLayout;
    QSpinBox** fields[] = {&X1, &Y1, &X2, &Y2};
    const char* names[] = {"X1", "Y1", "X2", "Y2"};
    for (std::size_t k = 0; k < 4; ++k) {
        *fields[k] = NumberField(0, WorldSize, 0, this);
        form->addRow(QString::fromUtf8(names[k]), *fields[k]);
    }
    if (rail && border) {
        Which = new QComboBox(this);
        Which->addItem(QString::fromUtf8("рельс"));
        Which->addItem(QString::fromUtf8("линия"));
        form->addRow(QString::fromUtf8("Изменить"), Which);
        connect(Which, &QComboBox::currentIndexChanged, this, [this] { Show(ForRail() ? rail_ : border_); });
    }
    Buttons = OkCancel(this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(Buttons);
    setTabOrder(X1, Y1);
    setTabOrder(Y1, X2);
    setTabOrder(X2, Y2);
    if (Which) setTabOrder(Y2, Which);
    Show(hasRail_ ? rail_ : border_);
}

void TCoordinatesDialog::Show(const TLine& line)
{
    X1->setValue(line.X1);
    Y1->setValue(line.Y1);
    X2->setValue(line.X2);
    Y2->setValue(line.Y2);
}

TLine TCoordinatesDialog::Line() const
{
    TLine line;
    line.X1 = X1->value();
    line.Y1 = Y1->value();
    line.X2 = X2->value();
    line.Y2 = Y2->value();
    return line;
}

bool TCoordinatesDialog::ForRail() const { return Which ? Which->currentIndex() == 0 : hasRail_; }

void TCoordinatesDialog::accept()
{
    for (QSpinBox* field : {X1, Y1, X2, Y2}) field->interpretText();
    const QString refusal = check_ ? check_(ForRail(), Line()) : QString();
    if (!refusal.isEmpty()) {
        Messages().ShowError(refusal.toStdString());
        return;
    }
    QDialog::accept();
}

void TCoordinatesDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FocusFirst(X1);
}
