#include "store/keyset.h"

#include "platform/sqlliteral.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace store {

namespace {

QString whereOf(const QString& filter, const QString& condition)
{
    QStringList terms;
    if (!filter.isEmpty())
        terms << QLatin1Char('(') + filter + QLatin1Char(')');
    if (!condition.isEmpty())
        terms << condition;
    return terms.isEmpty() ? QString() : QStringLiteral(" where ") + terms.join(QStringLiteral(" and "));
}

} // namespace

bool KeysetIds::open(Engine& e, const QString& ids, const QString& countQuery, const std::optional<SeekOrder>& order,
                     int first)
{
    clear();
    engine = &e;
    seek = order;
    firstIds = first;
    idQuery = ids;
    Columns columns;
    std::vector<Row> rows;
    if (!engine->run(countQuery, columns, rows) || rows.size() != 1 || rows[0].cells.empty())
        return false;
    total = int(rows[0].cells[0].integer);
    if (seek) {
        if (readRun(std::nullopt, true, firstIds, head, headEdge) == Outcome::Failed)
            return false;
    } else if (!engine->readIds(idQuery + QStringLiteral(" limit ") + QString::number(firstIds), head)) {
        return false;
    }
    complete = int(head.size()) >= total;
    return true;
}

bool KeysetIds::openWhole(Engine& e, const QString& ids)
{
    clear();
    engine = &e;
    idQuery = ids;
    return engine->readIds(idQuery, head);
}

void KeysetIds::clear()
{
    engine = nullptr;
    seek.reset();
    idQuery.clear();
    complete = true;
    readFailed = false;
    total = 0;
    std::vector<qint64>().swap(head);
    std::vector<qint64>().swap(tail);
    headEdge = Edge();
    tailEdge = Edge();
}

bool KeysetIds::reach(int position, int pageSize)
{
    auto known = [&] {
        return position >= 0
               && (size_t(position) < head.size() || (!complete && position >= tailStart() && position < total));
    };
    if (known())
        return true;
    if (complete || readFailed || position < 0 || position >= total)
        return false;
    Outcome outcome = Outcome::Inconsistent;
    if (seek) {
        // Beside what is known, or on the last pages: read from the edge, a
        // couple of pages at a time, so no one page turn carries much more
        // than its own page.
        const int window = std::max(firstIds, std::min(pageSize, total));
        const int block = int(std::clamp(2 * qint64(pageSize), qint64(100), qint64(firstIds)));
        if (position < int(head.size()) + window)
            outcome = readNext(position, block);
        else if (position >= tailStart() - window)
            outcome = readBefore(position, block);
    }
    if (outcome == Outcome::Inconsistent && !readAll())
        outcome = Outcome::Failed;
    if (outcome == Outcome::Failed) {
        readFailed = true;
        return false;
    }
    return known();
}

qint64 KeysetIds::at(int position) const
{
    return size_t(position) < head.size() ? head[size_t(position)] : tail[size_t(position - tailStart())];
}

std::vector<qint64> KeysetIds::after(int position, size_t n) const
{
    const bool inHead = size_t(position) < head.size();
    const std::vector<qint64>& ids = inHead ? head : tail;
    const size_t next = size_t(inHead ? position : position - tailStart()) + 1;
    if (next >= ids.size())
        return {};
    return std::vector<qint64>(ids.begin() + qint64(next), ids.begin() + qint64(std::min(ids.size(), next + n)));
}

bool KeysetIds::readAll()
{
    std::vector<qint64> all;
    if (!engine->readIds(idQuery, all))
        return false;
    // Rows another desk added or removed meanwhile are in the count now.
    head = std::move(all);
    std::vector<qint64>().swap(tail);
    complete = true;
    return true;
}

KeysetIds::Outcome KeysetIds::readNext(int position, int block)
{
    // The unknown positions up to the tail, or to the end.
    const int gap = tailStart() - int(head.size());
    int wanted = std::max(position + 1 - int(head.size()), block);
    const bool meetsTail = wanted >= gap;
    if (meetsTail)
        wanted = gap;
    // The edge row first, and at the far end one row more: the tail's first
    // row, or none when the count still holds.
    std::optional<Edge> from;
    if (!head.empty())
        from = headEdge;
    const int edgeRows = from ? 1 : 0;
    std::vector<qint64> ids;
    Edge last;
    const Outcome outcome = readRun(from, true, edgeRows + wanted + (meetsTail ? 1 : 0), ids, last);
    if (outcome != Outcome::Read)
        return outcome;
    if (from && (ids.empty() || ids.front() != from->id))
        return Outcome::Inconsistent;
    const int got = int(ids.size()) - edgeRows;
    const auto fresh = ids.begin() + edgeRows;
    if (!tail.empty() && meetsTail) {
        if (got != wanted + 1 || ids.back() != tail.front())
            return Outcome::Inconsistent;
        head.insert(head.end(), fresh, ids.end() - 1);
        head.insert(head.end(), tail.begin(), tail.end());
        std::vector<qint64>().swap(tail);
        complete = true;
        return Outcome::Read;
    }
    if (!tail.empty() && got < wanted)
        return Outcome::Inconsistent;
    // Without a tail the rows end where they end; more than counted means
    // rows were added, and the count is taken again with every id.
    if (got > wanted)
        return Outcome::Inconsistent;
    head.insert(head.end(), fresh, ids.end());
    headEdge = last;
    if (got < wanted || meetsTail)
        complete = true;
    return Outcome::Read;
}

