#include "store/saveonce.h"

#include "platform/sqlliteral.h"
#include "store/databaseerror.h"

#include <QUuid>

namespace {

SaveResult ended(SaveOutcome outcome, const DbConnection& connection)
{
    return {outcome, operatorErrorText(connection.lastErrorKind(), connection.lastErrorText()), 0};
}

} // namespace

KeyFound findSaveKey(DbConnection& connection, const QString& key, qint64& row)
{
    RecordSet rows;
    if (!connection.openQuery(rows, QStringLiteral("select id from bmb where savekey=") + sqlText(key)))
        return KeyFound::Unknown;
    if (rows.atEnd())
        return rows.readFailed() ? KeyFound::Unknown : KeyFound::No;
    row = rows.readInteger("id");
    return KeyFound::Yes;
}

QString newSaveKey()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

SaveResult saveOnce(DbConnection& connection, const QString& key, const std::function<bool()>& writes)
{
    SaveResult result;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!connection.beginTransaction())
            return ended(SaveOutcome::Failed, connection);
        if (writes() && connection.commitTransaction())
            return {SaveOutcome::Stored, QString(), 0};
        const SaveResult failed = ended(SaveOutcome::Failed, connection);
        const bool lost = store::connectionWasLost(connection.lastErrorKind());
        connection.rollbackTransaction();
        if (!lost)
            return failed;
        switch (findSaveKey(connection, key, result.storedRow)) {
        case KeyFound::Yes:
            result.outcome = SaveOutcome::AlreadyStored;
            return result;
        case KeyFound::Unknown:
            return {SaveOutcome::Unknown, failed.error, 0};
        case KeyFound::No:
            result.error = failed.error;
            break;
        }
    }
    return {SaveOutcome::Failed, result.error, 0};
}
