#pragma once
// The photo store: the files below the program directory's photo/ folder, one
// folder per calendar month, and the fj rows that tie a file to a
// registration. Stored names are relative to photo/ and keep the form
// "5\<32 hex digits>.jpg"; the backslash becomes a slash only when a path is
// made of one.
//
// A photo chosen or taken but not yet saved with its registration is a
// pending photo. The add page and the edit window each keep their own, so a
// choice made in one never reaches the other's record; they turn it into an
// fj row when they save.

#include "core/appstate.h"
#include "photos/statements.h"

#include <QDateTime>
#include <QString>

#include <functional>

class QLabel;
class QWidget;

// --- names and paths -------------------------------------------------------

// The month folder of a photo added at `moment`: "1" … "12", no leading zero.
QString photoMonthFolder(const QDateTime& moment);

// The 32 hex digits naming a photo: MD5 of the GBK bytes of the source text
// (the chosen file's path, or the camera's crop file) and the date-to-text
// form of the moment.
QString photoDigest(const QString& sourceText, const QDateTime& moment);

// The stored name of a photo chosen from a file: month folder, a backslash,
// the digest and the last four characters of the chosen path (".jpg";
// "jpeg" for a longer extension).
QString storedNameForChosenFile(const QString& chosenPath, const QDateTime& moment);

// The stored name of a camera photo: the same form with ".jpg".
QString storedNameForCameraPhoto(const QString& cropFile, const QDateTime& moment);

// The full path of a stored name in the program directory's photo folder.
QString photoPath(const QString& programDir, const QString& storedName);

// True when the stored name stays inside the photo folder and is no folder
// itself, so a file may be removed by it.
bool isRemovableStoredName(const QString& storedName);

// --- operations ------------------------------------------------------------------

// The file dialog's filter: image files, then JPG, BMP and GIF alone.
QString photoDialogFilter();

// Asks for a photo file with the open-file dialog; empty when cancelled.
QString askForPhotoFile(QWidget* parent);

// While one exists, the open-file dialog is not shown: askForPhotoFile gives
// the answer of `choose` instead, so the add page and the edit window can be
// driven without a person.
class PhotoFileDialogOverride {
public:
    explicit PhotoFileDialogOverride(std::function<QString()> choose);
    ~PhotoFileDialogOverride();
    PhotoFileDialogOverride(const PhotoFileDialogOverride&) = delete;
    PhotoFileDialogOverride& operator=(const PhotoFileDialogOverride&) = delete;

private:
    std::function<QString()> previous;
};

// Copies the chosen file into the store under a new stored name, shows it in
// `target` and gives that name, which the caller makes its pending photo. A
// file that is no readable image is refused with a message and nothing is
// copied; a failed copy is reported. On either failure the name is empty and
// `target` keeps what it had.
QString acceptPhotoFile(const AppState& state, const QString& chosenPath, QLabel* target,
                        const QDateTime& moment = QDateTime::currentDateTime());

// The choose button of the add page (target 图片框_添加) and of the edit
// window (target 图片框1): the dialog, then acceptPhotoFile. Gives the new
// pending name; empty, and nothing changed, when the dialog was cancelled.
QString choosePhotoFile(const AppState& state, QLabel* target);

// The add page's clear button: the picture and the page's pending photo are
// emptied; the copied file stays in the store.
void clearAddPagePhoto(QString& pendingPhoto, QLabel* target);

// The edit window's clear button, taking effect at once: the picture and the
// window's pending photo are emptied, the record's fj row deleted, its imgid
// set to 0 and the stored file removed. `target` is the edit window's 图片框1.
void clearStoredPhoto(AppState& state, int editRecordId, QString& pendingPhoto, QLabel* target);

// The stored file name of a registration's photo, or empty text.
QString photoFileOf(AppState& state, int registrationId);

// On a desk of a server, the stored photo file is put on the server too
// (table photofile), so every desk can show and print it; reported and false
// when that fails. Nothing to do on a desk with its own zhao.dat.
bool putPhotoOnServer(AppState& state, const QString& storedName);

// The photo file to show or print: photo/<storedName>. On a desk of a
// server the photo folder is the desk's cache: a file not there yet is
// fetched from the server first.
QString localPhotoFile(AppState& state, const QString& storedName);

// Shows an image file in a picture box, scaled to fit it with its shape kept.
// An unreadable file empties the box and gives false.
bool showPhotoIn(QLabel* target, const QString& path);
