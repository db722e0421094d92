#include "form/formlayout.h"

#include "core/lists.h"
#include "form/registration.h"
#include "platform/text.h"

namespace {

// Width comparisons are made in floating point with this tolerance.
constexpr double tolerance = 0.0000001;
bool exceeds(double value, double limit)
{
    return value - limit > tolerance;
}

constexpr int rowHeight = 28;
int rowTop(int row)
{
    return (row - 1) * rowHeight + 18;
}

} // namespace

const QString noLongerOfferedMark = QStringLiteral("（已停用）");

QString programmeOptionCaption(const Programme& programme)
{
    return programme.name + programmeIdSeparator + QString::number(programme.id) + programmeIdSeparator
           + QString::number(programme.serverId);
}

QStringList splitOptionCaption(const QString& caption)
{
    return caption.split(programmeIdSeparator);
}

QString itemTag(int position)
{
    return QString::number(position);
}

QString optionTag(int position, int option)
{
    return QString::number(position * 100 + option);
}

bool isProgrammeColumn(const QString& zd)
{
    return zd == QLatin1String("bm1") || zd == QLatin1String("bm2") || zd == QLatin1String("bm3");
}

namespace {

bool offered(const Programme& programme, int categoryId)
{
    return programme.status > 0 && (categoryId < 1 || programme.ddid == categoryId);
}

} // namespace

ItemOptions itemOptions(const FormItem& item, const QVector<Programme>& programmes, int categoryId)
{
    ItemOptions options;
    if (!item.val.isEmpty())
        options.names = item.val.split(QStringLiteral("||"));
    if (isProgrammeColumn(item.zd)) {
        options.names.clear();
        for (const Programme& programme : programmes)
            if (offered(programme, categoryId)) {
                options.names << programme.name;
                options.captions << programmeOptionCaption(programme);
            }
    }
    if (item.zd == QLatin1String("xb"))
        options.names = QStringList{QStringLiteral("男"), QStringLiteral("女")};
    return options;
}

ListEntries listEntries(const FormItem& item, const QVector<Category>& categories,
                        const QVector<Programme>& programmes, int categoryId, const QStringList& options)
{
    ListEntries list;
    if (item.zd == QLatin1String("dd")) {
        list.entries.push_back({QStringLiteral("全部"), 0, {}});
        list.selected = 0;
        for (int j = 1; j <= categories.size(); ++j) {
            const Category& category = categories[j - 1];
            if (category.status < 1)
                continue;
            if (categoryId >= 1 && category.id == categoryId)
                list.selected = int(list.entries.size());
            list.entries.push_back({category.name, j, {}});
        }
    } else if (isProgrammeColumn(item.zd)) {
        for (int j = 1; j <= programmes.size(); ++j)
            if (programmes[j - 1].status >= 1 && (categoryId < 1 || programmes[j - 1].ddid == categoryId))
                list.entries.push_back({programmes[j - 1].name, j, {}});
    } else {
        for (const QString& option : options)
            list.entries.push_back({option, 0, {}});
    }
    return list;
}

namespace {

// The values of a stored text: one, or for check boxes each value written
// between carets (^A^^B^).
QStringList storedChoices(const FormItem& item, const QString& value)
{
    if (value.isEmpty())
        return {};
    if (item.lx == ItemType::Check && value.size() >= 2 && value.startsWith(QLatin1Char('^'))
        && value.endsWith(QLatin1Char('^'))) {
        QStringList choices;
        for (const QString& choice : value.mid(1, value.size() - 2).split(QStringLiteral("^^")))
            if (!choice.isEmpty() && !choices.contains(choice))
                choices << choice;
        return choices;
    }
    return {value};
}


// How a kept category or programme is named: its name, or its number once
// it has been deleted.
template <typename Entry>
QString keptName(const QVector<Entry>& list, int id)
{
    const Entry* entry = findById(list, id);
    return (entry ? entry->name : QStringLiteral("编号") + QString::number(id)) + noLongerOfferedMark;
}

// A stored category or programme id is no longer offered once disabled or deleted.
template <typename Entry>
bool withdrawn(const QVector<Entry>& list, int id)
{
    const Entry* entry = findById(list, id);
    return !entry || entry->status < 1;
}

int storedId(const QString& value)
{
    return int(textToNumber(value));
}

} // namespace

void keepStoredOptions(ItemOptions& options, const FormItem& item, const StoredValues& stored,
                       const QVector<Programme>& programmes)
{
    if ((item.lx != ItemType::Radio && item.lx != ItemType::Check) || item.zd == QLatin1String("xb"))
        return;
    const QStringList values = storedChoices(item, stored.value(item.zd));
    if (isProgrammeColumn(item.zd)) {
        const QStringList serverIds = storedChoices(item, stored.value(item.zd + QStringLiteral("server")));
        for (int j = 0; j < values.size(); ++j) {
            const int id = storedId(values[j]);
            if (id <= 0 || !withdrawn(programmes, id))
                continue;
            const Programme* known = findById(programmes, id);
            Programme kept;
            kept.id = id;
            kept.serverId = serverIds.size() == values.size() ? storedId(serverIds[j]) : known ? known->serverId : 0;
            kept.name = keptName(programmes, id);
            options.names << kept.name;
            options.captions << programmeOptionCaption(kept);
        }
        return;
    }
    for (const QString& value : values) {
        if (options.names.contains(value))
            continue;
        while (options.kept.size() < options.names.size())
            options.kept << QString();
        options.names << value + noLongerOfferedMark;
        options.kept << value;
    }
}

