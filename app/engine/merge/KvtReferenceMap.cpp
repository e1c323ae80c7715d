#include "KvtReferenceMap.h"

#include "KvtPreparedQuery.h"
#include "KvtReferenceSql.h"
#include "KvtSql.h"
#include "KvtSqlName.h"
#include "PSqlIdentifier.h"
#include "KvtTables.h"

#include <QSqlQuery>
#include <QSqlRecord>

namespace {

// Rows of one multi-row INSERT of added entries.
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
    m_added.clear();
}

void KvtReferenceMap::add(kvtTableName table, Id source, Id destination)
{
    m_entries[table].insert(qMakePair(source.part, source.id), Target{destination, false});
    m_added[table].append(qMakePair(source, destination));
}

KvtSqlStatus KvtReferenceMap::addSelected(kvtTableName table, const QString &select)
{
    const KvtSqlStatus status = writeAdded(table);
    return status ? write(table, KvtReferenceSql::addSelected(serverTable(table), select)) : status;
}

KvtSqlStatus KvtReferenceMap::read(kvtTableName table)
{
    KvtSqlStatus status = writeAdded(table);
    if (!status)
        return status;
    Entries &entries = m_entries[table];
    entries.clear();
    if (!m_created.contains(table))
        return status;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.exec(KvtReferenceSql::readMap(serverTable(table))))
        return KvtSqlStatus::failureOf(query);
    const QVector<int> at = KvtSql::positions(query.record(), {QStringLiteral("src_part"), QStringLiteral("src_id"),
                                                              QStringLiteral("dst_part"), QStringLiteral("dst_id"),
                                                              QStringLiteral("same")});
    while (query.next())
        entries.insert(qMakePair(query.value(at[0]).toLongLong(), query.value(at[1]).toLongLong()),
                       Target{Id{query.value(at[2]).toLongLong(), query.value(at[3]).toLongLong()},
                              query.value(at[4]).toInt() != 0});
    return status;
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

bool KvtReferenceMap::anyMoved(kvtTableName table) const
{
    const Entries entries = m_entries.value(table);
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
// every row) cost least; a server without that engine (1286) gives it the default one.
KvtSqlStatus KvtReferenceMap::create(kvtTableName table)
{
    if (m_created.contains(table))
        return {};
    const QString map = serverTable(table);
    KvtSqlStatus status = run(QStringLiteral("DROP TEMPORARY TABLE IF EXISTS ") + map);
    if (status)
        status = run(KvtReferenceSql::createMap(map, QStringLiteral("MEMORY")));
    if (!status && status.code() == QLatin1String("1286"))
        status = run(KvtReferenceSql::createMap(map, QString()));
    if (status)
        m_created << table;
    return status;
}

// A map that outgrows the server's max_heap_table_size ("table is full", 1114) moves to the
// default engine for temporary tables, and the statement runs again: its entries replace
// those it wrote before it failed.
KvtSqlStatus KvtReferenceMap::write(kvtTableName table, const QString &statement)
{
    KvtSqlStatus status = create(table);
    if (status)
        status = run(statement);
    if (status || status.code() != QLatin1String("1114"))
        return status;
    QSqlQuery engine(m_db);
    if (!engine.exec(QStringLiteral("SELECT COALESCE(NULLIF(@@default_tmp_storage_engine, ''), "
                                    "@@default_storage_engine)"))
        || !engine.next())
        return KvtSqlStatus::failureOf(engine);
    status = run(QStringLiteral("ALTER TABLE ") + serverTable(table) + QStringLiteral(" ENGINE=")
                 + engine.value(0).toString());
    return status ? run(statement) : status;
}

KvtSqlStatus KvtReferenceMap::writeAdded(kvtTableName table)
{
    const QVector<QPair<Id, Id>> added = m_added.take(table);
    QStringList rows;
    for (int i = 0; i < added.size(); ++i) {
        const QPair<Id, Id> &entry = added.at(i);
        rows << QStringLiteral("(%1,%2,%3,%4)")
                    .arg(entry.first.part)
                    .arg(entry.first.id)
                    .arg(entry.second.part)
                    .arg(entry.second.id);
        if (rows.size() == rowsPerInsert || i + 1 == added.size()) {
            const KvtSqlStatus status = write(table, KvtReferenceSql::addValues(serverTable(table), rows));
            if (!status)
                return status;
            rows.clear();
        }
    }
    return {};
}

KvtSqlStatus KvtReferenceMap::store()
{
    KvtSqlStatus status = KvtSql::readColumns(m_db, m_source, m_sourceColumns);
    for (const kvtTableName table : KvtRelations::targets()) {
        if (status)
            status = create(table);
        if (status)
            status = writeAdded(table);
        if (status)
            status = run(KvtReferenceSql::markSame(table, serverTable(table), m_source, m_sourceColumns,
                                                   m_destination));
    }
    return status;
}

void KvtReferenceMap::drop()
{
    if (m_db.isOpen())
        for (const kvtTableName table : qAsConst(m_created))
            run(QStringLiteral("DROP TEMPORARY TABLE IF EXISTS ") + serverTable(table));
    m_created.clear();
}
