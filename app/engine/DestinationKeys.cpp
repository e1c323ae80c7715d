#include "DestinationKeys.h"

#include "ConflictQuery.h"
#include "ConflictTable.h"
#include "PSqlIdentifier.h"
#include "PSqlService.h"

#include <QSqlQuery>
#include <QVariant>

DestinationKeys::DestinationKeys(PSqlService *sqlService, PSqlErrors *sqlErrors)
    : sqlService(sqlService)
    , sqlErrors(sqlErrors)
{
}

quint64 DestinationKeys::nextFreeKey(const QString &destDB, const QString &tableName,
                                     QString &errMsg) const
{
    return sqlService->generateDataBaseId(PSqlIdentifier::qualified(destDB, tableName),
                                          ConflictTable::newKeyColumnOf(tableName), errMsg);
}

DestinationKeys::KeyState DestinationKeys::keyState(const QString &destDB, const QString &tableName,
                                                    const QString &key) const
{
    const QString column = ConflictTable::newKeyColumnOf(tableName);
    const QString placeholder = QLatin1String(":par") + column;
    QSqlQuery query;
    if (execConflictQuery(query,
                          QLatin1String("SELECT COUNT(*) FROM ")
                              + PSqlIdentifier::qualified(destDB, tableName) + QLatin1String(" WHERE ")
                              + column + QLatin1Char('=') + placeholder,
                          {{placeholder, key}}, sqlErrors))
        return keyUnknown;
    return query.next() && query.value(0).toInt() != 0 ? keyUsed : keyFree;
}
