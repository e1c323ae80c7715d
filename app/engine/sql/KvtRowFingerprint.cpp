#include "KvtRowFingerprint.h"

#include "KvtTables.h"
#include "PSqlIdentifier.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace KvtRowFingerprint {

QString identifierColumn(kvtTableName table)
{
    return table == tnZones ? QStringLiteral("DetTypeZone") : QStringLiteral("ID");
}

QStringList columns(kvtTableName table)
{
    return KvtTable::of(table).columnNames();
}

QString entry(const QString &expression, bool binary, Kind kind)
{
    return binary && kind == Kind::Md5OfQuotedDigests ? QStringLiteral("MD5(%1)").arg(expression) : expression;
}

QString over(const QStringList &entries, Kind kind)
{
    QStringList parts;
    if (kind == Kind::Md5OfMd5s) {
        for (const QString &e : entries)
            parts << QStringLiteral("COALESCE(MD5(%1), '-')").arg(e);
        return QStringLiteral("MD5(CONCAT_WS(',', %1))").arg(parts.join(QStringLiteral(", ")));
    }
    for (const QString &e : entries)
        parts << QStringLiteral("QUOTE(%1)").arg(e);
    return QStringLiteral("MD5(CONCAT(%1))").arg(parts.join(QStringLiteral(", ")));
}

QString of(kvtTableName table, const QString &alias, Kind kind)
{
    QStringList entries;
    for (const KvtColumn &c : KvtTable::of(table).columns)
        entries << entry((alias.isEmpty() ? QString() : alias + QLatin1Char('.')) + PSqlIdentifier::quote(c.name),
                         c.binary, kind);
    return over(entries, kind);
}

bool read(const QSqlDatabase &db, const QString &database, kvtTableName table, const QVector<qlonglong> &ids,
          QHash<qlonglong, QString> &fingerprints, QString *error, Kind kind)
{
    const QString id = PSqlIdentifier::quote(identifierColumn(table));
    const QString head = QStringLiteral("SELECT t.%1, %2 FROM %3 t WHERE t.%1 IN (")
                             .arg(id, of(table, QStringLiteral("t"), kind),
                                  PSqlIdentifier::qualified(database, KvtTable::of(table).name));
    constexpr int batch = 1000;
    for (int from = 0; from < ids.size(); from += batch) {
        QStringList list;
        for (int i = from; i < qMin(ids.size(), from + batch); ++i)
            list << QString::number(ids.at(i));
        QSqlQuery query(db);
        if (!query.exec(head + list.join(QLatin1Char(',')) + QLatin1Char(')'))) {
            if (error)
                *error = query.lastError().text();
            return false;
        }
        while (query.next())
            fingerprints.insert(query.value(0).toLongLong(), query.value(1).toString());
    }
    return true;
}

} // namespace KvtRowFingerprint
