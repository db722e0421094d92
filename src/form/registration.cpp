#include "form/registration.h"

#include "form/formlayout.h"
#include "photos/photostore.h"
#include "photos/statements.h"
#include "platform/dates.h"
#include "platform/messagestyle.h"
#include "platform/sqlliteral.h"
#include "platform/text.h"
#include "store/schema.h"

#include <optional>
#include <variant>

const QString programmeIdSeparator = QStringLiteral("           _");

namespace {

struct Columns {
    QVector<ColumnValue> pairs;
    void add(const QString& name, const QString& value) { pairs.push_back({name, value}); }
    void add(const QString& name, const QString& value, const QString& server)
    {
        add(name, value);
        add(name + QStringLiteral("server"), server);
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
    const QStringList parts = splitOptionCaption(caption);
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
                             const QVector<Category>& categories, const QVector<Programme>& programmes,
                             bool checkRequired)
{
    const QString itemControlTag = itemTag(position);
    const Check missingText{item.nam + QStringLiteral("没有填写"), itemControlTag};
    auto missingChoice = [&](const QString& focusTag) { return Check{item.nam + QStringLiteral("没有选择"), focusTag}; };
    const bool required = checkRequired && item.bt == 1;
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
                columns.add(item.zd, quoted ? sqlText(ids->at(0)) : ids->at(0), quoted ? sqlText(ids->at(1)) : ids->at(1));
                return std::nullopt;
            }
        } else {
            // A preset is written as preset; an option keeping a stored value, as that value.
            const QStringList options = item.val.isEmpty() ? QStringList() : item.val.split(QStringLiteral("||"));
            for (int k = 0; k < qMax(int(options.size()), optionCount); ++k) {
                const QString kept = entry.optionKept.value(k);
                if (isTicked(entry, k) && (k < options.size() || !kept.isEmpty())) {
                    columns.add(item.zd, sqlText(kept.isEmpty() ? options.at(k) : kept));
                    return std::nullopt;
                }
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
                const QString kept = entry.optionKept.value(k);
                chosen += QLatin1Char('^') + (kept.isEmpty() ? entry.optionCaptions.at(k) : kept) + QLatin1Char('^');
            }
            anyTicked = true;
        }
        if (required && !anyTicked)
            return missingChoice(lastOptionTag);
        if (isProgrammeColumn(item.zd))
            columns.add(item.zd, sqlText(chosen), sqlText(serverIds));
        else
            columns.add(item.zd, sqlText(chosen));
        return std::nullopt;
    }

    case ItemType::List: {
        const int chosen = entry.listIndex;
        const QStringList& kept = entry.listKept;
        if (chosen >= 0 && !kept.isEmpty()) {
            // The stored value the item no longer offers, written back as it was.
            if (item.zd == QLatin1String("dd") || item.zd == QLatin1String("bm1") || item.zd == QLatin1String("bm2"))
                columns.add(item.zd, sqlInteger(qint64(textToNumber(kept.value(0)))),
                            sqlInteger(qint64(textToNumber(kept.value(1)))));
            else if (item.zd == QLatin1String("bm3"))
                columns.add(item.zd, sqlText(kept.value(0)), sqlText(kept.value(1)));
            else
                columns.add(item.zd, sqlText(kept.value(0)));
        } else if (item.zd == QLatin1String("dd")) {
            const Category* category = chosen >= 1 && entry.listData >= 1 && entry.listData <= categories.size()
                                           ? &categories.at(entry.listData - 1)
                                           : nullptr;
            columns.add(QStringLiteral("dd"), sqlInteger(category ? category->id : 0),
                        sqlInteger(category ? category->serverId : 0));
        } else if (isProgrammeColumn(item.zd)) {
            const Programme* programme = chosen >= 0 && entry.listData >= 1 && entry.listData <= programmes.size()
                                             ? &programmes.at(entry.listData - 1)
                                             : nullptr;
            const QString id = sqlInteger(programme ? programme->id : 0);
            const QString serverId = sqlInteger(programme ? programme->serverId : 0);
            const bool quoted = item.zd == QLatin1String("bm3");
            columns.add(item.zd, quoted ? sqlText(id) : id, quoted ? sqlText(serverId) : serverId);
        } else {
            columns.add(item.zd, sqlText(entry.text));
        }
        if (required && chosen == -1)
            return missingChoice(itemControlTag);
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

} // namespace

