#include "KvtTableStatements.h"

KvtTableStatements::KvtTableStatements(const QSqlDatabase &db, const KvtTableSql &sql)
    : sameRecordTest(db, sql.sameRecordTest())
    , keyTest(db, sql.keyTest())
    , insert(db, sql.insert())
    , maxId(db, sql.maxId())
    , m_sql(sql)
{
}
