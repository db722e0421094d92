#include "web/webform.h"

#include "core/lists.h"
#include "form/formlayout.h"
#include "platform/text.h"

namespace {

bool deadlinePassed(const Programme& programme, const QDateTime& now)
{
    // A deadline before 2000 is the zero date programmes without one keep.
    return programme.jzrq.isValid() && programme.jzrq.date().year() >= 2000 && programme.jzrq < now;
}

QVector<WebChoice> choicesOf(const FormItem& item, const QVector<Category>& categories,
                             const QVector<Programme>& programmes, const UnitSettings& unit, const QDateTime& now)
{
    QVector<WebChoice> choices;
    if (item.zd == QLatin1String("dd")) {
        choices << WebChoice{QStringLiteral("0"), QStringLiteral("全部"), QString()};
        for (const Category& category : categories)
            if (category.status >= 1)
                choices << WebChoice{QString::number(category.id), category.name, QString()};
        return choices;
    }
    if (isProgrammeColumn(item.zd)) {
        for (const Programme& programme : programmes) {
            if (programme.status <= 0 || deadlinePassed(programme, now))
                continue;
            const Category* category = unit.multiLocation == 1 ? findById(categories, programme.ddid) : nullptr;
            choices << WebChoice{QString::number(programme.id), programmeChoiceCaption(programme),
                                 category ? category->name : QString()};
        }
        return choices;
    }
    if (item.lx == ItemType::Text || item.lx == ItemType::MultiLineText)
        return choices;
    for (const QString& option : itemOptions(item, programmes, 0).names)
        choices << WebChoice{option, option, QString()};
    return choices;
}

const WebChoice* offered(const WebItem& item, const QString& value)
{
    for (const WebChoice& choice : item.choices)
        if (choice.value == value)
            return &choice;
    return nullptr;
}

ItemValue postedValue(const WebItem& webItem, const QVector<Category>& categories,
                      const QVector<Programme>& programmes, const QStringList& values)
{
    const FormItem& item = webItem.item;
    QString first = values.value(0);
    // Browsers send a text area's line breaks as CR LF; the desks keep LF.
    first.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    switch (item.lx) {
    case ItemType::Text:
    case ItemType::MultiLineText:
        if (item.zd == QLatin1String("nl"))
            return trimBlanks(first).isEmpty() ? ItemValue() : ItemValue(textToNumber(first));
        return trimBlanks(first);
    case ItemType::Radio:
    case ItemType::List:
        if (!offered(webItem, first))
            return item.lx == ItemType::Radio && item.zd == QLatin1String("xb") ? ItemValue(0) : ItemValue();
        if (item.zd == QLatin1String("xb") && item.lx == ItemType::Radio)
            return first == QStringLiteral("男") ? 1 : 2;
        if (item.zd == QLatin1String("dd")) {
            const Category* category = findById(categories, first.toInt());
            return QVector<ChosenId>{category ? ChosenId{category->id, category->serverId} : ChosenId()};
        }
        if (isProgrammeColumn(item.zd)) {
            const Programme* programme = findById(programmes, first.toInt());
            return QVector<ChosenId>{{programme->id, programme->serverId}};
        }
        return first;
    case ItemType::Check: {
        // In the order the form offers them, whatever order they were sent in.
        QStringList chosen;
        QVector<ChosenId> programmesChosen;
        for (const WebChoice& choice : webItem.choices) {
            if (!values.contains(choice.value))
                continue;
            chosen << choice.value;
            if (const Programme* programme = findById(programmes, choice.value.toInt()))
                programmesChosen << ChosenId{programme->id, programme->serverId};
        }
        if (isProgrammeColumn(item.zd))
            return programmesChosen;
        return chosen;
    }
    default:
        return {};
    }
}

} // namespace

QString programmeChoiceCaption(const Programme& programme)
{
    if (programme.xuefei <= 0)
        return programme.name;
    return QStringLiteral("%1（学费 %2 元）").arg(programme.name, QString::number(programme.xuefei));
}

WebForm webForm(const QString& unitName, const QVector<FormItem>& items, const QVector<Category>& categories,
                const QVector<Programme>& programmes, const UnitSettings& unit, const QDateTime& now)
{
    WebForm form{unitName, {}, unit.photo == 1};
    for (const FormItem& item : items) {
        if (item.zd == QLatin1String("dd") && unit.multiLocation != 1)
            continue;
        form.items << WebItem{item, choicesOf(item, categories, programmes, unit, now)};
    }
    return form;
}

WebRegistration registrationFromPost(const WebForm& form, const QVector<Category>& categories,
                                     const QVector<Programme>& programmes, const PostedForm& posted,
                                     const QDateTime& now)
{
    WebRegistration result;
    Registration& registration = result.registration;
    for (const WebItem& webItem : form.items) {
        const FormItem& item = webItem.item;
        const QStringList values = posted.fields.value(item.zd);
        registration.values.insert(item.zd, postedValue(webItem, categories, programmes, values));
        // The database takes no NUL character: said at its field, not as a
        // failure of the whole page.
        if (values.join(QString()).contains(QChar(0)))
            result.problems.insert(item.zd, QStringLiteral("%1含有无法保存的字符，请删去后再提交").arg(item.nam));
        else if (const auto problem = checkRequired({item}, registration))
            result.problems.insert(item.zd, problem->message);
    }
    registration.time = now;
    registration.review = 0;
    registration.payment = 0;
    registration.fromWeb = true;
    return result;
}
