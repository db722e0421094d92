#pragma once
// Registrations rendered through print templates into one HTML document,
// and the two print actions built on it. Placeholders are "[!--" + bmb
// column + "--]"; pages are joined by the page break block.

#include "core/appstate.h"

#include <QHash>
#include <QString>
#include <QVector>

class QComboBox;

// A registration's columns (names in lower case) and their values as text.
using RegistrationValues = QHash<QString, QString>;

// Placed between two consecutive pages of a document.
extern const QString pageBreakBlock;

// The template's HTML with every placeholder filled from the registration,
// the category and programme lists of state and the photo's full path. The
// values go in as HTML text (escaped), in one pass: a value that holds a
// placeholder is printed as written. The template itself is kept as written.
QString fillTemplate(const QString& templateHtml, const RegistrationValues& registration, const AppState& lists,
                     const QString& photoFullPath);

// The full path a template shows for a registration's photo: the stored file
// name below photo/ (fetched into the desk's cache from a server), or
// photo/noimg.jpg when it has none.
QString photoPathFor(AppState& state, const QString& storedPhotoFile);

// The filled HTML of template `templateId` for registration `registrationId`;
// empty when either cannot be read (a failed registration query is shown).
QString renderRegistration(AppState& state, int templateId, int registrationId);

// The templates a print choice prints, given the enabled templates in order:
// a positive choice is one template; -1 all, -2 the first two, -3 the first
// three; anything else none.
QVector<int> templatesForChoice(int choice, const QVector<int>& enabledTemplates);

// The enabled templates a print-choice selector offers, in its order.
QVector<int> enabledTemplatesOf(const QComboBox& selector);

// Every registration through every template, in that order, one page each.
QString renderDocument(AppState& state, const QVector<int>& templateIds, const QVector<int>& registrationIds);

// Writes html (GB18030) to a new temporary .tmp.htm file and shows it in the
// print preview window; gives the file's path.
QString showPrintDocument(AppState& state, const QString& html);

// After a new registration is stored: prints it with the add page's choice.
// Nothing happens for "不需打印" or registration id 0.
void printAfterAdd(AppState& state, const QComboBox& addChoice, int registrationId);

// Prints the ticked registrations of the browse list, in list order, with the
// browse page's choice; with none ticked says "请勾选待打印项！".
void printCheckedRecords(AppState& state, const QComboBox& browseChoice, const QVector<int>& tickedIds);
