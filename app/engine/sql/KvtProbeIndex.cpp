#include "KvtProbeIndex.h"

#include "KvtChunkSql.h"

#include <QSet>
#include <QVariant>

KvtProbeIndex::KvtProbeIndex(const QSqlDatabase &db)
    : m_query(db, KvtChunkSql::indexColumns(), KvtPreparedQuery::Mode::Inline)
{
}

bool KvtProbeIndex::find(const QString &database, const QString &table,
                         const QStringList &columns, QString &index)
{
    index.clear();
    if (!m_query.exec({{QStringLiteral(":schema"), database}, {QStringLiteral(":table"), table}}))
        return false;
    QSet<QString> wanted;
    for (const QString &column : columns)
        wanted << column.toLower();
    QString current;
    int leading = 0;     // compared columns at the start of the current index
    bool inRun = false;  // the current index has had only compared columns so far
    int best = 0;
    QSqlQuery &rows = m_query.query();
    while (rows.next()) {
        const QString name = rows.value(0).toString();
        if (name != current) {
            current = name;
            leading = 0;
            inRun = true;
        }
        inRun = inRun && wanted.contains(rows.value(1).toString().toLower());
        if (inRun && ++leading > best) {
            best = leading;
            index = current;
        }
    }
    rows.finish();
    return true;
}
