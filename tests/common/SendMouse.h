#pragma once

// A left-button mouse event delivered straight to a widget, as the window system would deliver
// a press, a drag step or a release at a point of it.
#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

inline void SendMouse(QWidget& widget, QEvent::Type type, QPoint at) {
    const Qt::MouseButtons buttons =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), widget.mapToGlobal(QPointF(at)), button, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &event);
}
