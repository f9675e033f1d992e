#pragma once
// A surface that shows a picture and reports the mouse in its own pixels.
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <functional>

enum class TMouseButton { Left, Right, Middle };

/// Has no drawing of its own: it shows the last picture given to it. While a
/// button is held, Qt's implicit mouse grab makes it receive every move and the
/// release, also outside it, so x and y may be negative or beyond its size.
class TPaintBox : public QWidget {
public:
    using TButtonHandler = std::function<void(TMouseButton, std::int32_t x, std::int32_t y)>;
    using TMoveHandler = std::function<void(std::int32_t x, std::int32_t y)>;

    explicit TPaintBox(QWidget* parent);
    TButtonHandler OnMouseDown;
    TMoveHandler OnMouseMove;
    TButtonHandler OnMouseUp;
    /// The wheel's turn in eighths of a degree (120 a notch) with the modifier
    /// keys, and the mouse position.
    using TWheelHandler =
        std::function<void(std::int32_t dx, std::int32_t dy, Qt::KeyboardModifiers, std::int32_t x, std::int32_t y)>;
    TWheelHandler OnWheel;
    /// The modifier keys of the mouse event being handled (Shift at a press).
    Qt::KeyboardModifiers Modifiers;
    /// True while the mouse is over the box (since it last moved over it, until it left).
    bool MouseInside = false;
    /// The buttons held at the mouse event being handled; at a press and a
    /// release the button of the event is held, as the handler's own button.
    Qt::MouseButtons Buttons;

    /// Shows picture from the top-left corner, clipped to the box.
    void SetPicture(QImage picture);
    const QImage& Picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void Button(QMouseEvent* event, const TButtonHandler& handler);
    QImage picture_;
};
