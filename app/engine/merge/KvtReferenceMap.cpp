#include "KvtReferenceMap.h"

#include "KvtPreparedQuery.h"
#include "KvtReferenceSql.h"
#include "KvtSql.h"
#include "KvtSqlName.h"
#include "PSqlIdentifier.h"
#include "KvtTables.h"

#include <QSqlQuery>

namespace {

// Rows of one multi-row INSERT into a map table.
constexpr int rowsPerInsert = 500;

QString referenceTableName(kvtTableName table)
{
    return KvtTable::of(table).name;
}

} // namespace

KvtReferenceMap::KvtReferenceMap(const QSqlDatabase &db)
    : m_db(db)
{
}

void KvtReferenceMap::start(const QString &source, const QString &destination)
{
    drop();
    m_source = source;
    m_destination = destination;
    m_entries.clear();
}

void KvtReferenceMap::add(kvtTableName table, Id source, Id destination)
{
    m_entries[table].insert(qMakePair(source.part, source.id), Target{destination, false});
}

bool KvtReferenceMap::lookUp(kvtTableName table, Id source, Target &target) const
{
    const auto entries = m_entries.constFind(table);
    if (entries == m_entries.constEnd())
        return false;
    const auto found = entries->constFind(qMakePair(source.part, source.id));
    if (found == entries->constEnd())
        return false;
    target = *found;
    return true;
}

int KvtReferenceMap::size(kvtTableName table) const
{
    return m_entries.value(table).size();
}

bool KvtReferenceMap::anyMoved(kvtTableName table) const
{
    const QHash<QPair<qint64, qint64>, Target> entries = m_entries.value(table);
    for (auto it = entries.constBegin(); it != entries.constEnd(); ++it)
        if (it->id.part != it.key().first || it->id.id != it.key().second)
            return true;
    return false;
}

KvtSqlStatus KvtReferenceMap::destinationIds(kvtTableName table, const QString &condition,
                                             const QVector<QPair<QString, QVariant>> &values,
                                             QVector<Id> &ids) const
{
    ids.clear();
    const QStringList identifier = KvtRelations::identifier(table);
    KvtPreparedQuery query(m_db, QStringLiteral("SELECT ") + identifier.join(QStringLiteral(", "))
                                     + QStringLiteral(" FROM ")
                                     + PSqlIdentifier::qualified(m_destination, referenceTableName(table))
                                     + QStringLiteral(" WHERE ") + condition + QStringLiteral(" ORDER BY ")
                                     + identifier.join(QStringLiteral(", ")));
    const KvtSqlStatus status = query.run(values);
    if (!status)
        return status;
    while (query.query().next()) {
        Id id;
        id.id = query.query().value(identifier.size() - 1).toLongLong();
        if (identifier.size() > 1)
            id.part = query.query().value(0).toLongLong();
        ids << id;
    }
    return status;
}

QString KvtReferenceMap::serverTable(kvtTableName table) const
{
    return PSqlIdentifier::qualified(m_destination, QStringLiteral("kvtmerge_map_") + referenceTableName(table));
}

KvtSqlStatus KvtReferenceMap::run(const QString &text) const
{
    QSqlQuery query(m_db);
    return query.exec(text) ? KvtSqlStatus() : KvtSqlStatus::failureOf(query);
}

// A map is held in memory on the server, where the copy's lookups (one per reference of
// every row) cost least; one too large for the server's max_heap_table_size ("table is
// full", 1114), or a server without that engine (1286), takes the default engine.
KvtSqlStatus KvtReferenceMap::store()
{
    const KvtSqlStatus read = KvtSql::readColumns(m_db, m_source, m_sourceColumns);
    if (!read)
        return read;
    for (const kvtTableName table : KvtRelations::targets()) {
        KvtSqlStatus status = storeTable(table, true);
        if (!status && (status.code() == QLatin1String("1114") || status.code() == QLatin1String("1286")))
            status = storeTable(table, false);
        if (!status)
            return status;
    }
    return {};
}

// src_part and dst_part are a zone's part type and 0 for the other tables.
KvtSqlStatus KvtReferenceMap::storeTable(kvtTableName table, bool inMemory)
{
    const QString map = serverTable(table);
    KvtSqlStatus status = run(QStringLiteral("DROP TEMPORARY TABLE IF EXISTS ") + map);
    if (status)
        status = run(QStringLiteral("CREATE TEMPORARY TABLE ") + map
                     + QStringLiteral(" (src_part BIGINT NOT NULL, src_id BIGINT NOT NULL, "
                                      "dst_part BIGINT NOT NULL, dst_id BIGINT NOT NULL, "
                                      "same TINYINT NOT NULL DEFAULT 0, PRIMARY KEY (src_part, src_id))")
                     + (inMemory ? QStringLiteral(" ENGINE=MEMORY") : QString()));
    if (!status)
        return status;
    if (!m_created.contains(table))
        m_created << table;

    auto &entries = m_entries[table];
    QStringList rows;
    auto flush = [&]() {
        if (rows.isEmpty())
            return KvtSqlStatus();
        const QString text = QStringLiteral("INSERT INTO ") + map
                             + QStringLiteral(" (src_part, src_id, dst_part, dst_id) VALUES ")
                             + rows.join(QLatin1Char(','));
        rows.clear();
        return run(text);
    };
    for (auto it = entries.constBegin(); it != entries.constEnd(); ++it) {
        rows << QStringLiteral("(%1,%2,%3,%4)")
                    .arg(it.key().first)
                    .arg(it.key().second)
                    .arg(it->id.part)
                    .arg(it->id.id);
        if (rows.size() == rowsPerInsert && !(status = flush()))
            return status;
    }
    if (!(status = flush()))
        return status;

    // An entry names the same thing when both records exist and their content agrees.
    const QString name = referenceTableName(table);
    status = run(QStringLiteral("UPDATE ") + map + QStringLiteral(" m SET m.same = 1 WHERE EXISTS (SELECT 1 FROM ")
                 + PSqlIdentifier::qualified(m_source, name) + QStringLiteral(" s JOIN ")
                 + PSqlIdentifier::qualified(m_destination, name) + QStringLiteral(" d ON ")
                 + KvtReferenceSql::sameContent(table, KvtSql::rowOf(m_sourceColumns, table, QStringLiteral("s")),
                                                KvtSql::Row::described(QStringLiteral("d")))
                 + QStringLiteral(" WHERE ")
                 + KvtRelations::names(table, QStringLiteral("s"), QStringLiteral("m.src_part"),
                                       QStringLiteral("m.src_id"))
                 + QStringLiteral(" AND ")
                 + KvtRelations::names(table, QStringLiteral("d"), QStringLiteral("m.dst_part"),
                                       QStringLiteral("m.dst_id"))
                 + QLatin1Char(')'));
    if (!status)
        return status;
    QSqlQuery same(m_db);
    same.setForwardOnly(true);
    if (!same.exec(QStringLiteral("SELECT src_part, src_id FROM ") + map + QStringLiteral(" WHERE same = 1")))
        return KvtSqlStatus::failureOf(same);
    while (same.next())
        entries[qMakePair(same.value(0).toLongLong(), same.value(1).toLongLong())].same = true;
    return {};
}

void KvtReferenceMap::drop()
{
    if (m_db.isOpen())
        for (const kvtTableName table : qAsConst(m_created))
            run(QStringLiteral("DROP TEMPORARY TABLE IF EXISTS ") + serverTable(table));
    m_created.clear();
}
