#ifndef KVTREFERENCESQL_H
#define KVTREFERENCESQL_H

#include "KvtRelations.h"
#include "KvtSql.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

class KvtReferenceMap;

// The SQL that checks and translates the references of measurement rows, built from the
// relations (KvtRelations).
namespace KvtReferenceSql {

// The content (KvtRelations::content) of the records a and b of `target` is equal; a
// column a copy lacks reads as NULL.
QString sameContent(kvtTableName target, const KvtSql::Row &a, const KvtSql::Row &b);

// Why a row's reference counts as mismatched.
enum class Mismatch { None = 0, MissingInSource = 1, MissingInDestination = 2, OtherContent = 3 };
QString describe(Mismatch kind);

// The key map's temporary table of a reference table (KvtReferenceMap `map`, with its
// database): per entry the identifier the source gives a record (src_part, src_id) and the
// one the record has in the destination (dst_part, dst_id), the part being a zone's part
// type and 0 elsewhere; same is 1 when both records have the same content (markSame()).
// engine: empty for the server's default.
QString createMap(const QString &map, const QString &engine);
// The four identifiers of an entry, as expressions of a SELECT.
struct MapEntry
{
    QString sourcePart;
    QString sourceId;
    QString destinationPart;
    QString destinationId;
};
// The SELECT list of an entry, each expression named as the map's column.
QString mapEntry(const MapEntry &entry);
// Entries into the map: the rows of `select` (a SELECT of mapEntry() and the rest of it),
// or VALUES rows "(src_part, src_id, dst_part, dst_id)" in this order. A later entry for
// a source identifier replaces an earlier one.
QString addSelected(const QString &map, const QString &select);
QString addValues(const QString &map, const QStringList &rows);
// Every entry, by name as createMap() names the columns.
QString readMap(const QString &map);
// Sets same = 1 on the entries whose source record (in `source`, whose tables have
// `sourceTables`' columns) and destination record have the same content.
QString markSame(kvtTableName target, const QString &map, const QString &source, const KvtSql::Columns &sourceTables,
                 const QString &destination);

// The translation of a source row `alias` through the map's temporary tables.
struct Translation
{
    QString joins;                  // " LEFT JOIN <map> r0 ON ...", after "FROM <source> s"
    QHash<QString, QString> values; // lower-case column -> its translated value
    QString translated;             // 1 when a value changes
    QString mismatched;             // 1 when a reference names no record of the same content
};
Translation translation(const KvtReferenceMap &map, const QVector<KvtRelation> &relations,
                        const QString &alias);

// Rows of the destination table inserted with IDs in (:after, :last], their references not
// translated: the number whose reference names a record missing in the source or in the
// destination, or of other content in the two. insertedRows(): the first :rows of them,
// their ID (named ID) and a Mismatch number per relation (named as its column). sourceTables: the columns of the source's tables.
QString countInserted(const QVector<KvtRelation> &relations, const QString &source,
                      const KvtSql::Columns &sourceTables, const QString &destination, const QString &table);
QString insertedRows(const QVector<KvtRelation> &relations, const QString &source,
                     const KvtSql::Columns &sourceTables, const QString &destination, const QString &table);

} // namespace KvtReferenceSql

#endif // KVTREFERENCESQL_H
