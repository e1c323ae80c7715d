#ifndef KVTPREVIEWSQL_H
#define KVTPREVIEWSQL_H

#include "KvtRelations.h"
#include "KvtSql.h"
#include "KvtTableSql.h"

#include <QString>
#include <QStringList>
#include <QVector>

// The read-only statements with which a preview foresees the merge of one table of one
// source database. The destination is taken as the merge will find it: the destination
// itself plus the same table of every source merged before this one. A source row is
// "present" when a row equal to it (NULL-safe, in the merge's compared columns) is there,
// or earlier in its own source (equal rows of one source are copied once); otherwise a
// reference row whose key is there conflicts, and any other row would be inserted.
class KvtPreviewSql
{
public:
    // One database's copy of the table: the columns it has (a compared column it lacks
    // reads as NULL, as in the merge) and the index that serves the probes for equal rows
    // (empty: left to the server).
    // tables: the columns of the database's merged tables, for the reference records a
    // row names (a table not listed counts as described).
    struct Copy {
        QString database;
        QStringList columns;
        QString probeIndex;
        KvtSql::Columns tables;
    };

    // ordered: the source's ID orders its rows without ties (KvtSourceKey::usable()).
    KvtPreviewSql(kvtTableName table, const Copy &source, const Copy &destination,
                  const QVector<Copy> &earlier, bool ordered);

    // The columns two rows must agree in to be the same record.
    static QStringList comparedColumns(kvtTableName table);
    // A reference table's key column, and the columns of its records as the comparison
    // dialog shows them.
    static QString keyColumn(kvtTableName table);
    static QStringList recordColumns(kvtTableName table);

    // Measurement tables: one row with the source's row count, the rows to insert and, of
    // those (named rowsName, insertedName, mismatchedName), the rows a plain merge would leave naming a reference record of other content
    // or none. A reference names the destination's record with its identifier; where the
    // destination has none, that of the first earlier source with one, or else the
    // source's own record, which the merge inserts under the same identifier. A new person
    // gets a new ID, so for people only the destination's record counts.
    QString measurementCounts() const;
    // Reference tables: one row per class of equal source rows, ordered by key: the record
    // columns, the number of rows (rowsName), whether an equal row is there (presentName,
    // 0/1) and whether the key is taken (takenName, 0/1).
    QString referenceClasses() const;
    // The record that holds the key :key0 ... :keyN (one per database, all bound to the
    // key) where the merge will meet it: the position of that database (originName: 0 the
    // destination, 1 the first earlier source ...) and the record columns.
    QString takenRecord() const;
    int takenRecordKeys() const { return 1 + m_earlier.size(); }
    // The names of the counts and facts in these results; a record's columns go under
    // their own names.
    static const QString rowsName;       // measurementCounts(), referenceClasses()
    static const QString insertedName;   // measurementCounts()
    static const QString mismatchedName; // measurementCounts()
    static const QString presentName;    // referenceClasses()
    static const QString takenName;      // referenceClasses()
    static const QString originName;     // takenRecord()

    // The facts a merge of a reference table decides by, as conditions on the source row
    // under the alias "s" (the preview's and the merge's own set-based path share them):
    // an equal record is in the destination; the source row's key is taken there; an
    // earlier source row (alias "d", holding `range`) has the same key but other content.
    QString presentInDestination() const;
    QString keyTakenInDestination() const;
    QString earlierOfKeyDiffers(const QString &range) const;
    // The source row's value of a column; NULL for a column the source lacks.
    QString sourceValue(const QString &column) const;

private:
    static KvtSql::Row row(const QString &alias, const Copy &copy);
    static QString value(const QString &alias, const QString &column, const Copy &copy);
    QString sameRow(const QString &alias, const Copy &copy) const;
    QString probe(const Copy &copy, const QString &condition) const;
    QString taken(const QString &alias, const Copy &copy) const;
    QString notInDestination() const;
    QString referenceMismatched() const;
    QString namedRecordMatches(const KvtRelation &relation) const;
    QString table(const Copy &copy) const;

    kvtTableName m_table;
    QString m_tableName;
    Copy m_source;
    Copy m_destination;
    QVector<Copy> m_earlier;
    bool m_ordered;
};

#endif // KVTPREVIEWSQL_H
