// Small helpers that more than one of the main window's files needs.
#pragma once

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

inline QSize workArea(const QWidget* w)
{
    const QScreen* screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry().size() : QSize();
}
