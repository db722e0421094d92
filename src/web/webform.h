#pragma once
// The registration form as the web page offers it, and what an applicant
// sends turned into a registration: the same items, options and checks as
// the add page, with the choices the page offered as the only values taken.

#include "core/appstate.h"
#include "form/registration.h"
#include "web/requestbody.h"

#include <QHash>

struct WebChoice {
    QString value;    // what the page sends: an option's text, or a programme's or category's id
    QString caption;  // what the applicant reads
    QString group;    // a programme's category, when categories are offered
};

struct WebItem {
    FormItem item;
    QVector<WebChoice> choices;  // radio buttons, check boxes and select lists
};

struct WebForm {
    QString unitName;
    QVector<WebItem> items;
    bool photo = false;
};

// The enabled items in form order. Programmes: the enabled ones whose
// deadline has not passed, with their fees; the category item only while
// the multi-location switch is on.
WebForm webForm(const QString& unitName, const QVector<FormItem>& items, const QVector<Category>& categories,
                const QVector<Programme>& programmes, const UnitSettings& unit, const QDateTime& now);

// The programme's caption on the page: its name and, when it has one, its fee.
QString programmeChoiceCaption(const Programme& programme);

struct WebRegistration {
    Registration registration;
    QHash<QString, QString> problems;  // by the item's column: the add page's text for it
};

// The registration the posted form holds, the states awaiting review and
// payment, marked as sent from the web page. A value the form did not offer
// counts as no choice.
WebRegistration registrationFromPost(const WebForm& form, const QVector<Category>& categories,
                                     const QVector<Programme>& programmes, const PostedForm& posted,
                                     const QDateTime& now);
