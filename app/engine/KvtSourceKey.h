#ifndef KVTSOURCEKEY_H
#define KVTSOURCEKEY_H

#include "KvtPreparedQuery.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// What the server's catalogue says about a source table: its columns, and whether its ID
// orders the rows and cuts them into ranges without ties: an integer column, NOT NULL,
// unique on its own. Only then is "in ID order" one well-defined order.
class KvtSourceKey
{
public:
    explicit KvtSourceKey(const QSqlDatabase &db);

    // False when a catalogue query failed; failedQuery() then holds the error. A missing
    // table reads as one without columns.
    bool read(const QString &database, const QString &table);

    QStringList columns() const { return m_columns; }
    bool usable() const { return m_usable; }
    QSqlQuery *failedQuery() { return m_failed; }

private:
    bool readColumns(const QString &database, const QString &table, bool &integerId);
    bool readUniqueness(const QString &database, const QString &table, bool &unique);

    KvtPreparedQuery m_columnsQuery;
    KvtPreparedQuery m_indexQuery;
    QSqlQuery *m_failed = nullptr;
    QStringList m_columns;
    bool m_usable = false;
};

#endif // KVTSOURCEKEY_H
