#ifndef KVTSOURCEKEY_H
#define KVTSOURCEKEY_H

#include "KvtPreparedQuery.h"

#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVector>

// What the server's catalogue says about a source table: its columns, and whether its ID
// orders the rows and cuts them into ranges without ties: an integer column, NOT NULL,
// unique on its own. Only then is "in ID order" one well-defined order. Also the column
// the rows are read by, page after page.
class KvtSourceKey
{
public:
    // A column as the server describes it in a result of the table.
    struct Column
    {
        QString name;
        QString type; // the data type's name in lower case ("int", "varchar", "blob", ...)
        bool notNull = false;
        bool autoIncrement = false;
    };

    explicit KvtSourceKey(const QSqlDatabase &db);

    // The columns of database.table, from the description of an empty result of it
    // ("SELECT * ... LIMIT 0") rather than from information_schema.COLUMNS, whose look-ups
    // MariaDB 10.11 was seen to crash in (signal 11 freeing the look-up's temporary table)
    // when tests ran side by side. A missing table has no columns. False when the statement
    // failed otherwise; `query` then holds the error.
    static bool readColumns(QSqlQuery &query, const QString &database, const QString &table,
                            QVector<Column> &columns);

    // False when a catalogue query failed; failedQuery() then holds the error. A missing
    // table reads as one without columns.
    bool read(const QString &database, const QString &table);

    QStringList columns() const { return m_columns; }
    // The column's DATA_TYPE in lower case, empty for a column the table lacks.
    QString dataType(const QString &column) const { return m_types.value(column.toLower()); }
    bool usable() const { return m_usable; }
    // The column that orders the rows without ties, for reading them in pages: ID when it
    // is usable, else a primary key of one integer column; empty when there is neither.
    QString pageColumn() const { return m_pageColumn; }
    QSqlQuery *failedQuery() { return m_failed; }

private:
    bool readColumns(const QString &database, const QString &table);
    bool readIndexes(const QString &database, const QString &table, bool &uniqueId,
                     QStringList &primaryKey);
    bool isIntegerNotNull(const QString &column) const;

    QSqlQuery m_columnsQuery;
    KvtPreparedQuery m_indexQuery;
    QSqlQuery *m_failed = nullptr;
    QStringList m_columns;
    QHash<QString, QString> m_types;
    QSet<QString> m_notNull;
    bool m_usable = false;
    QString m_pageColumn;
};

#endif // KVTSOURCEKEY_H
