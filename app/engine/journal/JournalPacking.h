#ifndef JOURNALPACKING_H
#define JOURNALPACKING_H

#include <QByteArray>
#include <QStringList>
#include <QVector>

// How the journal stores the rows of one write (a chunk, a batch) in one record: the
// identifiers as runs of (start, count, step) in the order the server named them, and
// the fingerprints packed as bytes. Another writer's rows may sit between ours and a
// Galera node steps its counter by 3, so a run covers exactly the identifiers listed,
// never a range from the smallest to the largest.
namespace JournalPacking {

struct IdRun
{
    qlonglong start = 0;
    qlonglong count = 0;
    qlonglong step = 0;
    bool operator==(const IdRun &other) const
    {
        return start == other.start && count == other.count && step == other.step;
    }
};

// The identifiers as runs, in their order: start, start + step, … (count of them).
QVector<IdRun> runsOf(const QVector<qlonglong> &ids);
QVector<qlonglong> idsOf(const QVector<IdRun> &runs);

// The runs as variable-length integers; false for bytes that are no such list.
QByteArray packIds(const QVector<qlonglong> &ids);
bool unpackIds(const QByteArray &packed, QVector<qlonglong> &ids);

// Fingerprints of one kind: lower-case hexadecimal texts of one length as their bytes,
// any other texts as they are, each with its length. Unpacked they are the same texts.
QByteArray packFingerprints(const QStringList &fingerprints);
bool unpackFingerprints(const QByteArray &packed, QStringList &fingerprints);

// A set of row positions (0 … count - 1) as a bitmap.
bool isSet(const QByteArray &bits, int position);
void set(QByteArray &bits, int position);

} // namespace JournalPacking

#endif // JOURNALPACKING_H
