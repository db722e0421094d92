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

// The programme ids an option caption carries; nothing when the caption has
// none. They are taken from the end, so a programme name holding the
// separator cannot shift them.
std::optional<ChosenId> captionIds(const QString& caption)
{
    const QStringList parts = splitOptionCaption(caption);
    if (parts.size() < 3)
        return std::nullopt;
    return ChosenId{parts.at(parts.size() - 2).toLongLong(), parts.last().toLongLong()};
}

bool isTicked(const EnteredItem& entry, int option)
{
    return option < entry.ticked.size() && entry.ticked.at(option);
}

bool isCategoryOrProgramme(const QString& zd)
{
    return zd == QLatin1String("dd") || isProgrammeColumn(zd);
}

template <typename T>
T valueOr(const ItemValue& value, T fallback)
{
    const T* held = std::get_if<T>(&value);
    return held ? *held : fallback;
}

// What the controls of one item hold.
ItemValue entryValue(const FormItem& item, const EnteredItem& entry, const QVector<Category>& categories,
                     const QVector<Programme>& programmes)
{
    const int optionCount = int(entry.optionCaptions.size());
    switch (item.lx) {
    case ItemType::Text:
    case ItemType::MultiLineText:
        if (item.zd == QLatin1String("nl"))
            return trimBlanks(entry.text).isEmpty() ? ItemValue() : ItemValue(textToNumber(entry.text));
        return trimBlanks(entry.text);

    case ItemType::Radio:
        if (item.zd == QLatin1String("xb"))
            return isTicked(entry, 0) ? 1 : isTicked(entry, 1) ? 2 : 0;
        if (isProgrammeColumn(item.zd)) {
            for (int k = 0; k < optionCount; ++k)
                if (const auto ids = captionIds(entry.optionCaptions.at(k)); ids && isTicked(entry, k))
                    return QVector<ChosenId>{*ids};
            return {};
        } else {
            // A preset is written as preset; an option keeping a stored value, as that value.
            const QStringList options = item.val.isEmpty() ? QStringList() : item.val.split(QStringLiteral("||"));
            for (int k = 0; k < qMax(int(options.size()), optionCount); ++k) {
                const QString kept = entry.optionKept.value(k);
                if (isTicked(entry, k) && (k < options.size() || !kept.isEmpty()))
                    return kept.isEmpty() ? options.at(k) : kept;
            }
            return {};
        }

    case ItemType::Check:
        if (isProgrammeColumn(item.zd)) {
            QVector<ChosenId> chosen;
            for (int k = 0; k < optionCount; ++k)
                if (const auto ids = captionIds(entry.optionCaptions.at(k)); ids && isTicked(entry, k))
                    chosen << *ids;
            return chosen;
        } else {
            QStringList chosen;
            for (int k = 0; k < optionCount; ++k) {
                const QString kept = entry.optionKept.value(k);
                if (isTicked(entry, k))
                    chosen << (kept.isEmpty() ? entry.optionCaptions.at(k) : kept);
            }
            return chosen;
        }

    case ItemType::List: {
        const int chosen = entry.listIndex;
        if (chosen < 0)
            return {};
        // The stored value the item no longer offers, written back as it was.
        if (!entry.listKept.isEmpty()) {
            if (isCategoryOrProgramme(item.zd))
                return KeptIds{entry.listKept.value(0), entry.listKept.value(1)};
            return entry.listKept.value(0);
        }
        if (item.zd == QLatin1String("dd")) {
            const bool known = chosen >= 1 && entry.listData >= 1 && entry.listData <= categories.size();
            const Category category = known ? categories.at(entry.listData - 1) : Category();
            return QVector<ChosenId>{{category.id, category.serverId}};
        }
        if (isProgrammeColumn(item.zd)) {
            const bool known = entry.listData >= 1 && entry.listData <= programmes.size();
            const Programme programme = known ? programmes.at(entry.listData - 1) : Programme();
            return QVector<ChosenId>{{programme.id, programme.serverId}};
        }
        return entry.text;
    }
    default:
        return {};
    }
}

