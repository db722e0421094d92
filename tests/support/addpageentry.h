#pragma once
// Entering an applicant on the add page as an operator does, for tests that
// compare what another way in stores with what the add page stores.

#include "form/formbuilder.h"
#include "form/registration.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>

// Puts `value` into the built item of column zd: typed into its edit box,
// chosen in its list, or its option of that caption (a programme's by its
// name) ticked.
inline void enterOnAddPage(const FormBuilder& form, const QString& zd, const QString& value)
{
    int position = 0;
    for (int i = 0; i < form.builtItems().size() && position == 0; ++i)
        if (form.builtItems().at(i).zd == zd)
            position = i + 1;
    QWidget* control = form.itemControl(position);
    if (auto* box = qobject_cast<QLineEdit*>(control))
        box->setText(value);
    else if (auto* multi = qobject_cast<QPlainTextEdit*>(control))
        multi->setPlainText(value);
    else if (auto* list = qobject_cast<QComboBox*>(control))
        list->setCurrentIndex(list->findText(value));
    else
        for (QAbstractButton* option : form.optionControls(position))
            if (option->text() == value || option->text().startsWith(value + programmeIdSeparator))
                option->setChecked(true);
}
