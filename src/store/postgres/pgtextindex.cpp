// The index of the text items on a server (store/textindex.h).
#include "store/postgres/postgresengine.h"

namespace store {

bool PostgresEngine::buildTextIndex(const std::function<void(qint64, qint64)>& progress)
{
    progress(0, 1);
    if (!command("REINDEX INDEX bmb_pairs"))
        return false;
    progress(1, 1);
    return true;
}

} // namespace store
