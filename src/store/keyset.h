#pragma once
// The ids of an ordered keyset, known in part. A large result starts with its
// count and its first ids; the ids a cursor reaches later are read when it
// reaches them. Where the order is one column, the ids next to those known
// are read from the known row at the edge on (so the next page, the last
// page and the pages before it cost a short indexed read wherever they lie);
// otherwise, or when what was read no longer fits together (another desk
// wrote meanwhile), every id is read at once and the count taken anew.
// Rows of equal order value are ordered by id throughout.

#include "store/engine.h"

#include <QString>

#include <optional>
#include <vector>

namespace store {

// An order the ids can be continued in from a known row: one plain column,
// ascending or descending, then the id.
struct SeekOrder {
    QString table;
    QString filter;   // the condition of the where clause, without "where"; empty for none
    QString column;
    bool descending = false;
};

class KeysetIds {
public:
    // The ids of "select id from <table> <clauses>", clauses ending in an
    // order by (idQuery, ties ordered by id) and filtered as countQuery
    // counts; seek when the order is one column. False on the engine's
    // failure.
    bool open(Engine& engine, const QString& idQuery, const QString& countQuery, const std::optional<SeekOrder>& seek,
              int firstIds);
    // Every id of an unordered query at once.
    bool openWhole(Engine& engine, const QString& idQuery);
    void clear();

    int count() const { return complete ? int(head.size()) : total; }
    // True when the id at position is known, reading what it takes; false
    // past the last id or when reading failed (the error is the engine's).
    bool reach(int position, int pageSize);
    bool failed() const { return readFailed; }
    // The next reach() reads again what failed.
    void retryAfterFailure() { readFailed = false; }
    // The id at a position reach() answered true for.
    qint64 at(int position) const;
    // Up to n known ids after position, as a cursor reaches them.
    std::vector<qint64> after(int position, size_t n) const;

private:
    // The key of a row at an edge of what is known: its id and order value
    // as a literal (none for NULL); not usable when no literal gives the
    // value back exactly.
    struct Edge {
        qint64 id = 0;
        std::optional<QString> value;
        bool usable = true;
    };
    enum class Outcome { Read, Inconsistent, Failed };

    bool readAll();
    // The ids after the head up to position (at least block of them),
    // joined to the tail when they reach it.
    Outcome readNext(int position, int block);
    // The ids before the tail (or the last ids) down to position, at least
    // block of them.
    Outcome readBefore(int position, int block);
    // Up to limit rows from the edge row on (itself first; from the start
    // without an edge), forward in the keyset's order or backward against it.
    Outcome readRun(const std::optional<Edge>& edge, bool forward, int limit, std::vector<qint64>& ids, Edge& last);
    static Edge edgeOf(const Row& row);
    int tailStart() const { return total - int(tail.size()); }

    Engine* engine = nullptr;
    std::optional<SeekOrder> seek;
    int firstIds = 0;
    QString idQuery;
    bool complete = true;
    bool readFailed = false;
    int total = 0;
    // Positions 0 … head.size()-1, and total-tail.size() … total-1.
    std::vector<qint64> head;
    std::vector<qint64> tail;
    Edge headEdge;   // of head.back()
    Edge tailEdge;   // of tail.front()
};

} // namespace store