// The columns one item writes.
void addColumns(Columns& columns, const FormItem& item, const ItemValue& value)
{
    const bool quotedIds = item.zd == QLatin1String("bm3");
    auto addIds = [&](const ChosenId& chosen) {
        const QString id = sqlInteger(chosen.id);
        const QString serverId = sqlInteger(chosen.serverId);
        columns.add(item.zd, quotedIds ? sqlText(id) : id, quotedIds ? sqlText(serverId) : serverId);
    };
    if (const auto* kept = std::get_if<KeptIds>(&value)) {
        if (quotedIds)
            columns.add(item.zd, sqlText(kept->id), sqlText(kept->serverId));
        else
            columns.add(item.zd, sqlInteger(qint64(textToNumber(kept->id))), sqlInteger(qint64(textToNumber(kept->serverId))));
        return;
    }
    const QVector<ChosenId> ids = valueOr(value, QVector<ChosenId>());
    switch (item.lx) {
    case ItemType::Text:
    case ItemType::MultiLineText:
        if (item.zd == QLatin1String("nl"))
            columns.add(item.zd, sqlNumber(valueOr(value, 0.0)));
        else
            columns.add(item.zd, sqlText(valueOr(value, QString())));
        return;

    case ItemType::Radio:
        if (item.zd == QLatin1String("xb"))
            columns.add(item.zd, sqlInteger(valueOr(value, 0)));
        else if (isProgrammeColumn(item.zd) && !ids.isEmpty())
            addIds(ids.first());
        else if (const auto* text = std::get_if<QString>(&value))
            columns.add(item.zd, sqlText(*text));
        return;

    case ItemType::Check: {
        QString chosen;
        if (isProgrammeColumn(item.zd)) {
            QString serverIds;
            for (const ChosenId& programme : ids) {
                chosen += QLatin1Char('^') + sqlInteger(programme.id) + QLatin1Char('^');
                serverIds += QLatin1Char('^') + sqlInteger(programme.serverId) + QLatin1Char('^');
            }
            columns.add(item.zd, sqlText(chosen), sqlText(serverIds));
        } else {
            for (const QString& option : valueOr(value, QStringList()))
                chosen += QLatin1Char('^') + option + QLatin1Char('^');
            columns.add(item.zd, sqlText(chosen));
        }
        return;
    }

    case ItemType::List:
        if (isCategoryOrProgramme(item.zd))
            addIds(ids.isEmpty() ? ChosenId() : ids.first());
        else
            columns.add(item.zd, sqlText(valueOr(value, QString())));
        return;
    default:
        return;
    }
}

// Whether a required item counts as left empty.
bool leftEmpty(const FormItem& item, const ItemValue& value)
{
    if (std::holds_alternative<std::monostate>(value))
        return true;
    switch (item.lx) {
    case ItemType::Text:
    case ItemType::MultiLineText:
        return std::holds_alternative<QString>(value) && trimBlanks(std::get<QString>(value)).isEmpty();
    case ItemType::Radio:
        return item.zd == QLatin1String("xb") && valueOr(value, 0) == 0;
    case ItemType::Check:
        return valueOr(value, QStringList()).isEmpty() && valueOr(value, QVector<ChosenId>()).isEmpty()
               && !std::holds_alternative<KeptIds>(value);
    default:
        return false;
    }
}

} // namespace

QString requiredFocusTag(int position, const FormItem& item, const EnteredItem& entry)
{
    if (item.lx == ItemType::Radio && item.zd == QLatin1String("xb"))
        return optionTag(position, 2);
    if (item.lx == ItemType::Radio || item.lx == ItemType::Check)
        return optionTag(position, qMax(int(entry.optionCaptions.size()), 1));
    return itemTag(position);
}

void setNewRegistrationStates(Registration& registration, const InitialStates& states, const QDateTime& now)
{
    registration.time = now;
    registration.review = states.reviewSwitch == 0 ? 1 : states.reviewData;
    registration.payment = states.paymentSwitch == 0 ? 1 : states.paymentData;
}

QString Registration::text(const QString& column) const
{
    return valueOr(values.value(column), QString());
}

std::optional<RegistrationProblem> checkRequired(const QVector<FormItem>& items, const Registration& registration)
{
    for (int i = 0; i < items.size(); ++i) {
        const FormItem& item = items.at(i);
        if (item.bt != 1 || !isRegistrationColumn(item.zd) || !leftEmpty(item, registration.values.value(item.zd)))
            continue;
        const bool text = item.lx == ItemType::Text || item.lx == ItemType::MultiLineText;
        return RegistrationProblem{i + 1, item.nam + (text ? QStringLiteral("没有填写") : QStringLiteral("没有选择"))};
    }
    return std::nullopt;
}

QVector<ColumnValue> registrationColumns(const QVector<FormItem>& items, const Registration& registration)
{
    Columns columns;
    for (const FormItem& item : items)
        // A damaged form definition naming no column of bmb never reaches a statement.
        if (isRegistrationColumn(item.zd))
            addColumns(columns, item, registration.values.value(item.zd));
    return columns.pairs;
}

