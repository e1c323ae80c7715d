#include "MergeCheck.h"

#include "KvtRowFingerprint.h"
#include "KvtSourceKey.h"
#include "KvtTables.h"
#include "PLog.h"

#include <QCoreApplication>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

const QLatin1String unknownDatabase("1049");
const QLatin1String noSuchTable("1146");
const QLatin1String noSuchColumn("1054");

// The databases of names that the server shows the account. One look at the catalogue of
// schemata, so that a misspelt name is told apart from a database without KVT tables.
bool existingDatabases(const QSqlDatabase &db, const QStringList &names, QSet<QString> &existing,
                       QSqlError &error)
{
    QStringList placeholders;
    for (int i = 0; i < names.size(); ++i)
        placeholders << QStringLiteral("?");
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("SELECT SCHEMA_NAME FROM information_schema.SCHEMATA WHERE SCHEMA_NAME IN (%1)")
                           .arg(placeholders.join(QLatin1Char(','))))) {
        error = query.lastError();
        return false;
    }
    for (const QString &name : names)
        query.addBindValue(name);
    if (!query.exec()) {
        error = query.lastError();
        return false;
    }
    while (query.next())
        existing.insert(query.value(0).toString());
    return true;
}

QSet<QString> lowerCase(const QVector<KvtSourceKey::Column> &columns)
{
    QSet<QString> names;
    for (const KvtSourceKey::Column &column : columns)
        names.insert(column.name.toLower());
    return names;
}

} // namespace

MergeCheck MergeCheck::run(const QSqlDatabase &db, const QString &destination, const QStringList &sources)
{
    MergeCheck check;
    QStringList databases{destination};
    for (const QString &source : sources)
        if (!databases.contains(source))
            databases << source;
    QSet<QString> existing;
    QSqlError error;
    if (!existingDatabases(db, databases, existing, error)) {
        check.addProblem(error.text(), error.nativeErrorCode());
        return check;
    }
    for (const QString &database : qAsConst(databases)) {
        if (!existing.contains(database))
            check.addProblem(tr("the database %1 doesn't exist").arg(database), unknownDatabase);
        else
            check.checkDatabase(db, database, database == destination);
    }
    for (auto lacked = check.m_lackedColumns.cbegin(); lacked != check.m_lackedColumns.cend(); ++lacked)
        PLOG_INFO << "the source " << lacked.key() << " lacks the columns " << lacked.value().join(QStringLiteral(", "))
                  << ", which read as NULL";
    return check;
}

void MergeCheck::checkDatabase(const QSqlDatabase &db, const QString &database, bool isDestination)
{
    QSqlQuery query(db);
    for (const KvtTable &table : KvtTable::all()) {
        QVector<KvtSourceKey::Column> read;
        if (!KvtSourceKey::readColumns(query, database, table.name, read)) {
            addProblem(tr("%1.%2 cannot be read: %3").arg(database, table.name, query.lastError().text()),
                       query.lastError().nativeErrorCode());
            continue;
        }
        if (read.isEmpty()) {
            addProblem(tr("%1 lacks the table %2").arg(database, table.name), noSuchTable);
            continue;
        }
        const QSet<QString> present = lowerCase(read);
        QStringList lacked;
        for (const QString &column : table.columnNames())
            if (!present.contains(column.toLower()))
                lacked << column;
        // A reference record is found by its key and named by its identifier; without
        // them a source's records cannot be merged, nor the rows naming them.
        const QStringList needed{table.keyColumn(), KvtRowFingerprint::identifierColumn(table.id)};
        for (const QString &column : qAsConst(lacked)) {
            if (isDestination || (table.isReference() && needed.contains(column)))
                addProblem(tr("%1.%2 lacks the column %3").arg(database, table.name, column), noSuchColumn);
            else
                m_lackedColumns[database] << table.name + QLatin1Char('.') + column;
        }
    }
}

void MergeCheck::addProblem(const QString &text, const QString &code)
{
    if (m_problems.isEmpty())
        m_code = code;
    m_problems << text;
}

KvtSqlStatus MergeCheck::status() const
{
    if (ok())
        return {};
    return KvtSqlStatus::failure(tr("Nothing was merged, since the merge cannot start: %1.")
                                     .arg(m_problems.join(QStringLiteral("; "))),
                                 m_code);
}
