#pragma once
// Window layouts are given in twips: 15 to a pixel at 96 dpi, scaled with
// the screen's logical resolution.

#include <QRect>
#include <QWidget>
#include <QtMath>

inline int twips(const QWidget* widget, int value)
{
    const qreal dpi = widget ? widget->logicalDpiX() : 96.0;
    return qRound(value / 15.0 * dpi / 96.0);
}

inline void placeTwips(QWidget* widget, int left, int top, int width, int height)
{
    widget->setGeometry(twips(widget, left), twips(widget, top), twips(widget, width), twips(widget, height));
}