KeysetIds::Outcome KeysetIds::readBefore(int position, int block)
{
    const int start = tailStart();
    const int gap = start - int(head.size());
    int wanted = std::max(start - position, block);
    const bool meetsHead = wanted >= gap;
    if (meetsHead)
        wanted = gap;
    std::optional<Edge> from;
    if (!tail.empty())
        from = tailEdge;
    const int edgeRows = from ? 1 : 0;
    const int joinRows = meetsHead && !head.empty() ? 1 : 0;
    std::vector<qint64> ids;
    Edge last;
    const Outcome outcome = readRun(from, false, edgeRows + wanted + joinRows, ids, last);
    if (outcome != Outcome::Read)
        return outcome;
    if (from && (ids.empty() || ids.front() != from->id))
        return Outcome::Inconsistent;
    // Read backward: the row before the edge comes first.
    if (int(ids.size()) != edgeRows + wanted + joinRows || (joinRows && ids.back() != head.back()))
        return Outcome::Inconsistent;
    std::vector<qint64> fresh(ids.rbegin() + joinRows, ids.rend() - edgeRows);
    fresh.insert(fresh.end(), tail.begin(), tail.end());
    if (meetsHead) {
        head.insert(head.end(), fresh.begin(), fresh.end());
        std::vector<qint64>().swap(tail);
        complete = true;
    } else {
        tail = std::move(fresh);
        tailEdge = last;
    }
    return Outcome::Read;
}

KeysetIds::Outcome KeysetIds::readRun(const std::optional<Edge>& edge, bool forward, int limit,
                                      std::vector<qint64>& ids, Edge& last)
{
    ids.clear();
    if (edge && !edge->usable)
        return Outcome::Inconsistent;
    const QString& column = seek->column;
    const bool ascending = forward != seek->descending;
    // Where NULLs come in this direction: the engine sorts them below every value, or above.
    const bool nullsFirst = ascending == engine->nullsSortFirst();
    const QString byValue = column + (ascending ? QStringLiteral(" asc,") : QStringLiteral(" desc,"));
    const QString byId = forward ? QStringLiteral("id asc") : QStringLiteral("id desc");
    const QString fromId = QStringLiteral(" and id") + (forward ? QStringLiteral(">=") : QStringLiteral("<="))
                           + (edge ? QString::number(edge->id) : QString());
    const QString isNull = column + QStringLiteral(" is null");

    // The rows from the edge on, as parts an index reads in order: the edge's
    // own value from its id on, the values beyond it, and the NULLs where
    // they come last.
    std::vector<std::pair<QString, QString>> parts;   // condition, order
    if (!edge) {
        parts.push_back({QString(), byValue + byId});
    } else if (edge->value) {
        parts.push_back({column + QLatin1Char('=') + *edge->value + fromId, byId});
        parts.push_back({column + (ascending ? QLatin1Char('>') : QLatin1Char('<')) + *edge->value, byValue + byId});
        if (!nullsFirst)
            parts.push_back({isNull, byId});
    } else {
        parts.push_back({isNull + fromId, byId});
        if (nullsFirst)
            parts.push_back({column + QStringLiteral(" is not null"), byValue + byId});
    }

    Columns columns;
    std::vector<Row> rows;
    for (const auto& [condition, order] : parts) {
        if (int(ids.size()) >= limit)
            break;
        const QString sql = QStringLiteral("select id,") + column + QStringLiteral(" from ") + seek->table
                            + whereOf(seek->filter, condition) + QStringLiteral(" order by ") + order
                            + QStringLiteral(" limit ") + QString::number(limit - int(ids.size()));
        if (!engine->run(sql, columns, rows))
            return Outcome::Failed;
        if (rows.empty())
            continue;
        for (const Row& row : rows)
            ids.push_back(row.cells[0].integer);
        last = edgeOf(rows.back());
    }
    return Outcome::Read;
}

KeysetIds::Edge KeysetIds::edgeOf(const Row& row)
{
    Edge edge;
    edge.id = row.cells[0].integer;
    const Cell& value = row.cells[1];
    switch (value.type) {
    case CellType::Null:
        break;
    case CellType::Integer:
        edge.value = QString::number(value.integer);
        break;
    case CellType::Number:
        // 17 digits give the same double back.
        edge.usable = std::isfinite(value.number);
        edge.value = QString::number(value.number, 'g', 17);
        break;
    case CellType::Text: {
        const QString text = QString::fromUtf8(row.buffer.constData() + value.offset, value.length);
        edge.usable = !text.contains(QChar(u'\0'));
        edge.value = sqlText(text);
        break;
    }
    case CellType::Bytes:
        edge.usable = false;
        break;
    }
    return edge;
}

} // namespace store
