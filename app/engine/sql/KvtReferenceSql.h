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
