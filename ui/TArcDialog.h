#pragma once
// The dialogs that lay track exactly: "Дуга" (an arc of rails continuing the
// selected rail) and "Координаты" (the ends of the selected rail or border).
#include <QDialog>
#include <QString>
#include <functional>

#include "model/TLine.h"

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QSpinBox;

/// What the "Дуга" dialog asks.
struct TArcValues {
    int Radius = 300;
    int Piece = 50;
    int Angle = 90;
    /// "первого (назад)": the arc runs into the rail's first end.
    bool FromFirst = false;
    friend bool operator==(const TArcValues&, const TArcValues&) = default;
};

/// The values of the last OK (remembered between runs), or the defaults.
TArcValues ReadArcValues();
void WriteArcValues(const TArcValues& values);

/// "Дуга": radius, piece length, angle and the end to continue from. The
/// check gives the refusal's words for values, empty when they can be taken;
/// the dialog asks it on every change, so the window can show what OK would
/// lay. OK with values the check refuses shows the refusal and keeps the
/// dialog open.
class TArcDialog : public QDialog {
public:
    TArcDialog(const TArcValues& values, std::function<QString(const TArcValues&)> check, QWidget* parent);
    TArcValues Values() const;
    void accept() override;

    QSpinBox* Radius;
    QSpinBox* Piece;
    QSpinBox* Angle;
    QComboBox* End;
    /// What the check says of the values now (empty when nothing is wrong).
    QLabel* Status;
    QDialogButtonBox* Buttons;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Check();
    std::function<QString(const TArcValues&)> check_;
};

/// Why typed coordinates cannot be taken, empty when they can: a rail shorter
/// than tidying the map keeps.
QString CoordinatesRefusal(bool rail, const TLine& line);

/// "Координаты": the two ends of a line as whole world units; with both a
/// rail and a border selected, a choice of which (the rail first) after them.
class TCoordinatesDialog : public QDialog {
public:
    /// rail or border may be null (not selected), not both. check gives the
    /// refusal's words for a line, empty when it can be taken.
    TCoordinatesDialog(const TLine* rail, const TLine* border, std::function<QString(bool rail, const TLine&)> check,
                       QWidget* parent);
    /// The line as typed.
    TLine Line() const;
    /// True when the rail is the one changed.
    bool ForRail() const;
    void accept() override;

    QSpinBox* X1;
    QSpinBox* Y1;
    QSpinBox* X2;
    QSpinBox* Y2;
    /// "рельс" / "линия"; null unless both are selected.
    QComboBox* Which = nullptr;
    QDialogButtonBox* Buttons;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Show(const TLine& line);
    TLine rail_, border_;
    bool hasRail_;
    std::function<QString(bool rail, const TLine&)> check_;
};
