#include "DestinationKeys.h"

#include "KvtTables.h"
#include "KvtPreparedQuery.h"
#include "KvtSql.h"
#include "PSqlIdentifier.h"

#include <QVariant>

namespace {

// The key of a reference table (Cod for factory, TabNo for humans, ...); ID otherwise.
QString keyColumnOf(const QString &tableName)
{
    const KvtTable *table = KvtTable::find(tableName);
    return table && table->isReference() ? table->keyColumn() : QStringLiteral("ID");
}

} // namespace

DestinationKeys::DestinationKeys(const QString &connectionName)
    : m_connectionName(connectionName)
{
}

QSqlDatabase DestinationKeys::connection() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

KvtSqlStatus DestinationKeys::nextFreeKey(const QString &destDB, const QString &tableName,
                                          quint64 &key) const
{
    key = 0;
    KvtPreparedQuery query(connection(),
                           KvtSql::largestKey(PSqlIdentifier::qualified(destDB, tableName), keyColumnOf(tableName)));
    const KvtSqlStatus status = query.run();
    if (!status)
        return status;
    // No rows: the first key is 1.
    key = (query.query().next() ? query.query().value(0).toULongLong() : 0u) + 1u;
    return status;
}

DestinationKeys::KeyState DestinationKeys::keyState(const QString &destDB, const QString &tableName,
                                                    const QString &key)
{
    const QString column = keyColumnOf(tableName);
    KvtPreparedQuery query(connection(), QLatin1String("SELECT COUNT(*) FROM ")
                                             + PSqlIdentifier::qualified(destDB, tableName)
                                             + QLatin1String(" WHERE ") + PSqlIdentifier::quote(column)
                                             + QLatin1String("=:key"));
    m_lastError = query.run({{QStringLiteral(":key"), key}});
    if (!m_lastError)
        return KeyState::Unknown;
    return query.firstInt() != 0 ? KeyState::Used : KeyState::Free;
}
