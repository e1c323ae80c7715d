#ifndef KVTSOURCEREADER_H
#define KVTSOURCEREADER_H

#include <QByteArray>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVector>

// Reads a whole source table, row by row, handing out the values of named columns as
// text (or bytes) with their NULL state kept: a NULL arrives as a null QString, never as
// "0" or a NUL character. Date and date-time columns are read as the server's text, so
// a zero date 0000-00-00 survives instead of turning into NULL.
class KvtSourceReader
{
public:
    explicit KvtSourceReader(const QSqlDatabase &db);

    // Selects all columns of database.table, ordered by orderColumn when one is given.
    // False on failure; query() holds the error.
    bool open(const QString &database, const QString &table,
              const QString &orderColumn = QString());
    // Takes the positions of these columns; a column the table lacks reads as NULL.
    void locate(const QStringList &columns);
    bool next();

    // Value of the i-th located column.
    QString text(int i) const;
    QByteArray bytes(int i) const;

    QSqlQuery *query() { return &m_query; }

private:
    QString selectList(const QString &tableText);

    QSqlQuery m_query;
    QVector<int> m_positions;
};

#endif // KVTSOURCEREADER_H
