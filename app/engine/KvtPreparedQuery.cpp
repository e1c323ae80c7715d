#include "KvtPreparedQuery.h"

KvtPreparedQuery::KvtPreparedQuery(const QSqlDatabase &db, const QString &text)
    : m_text(text)
    , m_query(db)
{
    m_query.setForwardOnly(true);
}

bool KvtPreparedQuery::exec(const Bindings &values)
{
    if (!m_prepared) {
        if (!m_query.prepare(m_text))
            return false;
        m_prepared = true;
    }
    for (const auto &value : values)
        m_query.bindValue(value.first, value.second);
    return m_query.exec();
}

int KvtPreparedQuery::firstInt()
{
    const int value = m_query.next() ? m_query.value(0).toInt() : 0;
    m_query.finish();
    return value;
}

KvtSqlStatus KvtPreparedQuery::status() const
{
    return m_query.isActive() ? KvtSqlStatus() : KvtSqlStatus::failureOf(m_query);
}

KvtSqlStatus KvtPreparedQuery::run(const Bindings &values)
{
    return exec(values) ? KvtSqlStatus() : KvtSqlStatus::failureOf(m_query);
}
