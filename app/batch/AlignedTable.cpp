#include "AlignedTable.h"

#include <QVector>

namespace {

bool isWholeNumber(const QString &text)
{
    bool ok = false;
    text.toLongLong(&ok, 10);
    return ok;
}

} // namespace

QString alignedTable(const QList<QStringList> &rows)
{
    int columns = 0;
    for (const QStringList &row : rows)
        columns = qMax(columns, row.size());
    QVector<int> widths(columns, 0);
    QVector<bool> numeric(columns, rows.size() > 1);
    for (int r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < columns; ++c) {
            const QString cell = rows.at(r).value(c);
            widths[c] = qMax(widths[c], cell.size());
            if (r > 0 && !isWholeNumber(cell))
                numeric[c] = false;
        }
    }
    QString text;
    for (const QStringList &row : rows) {
        QString line;
        for (int c = 0; c < columns; ++c) {
            const QString cell = row.value(c);
            if (c > 0)
                line += QLatin1String("  ");
            line += numeric[c] ? cell.rightJustified(widths[c]) : cell.leftJustified(widths[c]);
        }
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        text += line + QLatin1Char('\n');
    }
    return text;
}
