#include "form/registration.h"

#include "platform/dates.h"
#include "platform/messagestyle.h"
#include "platform/sqlliteral.h"
#include "platform/text.h"

#include <optional>

const QString programmeIdSeparator = QStringLiteral("           _");

namespace {

bool isProgrammeColumn(const QString& column)
{
    return column == QLatin1String("bm1") || column == QLatin1String("bm2") || column == QLatin1String("bm3");
}

QString optionTag(int item, int option)
{
    return QString::number(item * 100 + option);
}

// Appends to the column and value lists, each piece after a comma.
struct Columns {
    QString names;
    QString values;
    void add(const QString& name, const QString& value)
    {
        names += QLatin1Char(',') + name;
        values += QLatin1Char(',') + value;
    }
};

struct Check {
    QString message;
    QString focusTag;
};

// The programme ids an option caption carries: {id, serverid}, as numbers;
// nothing when the caption has no ids. They are taken from the end, so a
// programme name holding the separator cannot shift them.
std::optional<QStringList> captionIds(const QString& caption)
{
    const QStringList parts = caption.split(programmeIdSeparator);
    if (parts.size() < 3)
        return std::nullopt;
    return QStringList{sqlInteger(parts.at(parts.size() - 2).toLongLong()), sqlInteger(parts.last().toLongLong())};
}

bool isTicked(const EnteredItem& entry, int option)
{
    return option < entry.ticked.size() && entry.ticked.at(option);
}

// One item into the lists; a failed required check gives its message.
std::optional<Check> addItem(Columns& columns, int position, const FormItem& item, const EnteredItem& entry,
                             const QVector<Category>& categories, const QVector<Programme>& programmes)
{
    const QString itemTag = QString::number(position);
    const Check missingText{item.nam + QStringLiteral("没有填写"), itemTag};
    auto missingChoice = [&](const QString& focusTag) { return Check{item.nam + QStringLiteral("没有选择"), focusTag}; };
    const bool required = item.bt == 1;
    const int optionCount = int(entry.optionCaptions.size());
    const QString lastOptionTag = optionTag(position, qMax(optionCount, 1));

    switch (item.lx) {
    case ItemType::Text:
    case ItemType::MultiLineText:
        if (required && trimBlanks(entry.text).isEmpty())
            return missingText;
        if (item.zd == QLatin1String("nl"))
            columns.add(item.zd, sqlNumber(textToNumber(entry.text)));
        else
            columns.add(item.zd, sqlText(trimBlanks(entry.text)));
        return std::nullopt;

    case ItemType::Radio:
        if (item.zd == QLatin1String("xb")) {
            const int gender = isTicked(entry, 0) ? 1 : isTicked(entry, 1) ? 2 : 0;
            columns.add(QStringLiteral("xb"), sqlInteger(gender));
            if (gender == 0 && required)
                return missingChoice(optionTag(position, 2));
            return std::nullopt;
        }
        if (isProgrammeColumn(item.zd)) {
            for (int k = 0; k < optionCount; ++k) {
                const auto ids = captionIds(entry.optionCaptions.at(k));
                if (!ids || !isTicked(entry, k))
                    continue;
                const bool quoted = item.zd == QLatin1String("bm3");
                columns.add(item.zd + QStringLiteral(",") + item.zd + QStringLiteral("server"),
                            quoted ? sqlText(ids->at(0)) + QLatin1Char(',') + sqlText(ids->at(1))
                                   : ids->at(0) + QLatin1Char(',') + ids->at(1));
                return std::nullopt;
            }
        } else {
            const QStringList options = item.val.isEmpty() ? QStringList() : item.val.split(QStringLiteral("||"));
            for (int k = 0; k < options.size(); ++k)
                if (isTicked(entry, k)) {
                    columns.add(item.zd, sqlText(options.at(k)));
                    return std::nullopt;
                }
        }
        if (required)
            return missingChoice(lastOptionTag);
        return std::nullopt;

    case ItemType::Check: {
        QString chosen;
        QString serverIds;
        bool anyTicked = false;
        for (int k = 0; k < optionCount; ++k) {
            if (!isTicked(entry, k))
                continue;
            if (isProgrammeColumn(item.zd)) {
                const auto ids = captionIds(entry.optionCaptions.at(k));
                if (!ids)
                    continue;
                chosen += QLatin1Char('^') + ids->at(0) + QLatin1Char('^');
                serverIds += QLatin1Char('^') + ids->at(1) + QLatin1Char('^');
            } else {
                chosen += QLatin1Char('^') + entry.optionCaptions.at(k) + QLatin1Char('^');
            }
            anyTicked = true;
        }
        if (required && !anyTicked)
            return missingChoice(lastOptionTag);
        if (isProgrammeColumn(item.zd))
            columns.add(item.zd + QStringLiteral(",") + item.zd + QStringLiteral("server"),
                        sqlText(chosen) + QLatin1Char(',') + sqlText(serverIds));
        else
            columns.add(item.zd, sqlText(chosen));
        return std::nullopt;
    }

    case ItemType::List: {
        const int chosen = entry.listIndex;
        if (item.zd == QLatin1String("dd")) {
            const Category* category = chosen >= 1 && entry.listData >= 1 && entry.listData <= categories.size()
                                           ? &categories.at(entry.listData - 1)
                                           : nullptr;
            columns.add(QStringLiteral("dd,ddserver"), category ? sqlInteger(category->id) + QLatin1Char(',')
                                                                          + sqlInteger(category->serverId)
                                                                    : QStringLiteral("0,0"));
        } else if (isProgrammeColumn(item.zd)) {
            const Programme* programme = chosen >= 0 && entry.listData >= 1 && entry.listData <= programmes.size()
                                             ? &programmes.at(entry.listData - 1)
                                             : nullptr;
            const QString id = programme ? QString::number(programme->id) : QStringLiteral("0");
            const QString serverId = programme ? QString::number(programme->serverId) : QStringLiteral("0");
            const bool quoted = item.zd == QLatin1String("bm3");
            columns.add(item.zd + QStringLiteral(",") + item.zd + QStringLiteral("server"),
                        quoted ? sqlText(id) + QLatin1Char(',') + sqlText(serverId) : id + QLatin1Char(',') + serverId);
        } else {
            columns.add(item.zd, sqlText(entry.text));
        }
        if (required && chosen == -1)
            return missingChoice(itemTag);
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

} // namespace

InsertOutcome buildInsertSql(const QVector<FormItem>& items, const QVector<EnteredItem>& entries,
                             const QVector<Category>& categories, const QVector<Programme>& programmes,
                             const InitialStates& states, const QDateTime& now)
{
    Columns columns;
    for (int i = 0; i < items.size(); ++i) {
        const EnteredItem entry = entries.value(i);
        if (const auto failed = addItem(columns, i + 1, items.at(i), entry, categories, programmes))
            return {QString(), failed->message, failed->focusTag};
    }
    const int review = states.reviewSwitch == 0 ? 1 : states.reviewData;
    const int payment = states.paymentSwitch == 0 ? 1 : states.paymentData;
    return {QStringLiteral("INSERT INTO bmb  (status") + columns.names + QStringLiteral(",dtime,sh,fk) values (1")
                + columns.values + QLatin1Char(',') + sqlText(dateToText(now)) + QLatin1Char(',') + sqlInteger(review)
                + QLatin1Char(',') + sqlInteger(payment) + QLatin1Char(')'),
            QString(), QString()};
}

int newestRegistrationId(AppState& state)
{
    if (!state.db.openShared(QStringLiteral("select id from bmb order by id desc "))) {
        state.showMessage(state.db.lastErrorText(), MessageStyle::Error);
        return 0;
    }
    RecordSet& rows = state.db.shared();
    return rows.atEnd() ? 0 : rows.readInteger("id");
}

void attachPendingPhoto(AppState& state)
{
    const int registration = newestRegistrationId(state);
    if (state.pendingPhotoFile.isEmpty() || registration <= 0)
        return;
    if (!executeReported(state, QStringLiteral("INSERT INTO fj  (uid,filename,status) values (") + sqlInteger(registration)
                                    + QLatin1Char(',') + sqlText(state.pendingPhotoFile) + QStringLiteral(",1)"))) {
        state.showResult(QStringLiteral("照片添加失败"));
        return;
    }
    state.showResult(QStringLiteral("照片保存成功"));
    state.pendingPhotoFile.clear();
    if (!openReported(state, QStringLiteral("SELECT MAX(id) AS id FROM fj")))
        return;
    if (state.db.shared().atEnd())
        return;
    const int photo = state.db.shared().readInteger("id");
    const bool linked = executeReported(state, QStringLiteral("UPDATE bmb SET imgid=") + sqlInteger(photo)
                                                   + QStringLiteral(" where id=") + sqlInteger(registration));
    state.showResult(linked ? QStringLiteral("修改imgid成功") : QStringLiteral("修改imgid失败"));
}
