#include "KvtPreparedQuery.h"

#include "KvtSql.h"
#include "PSqlNull.h"

#include <QRegularExpression>

KvtPreparedQuery::KvtPreparedQuery(const QSqlDatabase &db, const QString &text, Mode mode)
    : m_text(text)
    , m_query(db)
    , m_mode(mode)
{
    m_query.setForwardOnly(true);
}

bool KvtPreparedQuery::exec(const Bindings &values)
{
    if (m_mode == Mode::Inline)
        return m_query.exec(inlined(values));
    if (!m_prepared) {
        if (!m_query.prepare(m_text))
            return false;
        m_prepared = true;
    }
    for (const auto &value : values)
        m_query.bindValue(value.first, PSqlNull::bindable(value.second));
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

QString KvtPreparedQuery::inlined(const Bindings &values) const
{
    static const QRegularExpression placeholder(QStringLiteral(":[A-Za-z_][A-Za-z0-9_]*"));
    QString text;
    int from = 0;
    QRegularExpressionMatchIterator it = placeholder.globalMatch(m_text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        text += m_text.mid(from, match.capturedStart() - from);
        from = match.capturedEnd();
        QString literal = match.captured();
        for (const auto &value : values)
            if (value.first == match.captured()) {
                literal = KvtSql::literal(value.second);
                break;
            }
        text += literal;
    }
    return text + m_text.mid(from);
}
