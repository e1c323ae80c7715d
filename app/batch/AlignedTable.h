#ifndef ALIGNEDTABLE_H
#define ALIGNEDTABLE_H

#include <QList>
#include <QString>
#include <QStringList>

// A table as plain text in aligned columns: the first row is the header, columns are
// two blanks apart, and a column whose cells below the header are all whole numbers is
// aligned right. Every line ends with a line feed; no line has trailing blanks.
QString alignedTable(const QList<QStringList> &rows);

#endif // ALIGNEDTABLE_H