void keepStoredEntry(ListEntries& list, const FormItem& item, const StoredValues& stored,
                     const QVector<Category>& categories, const QVector<Programme>& programmes)
{
    const QString value = stored.value(item.zd);
    if (item.lx != ItemType::List || value.isEmpty())
        return;
    const QString serverId = stored.value(item.zd + QStringLiteral("server"));
    if (item.zd == QLatin1String("dd")) {
        const int id = storedId(value);
        // Category 0 is "全部".
        if (id > 0 && withdrawn(categories, id))
            list.entries.push_back({keptName(categories, id), 0, {value, serverId}});
    } else if (isProgrammeColumn(item.zd)) {
        const int id = storedId(value);
        if (id > 0 && withdrawn(programmes, id))
            list.entries.push_back({keptName(programmes, id), 0, {value, serverId}});
    } else {
        for (const ListEntry& entry : std::as_const(list.entries))
            if (entry.text == value)
                return;
        list.entries.push_back({value + noLongerOfferedMark, 0, {value}});
    }
}

QString itemLabelCaption(const FormItem& item, LabelStyle style)
{
    if (style == LabelStyle::CaptionOnly)
        return item.nam;
    return (item.bt == 1 ? QStringLiteral("*") : QString()) + item.nam + QLatin1Char(':');
}

int optionWidth(const QString& name)
{
    return gbkLength(name) * 8 + 14;
}

QVector<ItemPlacement> layoutForm(const QVector<LayoutItem>& items, const LayoutParams& params)
{
    const TemplateSizes& sizes = params.sizes;
    const int labelWidth = sizes.label.width();
    const int inputLeft = labelWidth + 26;
    QVector<ItemPlacement> placements;
    int row = 1;
    for (int i = 0; i < items.size(); ++i) {
        const LayoutItem& item = items[i];
        ItemPlacement place;

        // Compact layout: a text item follows another on its row while the row has room.
        int x = 10;
        if (params.compact && i >= 1 && item.type == ItemType::Text && items[i - 1].type == ItemType::Text) {
            const int previousLeft = placements[i - 1].label.left();
            if (exceeds(params.clientWidth, previousLeft + 600)) {
                --row;
                x = previousLeft + 200;
            }
        }
        place.label = QRect(QPoint(x, rowTop(row)), sizes.label);

        switch (item.type) {
        case ItemType::MultiLineText:
            place.input = QRect(inputLeft, rowTop(row), sizes.edit.width() * 2, 50);
            row += 2;
            break;
        case ItemType::Radio: {
            // The buttons sit in a borderless container, wrapping to lines 28 apart.
            int line = 1;
            for (int k = 0; k < item.optionNames.size(); ++k) {
                const int width = optionWidth(item.optionNames[k]);
                int left = k == 0 ? 3 : place.options[k - 1].left() + place.options[k - 1].width() + 10;
                // An option that already starts its line stays there.
                if (k > 0 && exceeds(left + width, params.clientWidth - labelWidth - 154)) {
                    left = 3;
                    ++line;
                }
                place.options.push_back(QRect(left, (line - 1) * rowHeight + 8, width, sizes.radio.height()));
            }
            const int height = place.options.size() > 1 ? place.options.last().top() - place.options.first().top() + 28
                                                        : sizes.container.height();
            place.input = QRect(inputLeft, place.label.top() - 8,
                                params.frameWidth - inputLeft - 8 - params.photoReserve, height);
            row += line;
            break;
        }
        case ItemType::Check:
            for (int k = 0; k < item.optionNames.size(); ++k) {
                const int width = optionWidth(item.optionNames[k]);
                int left = k == 0 ? inputLeft : place.options[k - 1].left() + place.options[k - 1].width() + 10;
                if (k > 0 && exceeds(left + width, params.clientWidth - 128)) {
                    left = place.options.first().left();
                    ++row;
                }
                place.options.push_back(QRect(left, rowTop(row), width, sizes.check.height()));
            }
            ++row;
            break;
        case ItemType::List:
            place.input = QRect(QPoint(inputLeft, rowTop(row)), sizes.list);
            ++row;
            break;
        default:
            place.input = QRect(QPoint(place.label.left() + labelWidth + 16, rowTop(row)), sizes.edit);
            ++row;
            break;
        }
        placements.push_back(place);
    }
    return placements;
}

int nextFocusItem(const QVector<int>& types, int focused)
{
    const int n = int(types.size());
    int p = focused;
    for (int looked = 0; looked < n; ++looked) {
        if (p < 0 || p >= n)
            p = 0;
        if (types[p] != ItemType::Radio && types[p] != ItemType::Check)
            return p + 1;
        ++p;
    }
    return 0;
}