std::variant<QVector<ColumnValue>, InsertOutcome> itemValues(const QVector<FormItem>& items,
                                                             const QVector<EnteredItem>& entries,
                                                             const QVector<Category>& categories,
                                                             const QVector<Programme>& programmes, bool checkRequired)
{
    Columns columns;
    for (int i = 0; i < items.size(); ++i) {
        // A damaged form definition naming no column of bmb never reaches a statement.
        if (!isRegistrationColumn(items.at(i).zd))
            continue;
        if (const auto failed = addItem(columns, i + 1, items.at(i), entries.value(i), categories, programmes, checkRequired))
            return InsertOutcome{QString(), failed->message, failed->focusTag};
    }
    return columns.pairs;
}

InsertOutcome buildInsertSql(const QVector<FormItem>& items, const QVector<EnteredItem>& entries,
                             const QVector<Category>& categories, const QVector<Programme>& programmes,
                             const InitialStates& states, const QDateTime& now)
{
    auto values = itemValues(items, entries, categories, programmes, true);
    if (auto* failed = std::get_if<InsertOutcome>(&values))
        return *failed;
    QString names;
    QString literals;
    for (const ColumnValue& pair : std::get<QVector<ColumnValue>>(values)) {
        names += QLatin1Char(',') + pair.column;
        literals += QLatin1Char(',') + pair.value;
    }
    const int review = states.reviewSwitch == 0 ? 1 : states.reviewData;
    const int payment = states.paymentSwitch == 0 ? 1 : states.paymentData;
    return {QStringLiteral("INSERT INTO bmb  (status") + names + QStringLiteral(",dtime,sh,fk) values (1") + literals
                + QLatin1Char(',') + sqlText(dateToText(now)) + QLatin1Char(',') + sqlInteger(review) + QLatin1Char(',')
                + sqlInteger(payment) + QLatin1Char(')'),
            QString(), QString()};
}

QString buildEditUpdateSql(const QVector<FormItem>& items, const QVector<EnteredItem>& entries,
                           const QVector<Category>& categories, const QVector<Programme>& programmes, int recordId)
{
    const auto values = itemValues(items, entries, categories, programmes, false);
    QStringList assignments;
    for (const ColumnValue& pair : std::get<QVector<ColumnValue>>(values))
        assignments << pair.column + QLatin1Char('=') + pair.value;
    if (assignments.isEmpty())
        return QString();
    return QStringLiteral("UPDATE bmb SET ") + assignments.join(QLatin1Char(',')) + QStringLiteral(" where id=")
           + sqlInteger(recordId);
}

StoredEntry storedEntry(const FormItem& item, const QString& value, const QStringList& optionCaptions)
{
    StoredEntry entry;
    const bool programme = isProgrammeColumn(item.zd);
    auto idOf = [](const QString& caption) {
        const auto ids = captionIds(caption);
        return ids ? ids->at(0) : QString();
    };
    switch (item.lx) {
    case ItemType::Radio: {
        // The gender item always offers 男 and 女, whatever its presets.
        const QString shown = item.zd == QLatin1String("xb")
                                  ? (value == QLatin1String("1") ? QStringLiteral("男")
                                                                 : value == QLatin1String("2") ? QStringLiteral("女") : value)
                                  : value;
        for (const QString& caption : optionCaptions)
            entry.ticked << (programme ? idOf(caption) == value : caption == shown);
        break;
    }
    case ItemType::Check:
        for (const QString& caption : optionCaptions) {
            const QString key = programme ? idOf(caption) : caption;
            entry.ticked << (!key.isEmpty() && value.contains(QLatin1Char('^') + key + QLatin1Char('^')));
        }
        break;
    case ItemType::List:
        if (programme || item.zd == QLatin1String("dd"))
            entry.selectId = int(textToNumber(value));
        else
            entry.text = value;
        break;
    default:
        entry.text = value;
        break;
    }
    return entry;
}

int newestRegistrationId(AppState& state)
{
    if (!openReported(state, QStringLiteral("select id from bmb order by id desc ")))
        return 0;
    RecordSet& rows = state.db.shared();
    return rows.atEnd() ? 0 : rows.readInteger("id");
}

bool attachPendingPhoto(AppState& state, int registration, const QString& pendingPhoto)
{
    if (pendingPhoto.isEmpty() || registration <= 0)
        return true;
    if (!putPhotoOnServer(state, pendingPhoto)
        || !executeReported(state, insertPhotoRowStatement(registration, pendingPhoto))) {
        state.showResult(QStringLiteral("照片添加失败"));
        return false;
    }
    state.showResult(QStringLiteral("照片保存成功"));
    // The row this desk wrote, not the newest of any desk.
    const qint64 photo = state.db.connection->lastInsertId();
    const bool linked = executeReported(state, linkPhotoStatement(registration, photo));
    state.showResult(linked ? QStringLiteral("修改imgid成功") : QStringLiteral("修改imgid失败"));
    return linked;
}
