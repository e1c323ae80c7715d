#ifndef KVTCHUNKSQL_H
#define KVTCHUNKSQL_H

#include "KvtReferenceSql.h"
#include "KvtTableSql.h"

#include <QString>
#include <QStringList>

// The statements that copy a measurement table from a source database into the
// destination on the server, one range of source IDs (a chunk) at a time, with the same
// outcome as handing every source row in ID order to the per-row insert:
// - a source row is copied only when no destination row equals it (<=> in every compared
//   column); rows copied by earlier chunks are destination rows by then;
// - of equal source rows within a chunk only the one with the smallest ID is copied (a
//   later one equals it, so it would find it in the destination);
// - the copies get consecutive IDs from :nextId on, in source ID order, as the
//   destination's counter would give them one insert at a time.
// A compared or copied column the source lacks reads as NULL, as in the per-row read.
class KvtChunkSql
{
public:
    // sourceColumns: the columns the source table has (any letter case).
    KvtChunkSql(const KvtTableSql &table, const QString &source, const QString &destination,
                const QStringList &sourceColumns);

    // Columns, data types and nullability of a table (:schema, :table).
    static QString tableColumns();
    // The destination's next generated ID, NULL without a counter, and the step between
    // two generated IDs (:schema, :table).
    static QString idCounter();
    // Index name, column and NON_UNIQUE of every index column of a table, in index order
    // (:schema, :table).
    static QString indexColumns();

    // The indexes the probes for equal rows must use, in the destination and the source
    // (empty: left to the server). Named for the probes, because the server judges a table
    // by statistics that do not follow the chunks copied into it: a destination that was
    // empty at the start would be scanned whole for every row.
    void setProbeIndexes(const QString &destinationIndex, const QString &sourceIndex);

    // "SELECT MIN(ID)": the first source ID, and the first after :after.
    QString firstId() const;
    QString idAfter() const;
    // Number of rows and last ID of the chunk of at most :rows rows from ID :from on.
    QString chunkEnd() const;
    // Average size of the signal of the first rows of the source (no text for a table
    // without a signal column).
    QString signalSample() const;
    // Copies the rows with IDs :from to :to; new IDs from :nextId on.
    QString copyChunk() const;

    // Keeping references consistent: the rows are copied, and compared with the
    // destination's, with their references translated.
    void setTranslation(const KvtReferenceSql::Translation &translation) { m_translation = translation; }
    // Over the whole source, before the first chunk: the number of rows the copy will
    // insert whose references it translates, and of those naming a record of other
    // content or none (one row of two numbers).
    QString countReferences() const;
    // The first :rows of the latter: ID, then 1 when the reference is missing in its source.
    QString mismatchedRows() const;

private:
    QString sourceValue(const QString &alias, const QString &column) const;
    static QString indexHint(const QString &index);
    QString destinationProbe() const;
    QString earlierDuplicateProbe() const;
    QString toBeCopied(const QString &rows) const;

    KvtTableSql m_table;
    QString m_source;
    QString m_destination;
    QStringList m_sourceColumns;
    QString m_destinationIndex;
    QString m_sourceIndex;
    KvtReferenceSql::Translation m_translation;
};

#endif // KVTCHUNKSQL_H
