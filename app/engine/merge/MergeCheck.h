#ifndef MERGECHECK_H
#define MERGECHECK_H

#include "KvtSqlStatus.h"

#include <QCoreApplication>
#include <QMap>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// What a merge (and its preview) makes sure of before anything is written: the
// destination and every source exist and hold the nine tables with their key and
// identifier columns (a reference table's; KvtRowFingerprint::identifierColumn),
// the destination every column the merge writes, and every one of those tables can be
// read. What is missing is gathered into one message, so that the operator learns all of
// it at once instead of at the step that meets it, after earlier steps wrote.
//
// A source may lack a non-key column (a source of an older KVT version): that column
// reads as NULL, and the check only names it in the log.
class MergeCheck
{
    Q_DECLARE_TR_FUNCTIONS(MergeCheck)

public:
    // Checks the destination and the sources (each once, the destination not as a source)
    // on db, and logs the columns each source lacks.
    static MergeCheck run(const QSqlDatabase &db, const QString &destination, const QStringList &sources);

    bool ok() const { return m_problems.isEmpty(); }
    // Success, or one failure naming everything missing, its code the server's number
    // for the first problem (1049 an unknown database, 1146 a missing table, 1054 a
    // missing column, else the error of the statement that could not read).
    KvtSqlStatus status() const;
    // Per source, its columns that the table description names and it lacks, as
    // "table.column".
    QMap<QString, QStringList> lackedColumns() const { return m_lackedColumns; }

private:
    void checkDatabase(const QSqlDatabase &db, const QString &database, bool isDestination);
    void addProblem(const QString &text, const QString &code);

    QStringList m_problems;
    QString m_code;
    QMap<QString, QStringList> m_lackedColumns;
};

#endif // MERGECHECK_H
