#ifndef RANDOMMEASUREMENTS_H
#define RANDOMMEASUREMENTS_H

#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <QVector>

// Random rows of defects and graphics for comparing the two ways of copying them: values
// from small pools of edge cases (NULL in every column, zero dates, TIME beyond a day,
// DECIMALs that differ in the last digit, doubles without a short decimal form, Cyrillic
// text, signals that differ in one byte past the first kilobyte), and many rows that
// repeat an earlier one of any database: exactly, with other copied-only values, or with
// one compared value changed.
class RandomMeasurements
{
public:
    explicit RandomMeasurements(quint32 seed);

    // INSERT statements for `rows` rows of database.table. With explicit IDs the rows get
    // increasing IDs with gaps, inserted in shuffled order; otherwise the table numbers them.
    QStringList fill(const QString &database, const QString &table, int rows, bool explicitIds);

private:
    QStringList newRow(const QString &table);
    QStringList derivedRow(const QString &table);
    QString value(const QString &column);
    int columnIndex(const QString &table, const QString &column) const;

    QRandomGenerator m_random;
    QString m_signal;
    QString m_signalOneByteOff;
    QVector<QStringList> m_defects;
    QVector<QStringList> m_graphics;
    qint64 m_nextId = 0;
};

#endif // RANDOMMEASUREMENTS_H
