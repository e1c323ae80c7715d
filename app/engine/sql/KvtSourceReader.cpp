#include "KvtSourceReader.h"

#include "PSqlFieldType.h"
#include "PSqlIdentifier.h"

#include <QSqlField>
#include <QSqlRecord>
#include <QtGlobal>

KvtSourceReader::KvtSourceReader(const QSqlDatabase &db)
    : m_query(db)
{
    m_query.setForwardOnly(true);
}

bool KvtSourceReader::open(const QString &database, const QString &table,
                           const QString &pageColumn, int pageRows)
{
    const QString tableText = PSqlIdentifier::qualified(database, table);
    bool binary = false;
    const QString columns = selectList(tableText, binary);
    if (columns.isNull())
        return false;
    const QString select = QStringLiteral("SELECT ") + columns + QStringLiteral(" FROM ") + tableText;
    if (pageColumn.isEmpty())
        return m_query.exec(select);
    m_pageRows = binary ? qMax(1, pageRows / 20) : qMax(1, pageRows);
    const QString key = PSqlIdentifier::quote(pageColumn);
    const QString order = QStringLiteral(" ORDER BY ") + key + QStringLiteral(" LIMIT ")
                          + QString::number(m_pageRows);
    m_nextPage = select + QStringLiteral(" WHERE ") + key + QStringLiteral(" > :last") + order;
    if (!m_query.exec(select + order))
        return false;
    m_keyPosition = m_query.record().indexOf(pageColumn);
    return true;
}

// "*" unless the table has date columns; those are cast to text under their own names.
// binary: the table has a binary column.
QString KvtSourceReader::selectList(const QString &tableText, bool &binary)
{
    if (!m_query.exec(QStringLiteral("SELECT * FROM ") + tableText + QStringLiteral(" LIMIT 0")))
        return QString();
    const QSqlRecord record = m_query.record();
    m_query.finish();
    QStringList columns;
    bool castNeeded = false;
    for (int i = 0; i < record.count(); ++i) {
        const QSqlField field = record.field(i);
        const QString name = PSqlIdentifier::quote(field.name());
        const int type = PSqlFieldType::of(field);
        binary = binary || type == QMetaType::QByteArray;
        if (type == QMetaType::QDate || type == QMetaType::QDateTime) {
            columns << QStringLiteral("CAST(") + name + QStringLiteral(" AS CHAR) AS ") + name;
            castNeeded = true;
        } else {
            columns << name;
        }
    }
    return castNeeded ? columns.join(QStringLiteral(", ")) : QStringLiteral("*");
}

void KvtSourceReader::locate(const QStringList &columns)
{
    const QSqlRecord record = m_query.record();
    m_positions.clear();
    for (const QString &column : columns)
        m_positions << record.indexOf(column);
}

bool KvtSourceReader::next()
{
    if (m_query.next()) {
        ++m_rowsInPage;
        if (m_keyPosition >= 0)
            m_lastKey = m_query.value(m_keyPosition);
        return true;
    }
    // A short page was the last one.
    if (m_nextPage.isEmpty() || m_rowsInPage < m_pageRows)
        return false;
    return readNextPage() && next();
}

bool KvtSourceReader::readNextPage()
{
    m_query.finish();
    m_rowsInPage = 0;
    if (!m_nextPagePrepared && !m_query.prepare(m_nextPage)) {
        m_failed = true;
        return false;
    }
    m_nextPagePrepared = true;
    m_query.bindValue(QStringLiteral(":last"), m_lastKey);
    if (!m_query.exec()) {
        m_failed = true;
        return false;
    }
    return true;
}

QString KvtSourceReader::text(int i) const
{
    const int position = m_positions.value(i, -1);
    if (position < 0)
        return QString();
    const QVariant value = m_query.value(position);
    if (value.isNull())
        return QString();
    const QString text = value.toString();
    return text.isNull() ? QStringLiteral("") : text; // an empty text is not NULL
}

QByteArray KvtSourceReader::bytes(int i) const
{
    const int position = m_positions.value(i, -1);
    if (position < 0)
        return QByteArray();
    const QVariant value = m_query.value(position);
    if (value.isNull())
        return QByteArray();
    const QByteArray data = value.toByteArray();
    return data.isNull() ? QByteArray("", 0) : data; // an empty value is not NULL
}
