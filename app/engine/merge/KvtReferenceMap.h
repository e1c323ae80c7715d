#ifndef KVTREFERENCEMAP_H
#define KVTREFERENCEMAP_H

#include "KvtRelations.h"
#include "KvtSql.h"
#include "KvtSqlStatus.h"
#include "global_vars.h"

#include <QHash>
#include <QPair>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

// The key map of one source database in the mode "Keep references consistent": for every
// reference record the merge settled, the identifier the source gave it and the one it
// has in the destination. The map is held on the server, one temporary table per
// reference table in the destination database (dropped with the connection or by drop()):
// the set-based reference step writes a batch's entries with one statement
// (addSelected()), a record decided on its own (a conflict, a record merged per row)
// enters with add() and is written with the table's next statement. The measurement rows
// are written with their identifiers translated through it: on the server by joining the
// tables, on the per-row path by lookUp() on the entries read back (read()).
//
// store() also marks each entry whose source and destination records have the same
// content (KvtRelations::content): a row naming an unmarked entry, or an identifier
// without an entry (a record missing from its own source), is counted as mismatched.
class KvtReferenceMap
{
public:
    // A record's identifier as a row names it: the ID, and for a zone its part type.
    struct Id
    {
        qint64 part = 0;
        qint64 id = 0;
    };
    // A translated identifier: where the record is, and whether it has the same content.
    struct Target
    {
        Id id;
        bool same = false;
    };

    explicit KvtReferenceMap(const QSqlDatabase &db);

    // Starts the map of a source database; the earlier source's entries are dropped.
    void start(const QString &source, const QString &destination);
    // A later entry for a source identifier replaces the earlier one.
    void add(kvtTableName table, Id source, Id destination);
    // The entries a SELECT of KvtReferenceSql::mapEntry() gives, written on the server.
    KvtSqlStatus addSelected(kvtTableName table, const QString &select);
    // Reads the table's entries back: lookUp() and anyMoved() know them, and those added
    // since.
    KvtSqlStatus read(kvtTableName table);
    bool lookUp(kvtTableName table, Id source, Target &target) const;
    // True when a record of the table maps to another identifier than its own.
    bool anyMoved(kvtTableName table) const;

    // The destination identifiers of the records of `table` matching `condition` (a
    // WHERE text with placeholders), in identifier order.
    KvtSqlStatus destinationIds(kvtTableName table, const QString &condition,
                                const QVector<QPair<QString, QVariant>> &values, QVector<Id> &ids) const;

    // Writes what is left to write, so that every reference table has its map on the
    // server, and marks the entries that name records of the same content.
    KvtSqlStatus store();
    void drop();

    // The temporary table of a reference table's map, with the database.
    QString serverTable(kvtTableName table) const;

private:
    using Entries = QHash<QPair<qint64, qint64>, Target>;

    KvtSqlStatus run(const QString &text) const;
    KvtSqlStatus create(kvtTableName table);
    KvtSqlStatus write(kvtTableName table, const QString &statement);
    KvtSqlStatus writeAdded(kvtTableName table);

    QSqlDatabase m_db;
    QString m_source;
    QString m_destination;
    KvtSql::Columns m_sourceColumns; // a source of an older version may lack some
    QHash<int, Entries> m_entries;   // read back, and added since
    QHash<int, QVector<QPair<Id, Id>>> m_added; // added, not yet written
    QVector<kvtTableName> m_created;
};

#endif // KVTREFERENCEMAP_H
