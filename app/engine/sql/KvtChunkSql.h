#ifndef KVTCHUNKSQL_H
#define KVTCHUNKSQL_H

#include "KvtReferenceSql.h"
#include "KvtTableSql.h"

#include <QString>
#include <QStringList>

// The statements that copy a measurement table from a source database into the
// destination on the server, one range of source IDs (a chunk) at a time, with the same
// outcome as handing every source row in ID order to the per-row insert:
// - a source row is copied only when no destination row equals it (NULL-safely equal in every
//   compared column); rows copied by earlier chunks are destination rows by then;
// - of equal source rows within a chunk only the one with the smallest ID is copied (a
//   later one equals it, so it would find it in the destination);
// - the destination generates the copies' IDs, inserting them in source ID order. Nothing
//   depends on the counter's value, step or offset, or on other sessions inserting into
//   the same table meanwhile: their rows only leave gaps.
// A chunk takes two statements: the IDs of the rows to copy (or, where most of them are
// copied, of the rows to leave), then the INSERT ... SELECT of those rows by their IDs or
// their ID range. One statement would read the table it inserts into, and the server then
// buffers the rows in a temporary table whose read order (with signals in it) is not the
// ORDER BY's.
// A compared or copied column the source lacks reads as NULL, as in the per-row read.
class KvtChunkSql
{
public:
    // How equal source rows within one chunk are found.
    enum class EarlierDuplicates {
        // A probe for an equal row with a smaller ID, per row (any server).
        Probe,
        // ROW_NUMBER() over the rows of the chunk partitioned by the compared columns (a
        // server with window functions). Only for compared columns of fixed-size types:
        // the server partitions longer values by their first max_sort_length bytes.
        Window
    };

    // sourceColumns: the columns the source table has (any letter case).
    KvtChunkSql(const KvtTableSql &table, const QString &source, const QString &destination,
                const QStringList &sourceColumns);

    // True for a data type whose values a window partitions exactly (numbers and dates).
    static bool isFixedSizeType(const QString &dataType);
    // Index name, column and NON_UNIQUE of every index column of a table, in index order
    // (:schema, :table).
    static QString indexColumns();

    // The indexes the probes for equal rows must use, in the destination and the source
    // (empty: left to the server). Named for the probes, because the server judges a table
    // by statistics that do not follow the chunks copied into it: a destination that was
    // empty at the start would be scanned whole for every row.
    void setProbeIndexes(const QString &destinationIndex, const QString &sourceIndex);
    void setEarlierDuplicates(EarlierDuplicates test) { m_earlierDuplicates = test; }
    bool canListRowsToLeave() const { return !translating() && m_earlierDuplicates == EarlierDuplicates::Window; }

    // "SELECT MIN(ID)": the first source ID, and the first after :after.
    QString firstId() const;
    QString idAfter() const;
    // Number of rows and last ID of the chunk of at most :rows rows from ID :from on.
    QString chunkEnd() const;
    // Average size of the signal of the first rows of the source (no text for a table
    // without a signal column).
    QString signalSample() const;
    // The IDs, in order, of the rows with IDs :from to :to that are to be copied. With a
    // translation, each ID is followed by 1 or 0: whether the copy translates a reference
    // of the row, and whether one names no record of the same content.
    QString rowsToCopy() const;
    // The IDs, in order, of the rows with IDs :from to :to that are not to be copied: equal
    // to a destination row or to an earlier row of the chunk. Where few rows are present it
    // costs less than rowsToCopy(), which sends every ID. Only without a translation (whose
    // flags come with the rows copied) and with EarlierDuplicates::Window.
    QString rowsToLeave() const;
    // Copies the rows with these IDs (integers as the server gave them), in ID order.
    QString copyRows(const QStringList &ids) const;
    // Copies the rows with IDs from to to but those of except, in ID order: a chunk with
    // few rows present, as into an empty destination. A range costs the server a third
    // less than the same rows named one by one.
    QString copyRange(qlonglong from, qlonglong to, const QStringList &except) const;
    // The merge journal names the rows a chunk inserted with their fingerprints
    // (KvtRowFingerprint), ID first: where the server has INSERT ... RETURNING, by the
    // clause appended to copyRows() (the rows come in its ORDER BY); elsewhere by reading
    // back, inside the chunk's own transaction opened with snapshotTransaction(), the
    // destination's rows with IDs above its largest before the insert (destinationMaxId()).
    // REPEATABLE READ and a snapshot taken before the insert make that exactly the
    // transaction's own rows, whatever other sessions insert meanwhile and whatever the
    // counter's step.
    QString returning() const;
    static QStringList snapshotTransaction();
    QString destinationMaxId() const;
    QString insertedAfter(qlonglong maxBefore) const;

    // Keeping references consistent: the rows are copied, and compared with the
    // destination's, with their references translated.
    void setTranslation(const KvtReferenceSql::Translation &translation) { m_translation = translation; }
    bool translating() const { return !m_translation.joins.isEmpty(); }

private:
    QString sourceValue(const QString &column) const;
    QString destinationJoin() const;
    static QString notInDestination();
    QString earlierDuplicateProbe() const;
    QString numberedChunk(const QString &flags) const;
    QString rowNumber() const;
    QString copyWhere(const QString &condition) const;

    KvtTableSql m_table;
    QString m_source;
    QString m_destination;
    QStringList m_sourceColumns;
    QString m_destinationIndex;
    QString m_sourceIndex;
    KvtReferenceSql::Translation m_translation;
    EarlierDuplicates m_earlierDuplicates = EarlierDuplicates::Probe;
};

#endif // KVTCHUNKSQL_H
