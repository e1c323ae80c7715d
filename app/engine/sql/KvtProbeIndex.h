#ifndef KVTPROBEINDEX_H
#define KVTPROBEINDEX_H

#include "KvtPreparedQuery.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// Finds the index of a table that best serves a probe for rows equal in given columns: the
// one with the longest run of those columns at its start.
class KvtProbeIndex
{
public:
    explicit KvtProbeIndex(const QSqlDatabase &db);

    // False when the catalogue query failed; failedQuery() then holds the error. index is
    // empty when no index starts with one of the columns.
    bool find(const QString &database, const QString &table, const QStringList &columns,
              QString &index);
    QSqlQuery *failedQuery() { return &m_query.query(); }

private:
    KvtPreparedQuery m_query;
};

#endif // KVTPROBEINDEX_H
