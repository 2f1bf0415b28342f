#pragma once

#include <QtCore/QList>
#include <QtCore/QRect>
#include <QtCore/QString>

// Where the window goes when it comes back: on the screen it was left on,
// or the primary screen when that one is gone, and always within the
// screen's free area, so a window is never restored out of sight.
struct TScreenArea {
    QString name;
    QRect available;
};

// saved: the window's bounds as left; screens: the screens now, the
// primary first. Returns the bounds to use, and in screenName the screen.
QRect PlaceOnScreens(const QRect &saved, const QString &savedScreen, const QList<TScreenArea> &screens);
