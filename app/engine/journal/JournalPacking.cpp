#include "JournalPacking.h"

namespace JournalPacking {

namespace {

enum Format : char { Texts = 0, Hex = 1 };

void putNumber(QByteArray &out, quint64 value)
{
    while (value >= 0x80) {
        out.append(char(0x80 | (value & 0x7f)));
        value >>= 7;
    }
    out.append(char(value));
}

// Signed values as zig-zag: small magnitudes stay short.
void putSigned(QByteArray &out, qlonglong value)
{
    putNumber(out, (quint64(value) << 1) ^ quint64(value >> 63));
}

bool takeNumber(const QByteArray &in, int &at, quint64 &value)
{
    value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        if (at >= in.size())
            return false;
        const quint64 byte = quint8(in.at(at++));
        value |= (byte & 0x7f) << shift;
        if (!(byte & 0x80))
            return true;
    }
    return false;
}

bool takeSigned(const QByteArray &in, int &at, qlonglong &value)
{
    quint64 raw = 0;
    if (!takeNumber(in, at, raw))
        return false;
    value = qlonglong(raw >> 1) ^ -qlonglong(raw & 1);
    return true;
}

bool isLowerHex(const QString &text)
{
    if (text.isEmpty() || text.size() % 2 != 0)
        return false;
    for (const QChar c : text)
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))))
            return false;
    return true;
}

} // namespace

// Arithmetic on identifiers wraps (modulo 2^64) instead of overflowing: a step between
// any two identifiers exists, and idsOf() gives back exactly what runsOf() was given.
QVector<IdRun> runsOf(const QVector<qlonglong> &ids)
{
    QVector<IdRun> runs;
    for (const qlonglong id : ids) {
        if (!runs.isEmpty()) {
            IdRun &last = runs.last();
            if (last.count == 1 && id != last.start) {
                last.step = qlonglong(quint64(id) - quint64(last.start));
                last.count = 2;
                continue;
            }
            if (last.count > 1 && quint64(id) == quint64(last.start) + quint64(last.count) * quint64(last.step)) {
                ++last.count;
                continue;
            }
        }
        runs << IdRun{id, 1, 0};
    }
    return runs;
}

QVector<qlonglong> idsOf(const QVector<IdRun> &runs)
{
    QVector<qlonglong> ids;
    for (const IdRun &run : runs)
        for (qlonglong i = 0; i < run.count; ++i)
            ids << qlonglong(quint64(run.start) + quint64(i) * quint64(run.step));
    return ids;
}

QByteArray packIds(const QVector<qlonglong> &ids)
{
    QByteArray out;
    for (const IdRun &run : runsOf(ids)) {
        putSigned(out, run.start);
        putNumber(out, quint64(run.count));
        putSigned(out, run.step);
    }
    return out;
}

bool unpackIds(const QByteArray &packed, QVector<qlonglong> &ids)
{
    ids.clear();
    QVector<IdRun> runs;
    int at = 0;
    while (at < packed.size()) {
        IdRun run;
        quint64 count = 0;
        if (!takeSigned(packed, at, run.start) || !takeNumber(packed, at, count) || !takeSigned(packed, at, run.step)
            || count == 0 || count > (1u << 30))
            return false;
        run.count = qlonglong(count);
        runs << run;
    }
    ids = idsOf(runs);
    return true;
}

QByteArray packFingerprints(const QStringList &fingerprints)
{
    QByteArray out;
    const int width = fingerprints.isEmpty() ? 0 : fingerprints.first().size();
    bool hex = width > 0;
    for (const QString &f : fingerprints)
        hex = hex && f.size() == width && isLowerHex(f);
    if (hex) {
        out.append(char(Hex));
        putNumber(out, quint64(width / 2));
        for (const QString &f : fingerprints)
            out.append(QByteArray::fromHex(f.toLatin1()));
        return out;
    }
    out.append(char(Texts));
    for (const QString &f : fingerprints) {
        const QByteArray text = f.toUtf8();
        putNumber(out, quint64(text.size()));
        out.append(text);
    }
    return out;
}

bool unpackFingerprints(const QByteArray &packed, QStringList &fingerprints)
{
    fingerprints.clear();
    if (packed.isEmpty())
        return true;
    int at = 1;
    if (packed.at(0) == char(Hex)) {
        quint64 width = 0;
        if (!takeNumber(packed, at, width) || width == 0 || (packed.size() - at) % int(width) != 0)
            return false;
        for (; at < packed.size(); at += int(width))
            fingerprints << QString::fromLatin1(packed.mid(at, int(width)).toHex());
        return true;
    }
    if (packed.at(0) != char(Texts))
        return false;
    while (at < packed.size()) {
        quint64 size = 0;
        if (!takeNumber(packed, at, size) || size > quint64(packed.size() - at))
            return false;
        fingerprints << QString::fromUtf8(packed.mid(at, int(size)));
        at += int(size);
    }
    return true;
}

bool isSet(const QByteArray &bits, int position)
{
    const int byte = position / 8;
    return byte < bits.size() && (quint8(bits.at(byte)) >> (position % 8)) & 1;
}

void set(QByteArray &bits, int position)
{
    const int byte = position / 8;
    if (bits.size() <= byte)
        bits.append(QByteArray(byte + 1 - bits.size(), '\0'));
    bits[byte] = char(quint8(bits.at(byte)) | (1u << (position % 8)));
}

} // namespace JournalPacking
