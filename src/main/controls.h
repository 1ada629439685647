#pragma once
// Small helpers for building the windows' controls by their design names.

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QWidget>

template <typename W>
W* named(W* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

inline void setBoxColours(QWidget* widget, const QColor& base, const QColor& text, bool bold = false)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::Text, text);
    widget->setPalette(palette);
    if (bold) {
        QFont font = widget->font();
        font.setBold(true);
        widget->setFont(font);
    }
}
