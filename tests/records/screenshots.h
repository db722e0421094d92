#pragma once
// Screenshots of windows as the tests leave them, for looking at by eye:
// written only when BRENVO_SCREENSHOTS names a folder.

#include <QDir>
#include <QPixmap>
#include <QWidget>

// The window's picture; written as <name>.png when screenshots are asked for.
inline QPixmap takeScreenshot(QWidget& window, const QString& name)
{
    const QPixmap picture = window.grab();
    const QString folder = qEnvironmentVariable("BRENVO_SCREENSHOTS");
    if (!folder.isEmpty() && QDir().mkpath(folder))
        picture.save(QDir(folder).filePath(name + QStringLiteral(".png")));
    return picture;
}
