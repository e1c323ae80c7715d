#include "RandomMeasurements.h"

#include "EngineTestData.h"
#include "KvtTableSql.h"

#include <QByteArray>
#include <QHash>

#include <algorithm>

namespace {

const QStringList ints{"NULL", "0", "1", "2", "-7", "2147483647"};
const QStringList tinyInts{"NULL", "0", "1", "-128", "127"};

const QHash<QString, QStringList> &pools()
{
    static const QHash<QString, QStringList> pools{
        {"ProdYear", {"NULL", "0", "1999", "2025", "-32768"}},
        {"Date", {"NULL", "'0000-00-00'", "'2024-02-29'", "'2025-12-31'", "'1000-01-01'"}},
        {"Time", {"NULL", "'00:00:00'", "'23:59:59'", "'-12:30:00'", "'838:59:59'"}},
        {"DefectSize", {"NULL", "0", "1.5", "12345678901234.123456", "12345678901234.123457",
                        "-0.000001"}},
        {"Amplitude", {"NULL", "0", "0.1e0 + 0.2e0", "0.3e0", "1e300", "-2.5e-300", "1 / 3e0"}},
        {"CRC32", {"NULL", "0", "4294967295", "123456789"}},
        {"Picture", {"NULL", "''", "'снимок №1'", "'Снимок №1'", "'a  '", "'ß'"}},
        {"Printed", tinyInts}, {"DataType", tinyInts}, {"FieldType", tinyInts},
        {"GradientType", tinyInts}, {"CountType", tinyInts}, {"Synced", tinyInts}};
    return pools;
}

QString hexOf(const QByteArray &bytes)
{
    return QStringLiteral("X'") + QString::fromLatin1(bytes.toHex()) + QLatin1Char('\'');
}

} // namespace

RandomMeasurements::RandomMeasurements(quint32 seed)
    : m_random(seed)
{
    QByteArray signal(2000, Qt::Uninitialized);
    for (char &byte : signal)
        byte = char(m_random.bounded(256));
    m_signal = hexOf(signal);
    signal[1500] = char(signal.at(1500) ^ 1);
    m_signalOneByteOff = hexOf(signal);
    m_nextId = 1 + m_random.bounded(1000);
}

QStringList RandomMeasurements::fill(const QString &database, const QString &table, int rows,
                                     bool explicitIds)
{
    QStringList columns = EngineTestData::copiedColumns(table);
    QVector<QStringList> values;
    for (int i = 0; i < rows; ++i) {
        const bool derived = !(table == "defects" ? m_defects : m_graphics).isEmpty()
                             && m_random.bounded(10) >= 4;
        values << (derived ? derivedRow(table) : newRow(table));
        (table == "defects" ? m_defects : m_graphics) << values.last();
        if (explicitIds) {
            m_nextId += 1 + m_random.bounded(4);
            values.last().prepend(QString::number(m_nextId));
        }
    }
    if (explicitIds) {
        columns.prepend("ID");
        std::shuffle(values.begin(), values.end(), m_random);
    }
    for (QString &column : columns)
        column = EngineTestData::q(column);
    QStringList statements;
    for (const QStringList &row : qAsConst(values))
        statements << QStringLiteral("INSERT INTO %1.%2 (%3) VALUES (%4)")
                          .arg(EngineTestData::q(database), table, columns.join(", "), row.join(", "));
    return statements;
}

QStringList RandomMeasurements::newRow(const QString &table)
{
    QStringList row;
    for (const QString &column : EngineTestData::copiedColumns(table))
        row << value(column);
    return row;
}

// An earlier row again: unchanged, with new copied-only values, or with one compared
// value drawn anew (which may give the same value, or NULL).
QStringList RandomMeasurements::derivedRow(const QString &table)
{
    const QVector<QStringList> &earlier = table == "defects" ? m_defects : m_graphics;
    QStringList row = earlier.at(m_random.bounded(earlier.size()));
    const KvtTableSql sql = KvtTableSql::forTable(table == "defects" ? tnDefects : tnGraphics, QString());
    const QStringList compared = sql.comparedColumns();
    switch (m_random.bounded(3)) {
    case 0:
        break;
    case 1:
        for (const QString &column : sql.copiedColumns())
            if (!compared.contains(column))
                row[columnIndex(table, column)] = value(column);
        break;
    default: {
        const QString column = compared.at(m_random.bounded(compared.size()));
        row[columnIndex(table, column)] = value(column);
    }
    }
    return row;
}

QString RandomMeasurements::value(const QString &column)
{
    if (column == "Graphic") {
        const QStringList signalPool{"NULL", "X''", "X'00'", m_signal, m_signalOneByteOff};
        return signalPool.at(m_random.bounded(signalPool.size()));
    }
    const QStringList &pool = pools().contains(column) ? pools()[column] : ints;
    return pool.at(m_random.bounded(pool.size()));
}

int RandomMeasurements::columnIndex(const QString &table, const QString &column) const
{
    return EngineTestData::copiedColumns(table).indexOf(column);
}
