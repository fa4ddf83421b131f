#pragma once

#include <QDir>
#include <QString>
#include <QWidget>

// Saves a window to $ORVANE_GRAB_DIR/<name>.png when that variable is set, to look at the windows.
inline void grabIfAsked(QWidget* window, const QString& name)
{
    const QString dir = qEnvironmentVariable("ORVANE_GRAB_DIR");
    if (dir.isEmpty() || !window) return;
    QDir().mkpath(dir);
    window->adjustSize();
    window->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}
