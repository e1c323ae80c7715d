#ifndef KVTROWFINGERPRINT_H
#define KVTROWFINGERPRINT_H

#include "global_vars.h"

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVector>

// What identifies a row of a merged table in the destination, and the fingerprint of its
// content that the merge journal keeps. The fingerprint is computed on the server, so a
// signal never travels to the client: an MD5 (32 hex digits) over the table's described
// columns (KvtTables). Byte-exact: a value changed only in case or trailing blanks, a NULL
// against an empty text, or a single byte of a signal changes it.
namespace KvtRowFingerprint {

// The form of a fingerprint. A run keeps the kind it was journaled with (MergeJournal::Run),
// so that its rows are compared in that form as long as it can be undone; a new kind gets
// the next number and the old ones stay.
enum class Kind {
    Md5OfMd5s = 0,   // the MD5 of the MD5s of the columns, NULL as "-"
    Md5OfQuoted = 1, // one MD5 over the columns' QUOTE()s joined: a NULL is the bare word
                     // NULL, every value is quoted with its quotes escaped, so no value can
                     // pass into its neighbour; a fifth of the cost of Md5OfMd5s
    Md5OfQuotedDigests = 2, // Md5OfQuoted with a signal (a binary column) entering as the
                            // MD5 of its bytes: quoting 4 KB of signal cost more than its
                            // digest, and twice the whole fingerprint's time on graphics
};
constexpr Kind newest = Kind::Md5OfQuotedDigests;

// The column that names one row: DetTypeZone for zones, ID for every other table.
QString identifierColumn(kvtTableName table);
// The columns the fingerprint covers, in the description's order.
QStringList columns(kvtTableName table);
// A column's value (an SQL expression) as the fingerprint of that kind takes it.
QString entry(const QString &expression, bool binary, Kind kind = newest);
// The fingerprint over the given entries, one per column of columns(). A run's rows are
// written with `newest` and compared in the run's own kind.
QString over(const QStringList &entries, Kind kind = newest);
// The fingerprint of a row of the table; alias may be empty (RETURNING).
QString of(kvtTableName table, const QString &alias, Kind kind = newest);

// The current fingerprints of the rows with these identifiers in database.table; a row that
// is not there is missing from `fingerprints`. True on success, error set otherwise.
bool read(const QSqlDatabase &db, const QString &database, kvtTableName table, const QVector<qlonglong> &ids,
          QHash<qlonglong, QString> &fingerprints, QString *error = nullptr, Kind kind = newest);

} // namespace KvtRowFingerprint

#endif // KVTROWFINGERPRINT_H
