#ifndef KVTSOURCEREADER_H
#define KVTSOURCEREADER_H

#include <QByteArray>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

// Reads a source table, row by row, handing out the values of named columns as text (or
// bytes) with their NULL state kept: a NULL arrives as a null QString, never as "0" or a
// NUL character. Date and date-time columns are read as the server's text, so a zero date
// 0000-00-00 survives instead of turning into NULL.
//
// With a page column (an integer without ties, KvtSourceKey::pageColumn) the rows come in
// that column's order, a page at a time ("WHERE key > last ORDER BY key LIMIT n"), so the
// client holds one page however large the table: the driver buffers a whole result.
// Without one the table is read whole, in the server's order.
class KvtSourceReader
{
public:
    // Rows of a page; a table with binary columns (signals) takes a twentieth of them.
    static constexpr int defaultPageRows = 1000;

    explicit KvtSourceReader(const QSqlDatabase &db);

    // Reads the first page (or the whole table) of database.table. False on failure;
    // query() holds the error.
    bool open(const QString &database, const QString &table, const QString &pageColumn = QString(),
              int pageRows = defaultPageRows);
    // Takes the positions of these columns; a column the table lacks reads as NULL.
    void locate(const QStringList &columns);
    // False at the end and on failure (failed() tells which).
    bool next();
    bool failed() const { return m_failed; }

    // Value of the i-th located column.
    QString text(int i) const;
    QByteArray bytes(int i) const;

    QSqlQuery *query() { return &m_query; }

private:
    QString selectList(const QString &tableText, bool &binary);
    bool readNextPage();

    QSqlQuery m_query;
    QVector<int> m_positions;
    QString m_nextPage;   // the statement of the pages after the first; empty: no pages
    int m_pageRows = 0;
    int m_rowsInPage = 0;
    int m_keyPosition = -1;
    QVariant m_lastKey;
    bool m_nextPagePrepared = false;
    bool m_failed = false;
};

#endif // KVTSOURCEREADER_H
