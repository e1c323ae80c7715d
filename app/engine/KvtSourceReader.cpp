#include "KvtSourceReader.h"

#include "PSqlIdentifier.h"

#include <QSqlField>
#include <QSqlRecord>
#include <QVariant>

KvtSourceReader::KvtSourceReader(const QSqlDatabase &db)
    : m_query(db)
{
    m_query.setForwardOnly(true);
}

bool KvtSourceReader::open(const QString &database, const QString &table,
                           const QString &orderColumn)
{
    const QString tableText = PSqlIdentifier::qualified(database, table);
    const QString columns = selectList(tableText);
    if (columns.isNull())
        return false;
    const QString order = orderColumn.isEmpty()
                              ? QString()
                              : QStringLiteral(" ORDER BY ") + PSqlIdentifier::quote(orderColumn);
    return m_query.exec(QStringLiteral("SELECT ") + columns + QStringLiteral(" FROM ") + tableText
                        + order);
}

// "*" unless the table has date columns; those are cast to text under their own names.
QString KvtSourceReader::selectList(const QString &tableText)
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
        const int type = field.type();
        if (type == QVariant::Date || type == QVariant::DateTime) {
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
    return m_query.next();
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