namespace {

// A new registration's row of the INSERT: the column names and the
// parenthesised literals.
struct InsertRow {
    QString names;
    QString literals;
};

InsertRow insertRow(const QVector<FormItem>& items, const Registration& registration)
{
    InsertRow row{QStringLiteral("status"), QStringLiteral("(1")};
    for (const ColumnValue& pair : registrationColumns(items, registration)) {
        row.names += QLatin1Char(',') + pair.column;
        row.literals += QLatin1Char(',') + pair.value;
    }
    row.names += QStringLiteral(",dtime,sh,fk");
    row.literals += QLatin1Char(',') + sqlText(dateToText(registration.time)) + QLatin1Char(',')
                    + sqlInteger(registration.review) + QLatin1Char(',') + sqlInteger(registration.payment);
    // Only a registration from the web page names ly, so a desk's statement
    // stays as it always was.
    if (registration.fromWeb) {
        row.names += QStringLiteral(",ly");
        row.literals += QStringLiteral(",1");
    }
    if (!registration.saveKey.isEmpty()) {
        row.names += QStringLiteral(",savekey");
        row.literals += QLatin1Char(',') + sqlText(registration.saveKey);
    }
    row.literals += QLatin1Char(')');
    return row;
}

QString insertStatement(const QString& names, const QString& literals)
{
    return QStringLiteral("INSERT INTO bmb  (") + names + QStringLiteral(") values ") + literals;
}

} // namespace

QString registrationInsert(const QVector<FormItem>& items, const Registration& registration)
{
    const InsertRow row = insertRow(items, registration);
    return insertStatement(row.names, row.literals);
}

QVector<RegistrationsInsert> registrationInserts(const QVector<FormItem>& items, const QVector<Registration>& registrations,
                                                 int rowsPerStatement)
{
    QVector<RegistrationsInsert> inserts;
    QString names;
    QString literals;
    int rows = 0;
    const auto flush = [&] {
        if (rows > 0)
            inserts.push_back({insertStatement(names, literals), rows});
        literals.clear();
        rows = 0;
    };
    for (const Registration& registration : registrations) {
        InsertRow row = insertRow(items, registration);
        if (row.names != names || rows == rowsPerStatement)
            flush();
        names = std::move(row.names);
        literals += (rows > 0 ? QStringLiteral(",") : QString()) + row.literals;
        ++rows;
    }
    flush();
    return inserts;
}

QString registrationUpdate(const QVector<FormItem>& items, const Registration& registration, int recordId)
{
    QStringList assignments;
    for (const ColumnValue& pair : registrationColumns(items, registration))
        assignments << pair.column + QLatin1Char('=') + pair.value;
    if (!registration.saveKey.isEmpty())
        assignments << QStringLiteral("savekey=") + sqlText(registration.saveKey);
    if (assignments.isEmpty())
        return QString();
    return QStringLiteral("UPDATE bmb SET ") + assignments.join(QLatin1Char(',')) + QStringLiteral(" where id=")
           + sqlInteger(recordId);
}

Registration registrationFromEntries(const QVector<FormItem>& items, const QVector<EnteredItem>& entries,
                                     const QVector<Category>& categories, const QVector<Programme>& programmes)
{
    Registration registration;
    for (int i = 0; i < items.size(); ++i)
        registration.values.insert(items.at(i).zd, entryValue(items.at(i), entries.value(i), categories, programmes));
    return registration;
}

InsertOutcome buildInsertSql(const QVector<FormItem>& items, const QVector<EnteredItem>& entries,
                             const QVector<Category>& categories, const QVector<Programme>& programmes,
                             const InitialStates& states, const QDateTime& now)
{
    Registration registration = registrationFromEntries(items, entries, categories, programmes);
    if (const auto problem = checkRequired(items, registration)) {
        const int position = problem->position;
        return {QString(), problem->message,
                requiredFocusTag(position, items.at(position - 1), entries.value(position - 1))};
    }
    setNewRegistrationStates(registration, states, now);
    return {registrationInsert(items, registration), QString(), QString()};
}

QString buildEditUpdateSql(const QVector<FormItem>& items, const QVector<EnteredItem>& entries,
                           const QVector<Category>& categories, const QVector<Programme>& programmes, int recordId)
{
    return registrationUpdate(items, registrationFromEntries(items, entries, categories, programmes), recordId);
}

StoredEntry storedEntry(const FormItem& item, const QString& value, const QStringList& optionCaptions)
{
    StoredEntry entry;
    const bool programme = isProgrammeColumn(item.zd);
    auto idOf = [](const QString& caption) {
        const auto ids = captionIds(caption);
        return ids ? sqlInteger(ids->id) : QString();
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

SaveResult storeNewRegistration(AppState& state, const QVector<FormItem>& items, const Registration& registration,
                                const QString& photo)
{
    DbConnection& connection = *state.db.connection;
    HeldMessages held(state);
    qint64 stored = 0;
    SaveResult result = saveOnce(
        connection, registration.saveKey,
        [&] {
            held.forget();
            if (!executeReported(state, registrationInsert(items, registration)))
                return false;
            state.showResult(QStringLiteral("添加新数据成功"));
            // The row this connection wrote: with several desks on one server
            // the newest row may be another desk's.
            stored = connection.lastInsertId();
            return attachPendingPhoto(state, int(stored), photo);
        });
    if (result.outcome == SaveOutcome::Stored)
        result.storedRow = stored;
    if (result.outcome == SaveOutcome::Failed)
        held.show(result.error);
    return result;
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
