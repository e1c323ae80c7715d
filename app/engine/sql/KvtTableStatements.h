#ifndef KVTTABLESTATEMENTS_H
#define KVTTABLESTATEMENTS_H

#include "KvtPreparedQuery.h"
#include "KvtTableSql.h"

#include <QSqlDatabase>

// The prepared statements of one table step on the worker's connection; they live for
// the step and are re-executed for every source row.
class KvtTableStatements
{
public:
    KvtTableStatements(const QSqlDatabase &db, const KvtTableSql &sql);

    const KvtTableSql &sql() const { return m_sql; }

    KvtPreparedQuery sameRecordTest;
    KvtPreparedQuery keyTest;
    KvtPreparedQuery insert;
    KvtPreparedQuery maxId;

private:
    KvtTableSql m_sql;
};

#endif // KVTTABLESTATEMENTS_H
