#include "ui/TPaintBox.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <cmath>
#include <optional>

#include "ui/RunGuarded.h"

namespace {

std::optional<TMouseButton> ButtonOf(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton: return TMouseButton::Left;
    case Qt::RightButton: return TMouseButton::Right;
    case Qt::MiddleButton: return TMouseButton::Middle;
    default: return std::nullopt;
    }
}

std::int32_t Pixel(double coordinate) { return static_cast<std::int32_t>(std::floor(coordinate)); }

} // namespace

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPaintBox::SetPicture(QImage picture)
{
    picture_ = std::move(picture);
    update();
}

void TPaintBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (picture_.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    painter.drawImage(0, 0, picture_);
}

void TPaintBox::Button(QMouseEvent* event, const TButtonHandler& handler)
{
    const auto button = ButtonOf(event->button());
    if (!button || !handler) return;
    Modifiers = event->modifiers();
    Buttons = event->buttons() | event->button();
    const QPointF p = event->position();
    RunGuarded([&] { handler(*button, Pixel(p.x()), Pixel(p.y())); });
}

void TPaintBox::mousePressEvent(QMouseEvent* event) { Button(event, OnMouseDown); }

void TPaintBox::mouseReleaseEvent(QMouseEvent* event) { Button(event, OnMouseUp); }

void TPaintBox::leaveEvent(QEvent* event)
{
    MouseInside = false;
    QWidget::leaveEvent(event);
}

void TPaintBox::mouseMoveEvent(QMouseEvent* event)
{
    MouseInside = true;
    if (!OnMouseMove) return;
    Modifiers = event->modifiers();
    Buttons = event->buttons();
    const QPointF p = event->position();
    RunGuarded([&] { OnMouseMove(Pixel(p.x()), Pixel(p.y())); });
}

void TPaintBox::wheelEvent(QWheelEvent* event)
{
    if (!OnWheel) {
        event->ignore();
        return;
    }
    const QPoint turn = event->angleDelta();
    const QPointF p = event->position();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    RunGuarded([&] { OnWheel(turn.x(), turn.y(), modifiers, Pixel(p.x()), Pixel(p.y())); });
}
