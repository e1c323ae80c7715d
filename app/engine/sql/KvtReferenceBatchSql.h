#ifndef KVTREFERENCEBATCHSQL_H
#define KVTREFERENCEBATCHSQL_H

#include "KvtPreviewSql.h"
#include "KvtTables.h"

#include <QPair>
#include <QString>
#include <QStringList>

class QSqlRecord;

// The statements that merge a reference table on the server, a batch at a time in the
// order of the source's primary key (an integer column without ties):
// - decisions(): for the source records after a key, in order, the record itself and
//   whether an equal record is in the destination, whether its key is taken there, and
//   whether an earlier record of the batch has its key with other content. The caller
//   walks them as the per-row merge would and ends the batch at the first conflict.
// - insert(): the records the walk found insertable, in one statement, each with the
//   identifier the table's rule gives it: the source's key, the destination's counter, or
//   the destination's largest ID plus the record's place in source order, read inside
//   the same statement (no table lock, no cached statistic). The counter's records go in
//   as a VALUES list with the values the decisions read: the server then knows the row
//   count and takes exactly that many counter values, where an INSERT ... SELECT takes
//   them in growing blocks and leaves a gap the per-row path would not leave. (Not a
//   prepared statement: the MySQL driver loses a prepared RETURNING's rows.)
// The probes are the preview's (KvtPreviewSql): one description of "present", "key
// taken" and "conflict". A column the source lacks reads as NULL.
class KvtReferenceBatchSql
{
public:
    // sourceColumns: the columns the source table has; order: its primary key column.
    KvtReferenceBatchSql(kvtTableName table, const QString &source, const QStringList &sourceColumns,
                         const QString &destination, const QString &order);

    // Columns: the record (KvtTable::columnNames order), then, named as in
    // DecisionColumns: present, key taken, an earlier record of its key differs (each
    // 0/1) and the order key.
    // after: an order key as the server gave it, empty for the first batch.
    QString decisions(const QString &after, int rows) const;
    // Where a result of decisions() holds each fact, found by name (-1: not there).
    struct DecisionColumns
    {
        int present = -1;
        int keyTaken = -1;
        int earlierDiffers = -1;
        int order = -1;
    };
    static DecisionColumns decisionColumns(const QSqlRecord &result);
    // Where a result of insert() with returning, or of insertedIds(), holds the ID and the
    // key, found by name.
    QPair<int, int> idAndKeyColumns(const QSqlRecord &result) const;

    // What insert() hands back of every inserted record (RETURNING, MariaDB 10.5 and
    // later): nothing; ID and key, for a generated or numbered table only (nothing for
    // the others); or identifier, key and fingerprint (for the journal), for any table.
    enum class Returning { Nothing, Ids, IdsAndFingerprints };
    // Where a result of insert() with IdsAndFingerprints holds identifier and fingerprint.
    struct FingerprintColumns
    {
        int id = -1;
        int fingerprint = -1;
    };
    FingerprintColumns fingerprintColumns(const QSqlRecord &result) const;

    // Inserts the source records with these order keys (integers as the server gave
    // them). For a table whose destination generates the ID (valuesList()) `keys` are
    // the rows of a VALUES list instead: "(v1, v2, ...)", SQL literals of the records'
    // Copied columns in order.
    QString insert(const QStringList &keys, Returning returning, bool windowFunctions) const;
    // Without returning: ID and key of the destination records holding these keys (SQL
    // literals).
    QString insertedIds(const QStringList &keyLiterals) const;
    // Keeping references: the key map's entries (KvtReferenceSql::mapEntry) of the source
    // records with order keys after `after` (empty: from the first) up to `last`, once
    // they are present in the destination or inserted: a record keeps its identifier, a
    // person takes the destination ID holding the TabNo. Only for a table rows name.
    QString mapped(const QString &after, const QString &last) const;
    // True when the destination gives the identifiers (factory, humans): insert() with
    // returning, or insertedIds(), tells them.
    bool destinationNumbers() const { return m_table.idRule != IdRule::FromSource; }
    bool valuesList() const { return m_table.idRule == IdRule::Generated; }

private:
    QString sourceTable() const;
    QString destinationTable() const;
    QString inList(const QStringList &keys) const;
    QString orderRange(const QString &after) const;
    QString personOf(const QString &tabNo) const;

    const KvtTable &m_table;
    QString m_source;
    QString m_destination;
    QString m_orderColumn;
    QString m_order; // quoted
    KvtPreviewSql m_probes;
};

#endif // KVTREFERENCEBATCHSQL_H
