#pragma once
// Screenshots of windows as the tests leave them, for looking at by eye:
// written only when BRENVO_SCREENSHOTS names a folder.

#include "platform/messagebox.h"

#include <QDir>
#include <QMessageBox>
#include <QPixmap>
#include <QWidget>

#include <memory>

// The window's picture; written as <name>.png when screenshots are asked for.
inline QPixmap takeScreenshot(QWidget& window, const QString& name)
{
    const QPixmap picture = window.grab();
    const QString folder = qEnvironmentVariable("BRENVO_SCREENSHOTS");
    if (!folder.isEmpty() && QDir().mkpath(folder))
        picture.save(QDir(folder).filePath(name + QStringLiteral(".png")));
    return picture;
}

// A picture of a message box as the program shows it, from what a
// MessageRecorder recorded; written only when screenshots are asked for.
inline void takeMessageScreenshot(const QString& text, int style, const QString& title, const QString& name)
{
    if (qEnvironmentVariableIsEmpty("BRENVO_SCREENSHOTS"))
        return;
    const std::unique_ptr<QMessageBox> box = makeMessageBox(text, style, title, nullptr);
    box->show();
    takeScreenshot(*box, name);
}
