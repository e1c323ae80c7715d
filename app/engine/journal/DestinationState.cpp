#include "DestinationState.h"

#include "PSqlIdentifier.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace DestinationState {

bool namingColumns(const QSqlDatabase &db, const QString &destination, QVector<KvtNamingColumn> &columns,
                   QString *error)
{
    columns.clear();
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT TABLE_NAME, COLUMN_NAME FROM information_schema.COLUMNS"
                                 " WHERE TABLE_SCHEMA = ?"));
    query.addBindValue(destination);
    if (!query.exec()) {
        if (error)
            *error = query.lastError().text();
        return false;
    }
    QSet<QString> present;
    while (query.next())
        present.insert(query.value(0).toString().toLower() + QLatin1Char('.') + query.value(1).toString().toLower());
    for (const KvtNamingColumn &c : KvtRelations::namingColumns())
        if (present.contains(c.table.toLower() + QLatin1Char('.') + c.column.toLower())
            && present.contains(c.table.toLower() + QLatin1Char('.') + c.identifier.toLower()))
            columns << c;
    return true;
}

bool largestIds(const QSqlDatabase &db, const QString &destination, QHash<QString, qlonglong> &largest,
                QString *error)
{
    largest.clear();
    QVector<KvtNamingColumn> columns;
    if (!namingColumns(db, destination, columns, error))
        return false;
    for (const KvtNamingColumn &c : qAsConst(columns)) {
        if (largest.contains(c.table))
            continue;
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("SELECT COALESCE(MAX(%1), 0) FROM %2")
                            .arg(PSqlIdentifier::quote(c.identifier), PSqlIdentifier::qualified(destination, c.table)))
            || !query.next()) {
            if (error)
                *error = query.lastError().text();
            return false;
        }
        largest.insert(c.table, query.value(0).toLongLong());
    }
    return true;
}

} // namespace DestinationState
