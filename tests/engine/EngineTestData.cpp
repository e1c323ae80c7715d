#include "EngineTestData.h"

#include "KvtTables.h"
#include "TestDatabase.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

namespace EngineTestData {

QString q(const QString &name)
{
    QString inner = name;
    inner.replace(QLatin1Char('`'), QLatin1String("``"));
    return QLatin1Char('`') + inner + QLatin1Char('`');
}

QString fillDemo(const QString &database, int number, int defects, int graphics, int refs,
                 int graphicBytes)
{
    QStringList statements{
        QStringLiteral("USE ") + q(database),
        QStringLiteral("SET @demo_no = %1, @demo_defects = %2, @demo_graphics = %3, "
                       "@demo_graphic_bytes = %4, @demo_refs = %5, @demo_overlap_pct = 20")
            .arg(number)
            .arg(defects)
            .arg(graphics)
            .arg(graphicBytes)
            .arg(refs)};
    const QStringList data =
        TestDatabase::statementsOfFile(QStringLiteral(KVT_SOURCE_DIR "/sql/kvt_demo_data.sql"));
    if (data.isEmpty())
        return QStringLiteral("demo data file missing");
    statements += data;
    statements << QStringLiteral("USE mysql");
    return TestDatabase::exec(statements);
}

QStringList rows(const QString &query)
{
    QSqlQuery sql;
    QStringList result;
    if (!sql.exec(query)) {
        qWarning("rows(): %s", qPrintable(sql.lastError().text()));
        return {QStringLiteral("ERROR")};
    }
    while (sql.next()) {
        QStringList values;
        for (int i = 0; i < sql.record().count(); ++i) {
            const QVariant value = sql.value(i);
            values << (value.isNull() ? QStringLiteral("NULL") : value.toString());
        }
        result << values.join(QLatin1Char('|'));
    }
    return result;
}

QStringList checksums(const QString &database)
{
    QStringList tables;
    for (const KvtTable &t : KvtTable::all())
        tables << t.name;
    for (const KvtOtherTable &t : KvtOtherTable::all())
        tables << t.name;
    QStringList sums;
    for (const QString &table : qAsConst(tables))
        sums << rows(QStringLiteral("CHECKSUM TABLE %1.%2").arg(q(database), table));
    return sums;
}

MergeUndo::Result undoRun(MergeJournal &journal, qlonglong run, const QString &reportFolder, MergeUndo::Plan *planOut)
{
    MergeUndo undo(journal, QSqlDatabase::database());
    MergeUndo::Plan plan;
    if (!undo.plan(run, plan)) {
        MergeUndo::Result failed;
        failed.error = undo.error().isEmpty() ? QStringLiteral("unknown run") : undo.error();
        return failed;
    }
    if (planOut)
        *planOut = plan;
    return undo.execute(plan, reportFolder);
}

int count(const QString &database, const QString &table)
{
    const QVariant value =
        TestDatabase::scalar(QStringLiteral("SELECT COUNT(*) FROM ") + q(database) + '.' + table);
    return value.isValid() ? value.toInt() : -1;
}

int matchingRows(const QString &db1, const QString &db2, const QString &table,
                 const QStringList &columns)
{
    // Each row as the digest of its values' bytes (NULL apart from any value), so that the
    // rows of db2 can be matched by a hash join instead of a scan of db2 per row of db1.
    const auto digest = [&columns](const QString &alias) {
        QStringList values;
        for (const QString &column : columns)
            values << QStringLiteral("IFNULL(HEX(CAST(%1.%2 AS BINARY)), 'N')").arg(alias, q(column));
        return QStringLiteral("MD5(CONCAT_WS('|', %1))").arg(values.join(QStringLiteral(", ")));
    };
    const QVariant value = TestDatabase::scalar(
        QStringLiteral("SELECT COUNT(*) FROM %1.%2 a JOIN (SELECT DISTINCT %4 AS k FROM %3.%2 b) d "
                       "ON d.k = %5")
            .arg(q(db1), table, q(db2), digest(QStringLiteral("b")), digest(QStringLiteral("a"))));
    return value.isValid() ? value.toInt() : -1;
}

QStringList copiedColumns(const QString &table)
{
    if (table == QLatin1String("defects"))
        return QStringList{"MyId", "Date", "DefectoscopistID", "VagNo", "DetTypeId", "DetNo",
                           "DetParameter", "DefectNo", "ZavNo", "ProdYear", "Time", "ZoneID",
                           "Result", "DefectID", "DefectSize", "Amplitude", "Printed", "CRC32",
                           "Device", "Errors"};
    if (table == QLatin1String("graphics"))
        return QStringList{"VagNo", "DetNo", "ZavNo", "ProdYear", "Date", "DefectoscopistID",
                           "DetTypeId", "Time", "DataType", "FieldType", "GradientType",
                           "CountType", "CRC32", "Graphic", "Device", "Picture", "DetParameter",
                           "DataId", "Synced", "Errors"};
    if (table == QLatin1String("device"))
        return QStringList{"ID", "Name"};
    if (table == QLatin1String("factory"))
        return QStringList{"Cod", "Short", "Name"};
    if (table == QLatin1String("humans"))
        return QStringList{"Famname", "FstName", "SecName", "FullName", "TabNo"};
    if (table == QLatin1String("zones"))
        return QStringList{"DetTypeZone", "ID", "DetTypeId", "Name"};
    return QStringList{"ID", "Short", "Name"};
}

} // namespace EngineTestData
