// Keeping references consistent. Sources whose catalogues number the same people, part
// types, zones and results otherwise than the destination, with conflicts settled each
// way, orphaned references and NULLs; an oracle checks every inserted measurement row
// against its source row. Also: both copy paths agree in the mode, the mode is off by
// default, and the check's counts without it match a direct SQL count.

#include "ConflictResolver.h"
#include "EngineTestCase.h"
#include "EngineTestData.h"
#include "MergeHarness.h"
#include "MergePreview.h"
#include "TestDatabase.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

using namespace EngineTestData;

namespace {

using Copy = KvtMerger::MeasurementCopy;

// A reference value no record of the sources has (an orphan); ZoneID 4 likewise.
const int orphan = 99;

// Content columns of each relation's table, and how a row names it (alias d or s).
struct Relation {
    const char *column;
    const char *table;
    const char *content;
};
const Relation relations[] = {
    {"DefectoscopistID", "humans", "Famname, FstName, SecName, FullName, TabNo"},
    {"DetTypeId", "dettypes", "Short, Name"},
    {"Result", "results", "Short, Name"},
    {"DefectID", "defectref", "Short, Name"},
    {"Device", "device", "Name"},
    {"ZoneID", "zones", "Name"}};

// The record a row alias names in database db, as a subquery condition.
QString named(const Relation &r, const QString &db, const QString &row, const QString &alias)
{
    QString test = QStringLiteral("%1.ID = %2.%3").arg(alias, row, r.column);
    if (QLatin1String(r.table) == QLatin1String("zones"))
        test += QStringLiteral(" AND %1.DetTypeId = %2.DetTypeId").arg(alias, row);
    return QStringLiteral("%1.%2 %3 WHERE %4").arg(q(db), r.table, alias, test);
}

// Rows of `table` in dest (alias d) joined to their source rows (alias s) by DataId/MyId
// whose relation r names records of other content, or none, in the two databases.
QString differing(const Relation &r, const QString &src, const QString &dest)
{
    QStringList same;
    for (const QString &c : QString::fromLatin1(r.content).split(", "))
        same << QStringLiteral("a.%1 <=> b.%1").arg(c);
    QString a = named(r, src, "s", "a");
    QString b = named(r, dest, "d", "b");
    return QStringLiteral("(s.%1 IS NOT NULL AND NOT EXISTS (SELECT 1 FROM %2 AND EXISTS (SELECT 1 FROM %3 AND %4)))")
        .arg(r.column, a, b, same.join(" AND "));
}

QString rowKey(const QString &table)
{
    return table == "defects" ? "MyId" : "DataId";
}

} // namespace

class tst_KeepReferences : public EngineTestCase
{
    Q_OBJECT

private slots:
    void rowsNameTheSameRecordsAsInTheirSource_data();
    void rowsNameTheSameRecordsAsInTheirSource();
    void bothCopyPathsAgree();
    void offByDefaultCountsMatchDirectSql_data();
    void offByDefaultCountsMatchDirectSql();
    void previewForeseesTheMismatchedRows();

private:
    void fillDestination(const QString &db);
    void fillSource(const QString &db, int k, quint32 seed);
    void answer(MergeHarness &harness, const QString &dest);
    int sqlCount(const QString &query);
};

int tst_KeepReferences::sqlCount(const QString &query)
{
    const QVariant value = TestDatabase::scalar(query);
    return value.isValid() ? value.toInt() : -1;
}

// People 1..8 (TabNo 501..508), part types 1..6 with 3 zones each, results, defect kinds
// and devices 1..4.
void tst_KeepReferences::fillDestination(const QString &db)
{
    QStringList s;
    for (int t = 1; t <= 8; ++t)
        s << QStringLiteral("INSERT INTO %1.humans VALUES (%2, 'F%2', 'N%2', 'S%2', 'F%2 N%2', %3)").arg(q(db)).arg(t).arg(500 + t);
    for (int t = 1; t <= 6; ++t) {
        s << QStringLiteral("INSERT INTO %1.dettypes VALUES (%2, 'T%2', 'Type %2')").arg(q(db)).arg(t);
        for (int z = 1; z <= 3; ++z)
            s << QStringLiteral("INSERT INTO %1.zones VALUES (%2, %3, %4, 'Zone T%4.%3')").arg(q(db)).arg(100 * t + z).arg(z).arg(t);
    }
    for (int i = 1; i <= 4; ++i)
        for (const char *table : {"results", "defectref"})
            s << QStringLiteral("INSERT INTO %1.%2 VALUES (%3, '%4', 'Name %3')")
                     .arg(q(db), table).arg(i).arg(QLatin1Char(table[0]) + QString::number(i));
    for (int i = 1; i <= 4; ++i)
        s << QStringLiteral("INSERT INTO %1.device VALUES (%2, 'Dev%2')").arg(q(db)).arg(i);
    exec(s);
}

// Source k: the same people under other IDs and three new ones; part types 1, 2 equal,
// 3, 4, 5, 7 conflicting (settled: replace, add under a new key, leave out, add), 6 the
// destination's 2 under another key; each part type's zones named after it; results,
// defect kinds and devices 1..3 equal, 4 the destination's 2 under another key. Then
// random measurement rows with NULLs and orphaned references.
void tst_KeepReferences::fillSource(const QString &db, int k, quint32 seed)
{
    QStringList s;
    QVector<int> people;
    for (int t = 1; t <= 11; ++t) {
        const int tabNo = t <= 8 ? 500 + t : 600 + 10 * k + t;
        people << 20 * k + t;
        s << QStringLiteral("INSERT INTO %1.humans VALUES (%2, 'F%3', 'N%3', 'S%3', 'F%3 N%3', %4)")
                 .arg(q(db)).arg(20 * k + t).arg(t <= 8 ? t : 100 * k + t).arg(tabNo);
    }
    const QStringList shorts{"T1", "T2", QStringLiteral("T3x%1").arg(k), QStringLiteral("T4x%1").arg(k),
                             QStringLiteral("T5x%1").arg(k), "T2", QStringLiteral("T7s%1").arg(k)};
    for (int t = 1; t <= 7; ++t) {
        const QString name = shorts[t - 1] == "T2" ? "Type 2" : (t <= 2 ? QStringLiteral("Type %1").arg(t) : shorts[t - 1]);
        s << QStringLiteral("INSERT INTO %1.dettypes VALUES (%2, '%3', '%4')").arg(q(db)).arg(t).arg(shorts[t - 1], name);
        for (int z = 1; z <= 3; ++z)
            s << QStringLiteral("INSERT INTO %1.zones VALUES (%2, %3, %4, 'Zone %5.%3')").arg(q(db)).arg(100 * t + z).arg(z).arg(t).arg(shorts[t - 1]);
    }
    for (int i = 1; i <= 4; ++i) {
        const int content = i == 4 ? 2 : i;
        for (const char *table : {"results", "defectref"})
            s << QStringLiteral("INSERT INTO %1.%2 VALUES (%3, '%4', 'Name %5')")
                     .arg(q(db), table).arg(i).arg(QLatin1Char(table[0]) + QString::number(content)).arg(content);
        s << QStringLiteral("INSERT INTO %1.device VALUES (%2, 'Dev%3')").arg(q(db)).arg(i).arg(content);
    }

    QRandomGenerator random(seed);
    // A reference value: mostly a record of the source, sometimes NULL or an orphan.
    auto pick = [&](int first, int last) {
        const int roll = int(random.bounded(20));
        return roll == 0 ? QStringLiteral("NULL") : roll == 1 ? QString::number(orphan)
                                                              : QString::number(first + int(random.bounded(last - first + 1)));
    };
    for (int i = 0; i < 60; ++i) {
        const QString zone = random.bounded(15) == 0 ? QStringLiteral("4") : pick(1, 3);
        s << QStringLiteral("INSERT INTO %1.defects (MyId, `Date`, DefectoscopistID, VagNo, DetTypeId, ZoneID, Result, "
                            "DefectID, Device) VALUES (%2, '2025-03-01', %3, %4, %5, %6, %7, %8, %9)")
                 .arg(q(db)).arg(1000 * k + i)
                 .arg(random.bounded(15) == 0 ? QString::number(orphan) : QString::number(people[int(random.bounded(11))]))
                 .arg(i)
                 .arg(pick(1, 7), zone, pick(1, 4), pick(1, 4), pick(1, 4));
    }
    for (int i = 0; i < 20; ++i)
        s << QStringLiteral("INSERT INTO %1.graphics (DataId, `Date`, DefectoscopistID, DetTypeId, Device, Graphic) "
                            "VALUES (%2, '2025-03-01', %3, %4, %5, UNHEX('0102'))")
                 .arg(q(db)).arg(1000 * k + i).arg(people[int(random.bounded(11))]).arg(pick(1, 7), pick(1, 4));
    exec(s);
}

// Part types (and their zones) 3 are replaced, 5 left out, the others added under a new
// key; a device is replaced, as the main window does.
void tst_KeepReferences::answer(MergeHarness &harness, const QString &dest)
{
    harness.setConflictHandler([dest](const MergeHarness::Conflict &c) {
        const int key = QRegularExpression("(\\d+)$").match(c.destinationQuery).captured(1).toInt();
        const int partType = c.table == tnZones ? key / 100 : key;
        ConflictResolver resolver;
        resolver.setConflict(c.value);
        if (partType == 5)
            return true;
        if (c.table == tnZones || partType == 3 || c.table == tnDevice)
            resolver.replaceDestinationRecord();
        else
            resolver.addUnderNewKey();
        return true;
    });
}

void tst_KeepReferences::rowsNameTheSameRecordsAsInTheirSource_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("copy");
    QTest::newRow("set-based") << 11u << int(Copy::SetBased);
    QTest::newRow("per row") << 12u << int(Copy::PerRow);
}

void tst_KeepReferences::rowsNameTheSameRecordsAsInTheirSource()
{
    QFETCH(quint32, seed);
    QFETCH(int, copy);
    const QString dest = createDatabase("refs_dest");
    const QStringList sources{createDatabase("refs_src"), createDatabase("refs_src")};
    QVERIFY(!dest.isEmpty() && !sources.last().isEmpty());
    fillDestination(dest);
    for (int k = 0; k < 2; ++k)
        fillSource(sources[k], k + 1, seed + k);

    MergeHarness harness;
    harness.merger().setKeepReferences(true);
    harness.merger().setMeasurementCopy(Copy(copy));
    answer(harness, dest);
    for (const QString &src : sources) {
        // One source at a time: a later replacement changes what earlier rows name.
        QVERIFY(harness.run(dest, {src}));
        QCOMPARE(harness.errorTexts, QStringList());
        QVERIFY2(harness.events.contains("done:" + src), qPrintable(harness.events.join(" ")));
        QVERIFY(harness.events.filter("status:").first().contains("keeping references"));
        for (const QString table : {"defects", "graphics"}) {
            const QString join = QStringLiteral(" FROM %1.%2 s JOIN %3.%2 d ON d.%4 = s.%4 WHERE ")
                                     .arg(q(src), table, q(dest), rowKey(table));
            QCOMPARE(sqlCount("SELECT COUNT(*)" + join + "TRUE"), count(src, table));
            // Rows naming an orphan or the part type 5 the operator left out (with its zones)
            // name no record of the same content; every other reference does.
            QStringList expected{QStringLiteral("s.DefectoscopistID = %1").arg(orphan),
                                 QStringLiteral("s.DetTypeId IN (5, %1)").arg(orphan), "s.Device = 99"};
            QStringList wrong;
            for (const Relation &r : relations) {
                if (table == QLatin1String("graphics") && !QString(r.column).contains(QRegularExpression("Defectoscopist|DetType|Device")))
                    continue;
                wrong << differing(r, src, dest);
            }
            if (table == QLatin1String("defects"))
                expected << "s.Result = 99" << "s.DefectID = 99" << "s.ZoneID IN (4, 99)"
                         << "(s.DetTypeId IS NULL AND s.ZoneID IS NOT NULL)";
            const QString isExpected = "(" + expected.join(" OR ") + ")";
            const QString bad = join + "NOT " + isExpected + " AND (" + wrong.join(" OR ") + ")";
            QVERIFY2(sqlCount("SELECT COUNT(*)" + bad) == 0,
                     qPrintable(rows("SELECT s.*, '//', d.*" + bad).join('\n')));
            // An orphan is copied unchanged.
            QCOMPARE(sqlCount("SELECT COUNT(*)" + join + "s.DefectoscopistID = 99 AND d.DefectoscopistID <> 99"), 0);
            const KvtMerger::ReferenceCounts counts = harness.merger().referenceCounts(src, table == QLatin1String("defects") ? tnDefects : tnGraphics);
            QCOMPARE(counts.mismatched, qint64(sqlCount("SELECT COUNT(*)" + join + isExpected)));
            QVERIFY(counts.translated > 0);
        }
    }
    // A second merge inserts nothing and asks only about the records still in conflict.
    const int defects = count(dest, "defects");
    const int graphics = count(dest, "graphics");
    QVERIFY(harness.run(dest, sources));
    QCOMPARE(harness.errorTexts, QStringList());
    QVERIFY(harness.events.contains("done:" + sources[1]));
    QCOMPARE(count(dest, "defects"), defects);
    QCOMPARE(count(dest, "graphics"), graphics);
    for (const MergeHarness::Conflict &c : qAsConst(harness.conflicts))
        QVERIFY2(c.table == tnDetTypes || c.table == tnZones, qPrintable(c.sourceQuery));
    QCOMPARE(harness.merger().referenceCounts(sources[0], tnDefects).translated, 0);
}

void tst_KeepReferences::bothCopyPathsAgree()
{
    const QStringList sources{createDatabase("refs_src"), createDatabase("refs_src")};
    // Per row, then set-based with window functions and with the earlier-row probe.
    const QStringList destinations{createDatabase("refs_rows"), createDatabase("refs_window"), createDatabase("refs_probe")};
    QVERIFY(!destinations.last().isEmpty());
    for (const QString &db : destinations)
        fillDestination(db);
    for (int k = 0; k < 2; ++k)
        fillSource(sources[k], k + 1, 21 + k);

    KvtMerger::ReferenceCounts counts[3];
    for (int i = 0; i < 3; ++i) {
        MergeHarness harness;
        harness.merger().setKeepReferences(true);
        harness.merger().setMeasurementCopy(i == 0 ? Copy::PerRow : Copy::SetBased);
        harness.merger().setCopyVariant(i == 2 ? KvtMerger::CopyVariant::EarlierRowProbe
                                               : KvtMerger::CopyVariant::WindowFunctions);
        answer(harness, destinations[i]);
        QVERIFY(harness.run(destinations[i], sources));
        QCOMPARE(harness.errorTexts, QStringList());
        QVERIFY(harness.events.contains("done:" + sources[1]));
        counts[i] = harness.merger().referenceCounts(sources[1], tnDefects);
    }
    // The measurement rows' own IDs are the destination's to give (a server may leave gaps).
    for (const QString table : {"defects", "graphics", "humans", "dettypes", "zones"}) {
        const bool measurement = table == QLatin1String("defects") || table == QLatin1String("graphics");
        QStringList columns{QStringLiteral("*")};
        if (measurement) {
            columns.clear();
            for (const QString &column : copiedColumns(table))
                columns << q(column);
        }
        const QString select = QStringLiteral("SELECT %1 FROM %2.%3 ORDER BY ID").arg(columns.join(", "));
        for (int i = 1; i < 3; ++i)
            QCOMPARE(rows(select.arg(q(destinations[i]), table)), rows(select.arg(q(destinations[0]), table)));
    }
    for (int i = 1; i < 3; ++i) {
        QCOMPARE(counts[i].translated, counts[0].translated);
        QCOMPARE(counts[i].mismatched, counts[0].mismatched);
    }
}

void tst_KeepReferences::offByDefaultCountsMatchDirectSql_data()
{
    QTest::addColumn<int>("copy");
    QTest::newRow("set-based") << int(Copy::SetBased);
    QTest::newRow("per row") << int(Copy::PerRow);
}

void tst_KeepReferences::offByDefaultCountsMatchDirectSql()
{
    QFETCH(int, copy);
    const QString dest = createDatabase("refs_dest");
    const QString src = createDatabase("refs_src");
    QVERIFY(!src.isEmpty());
    fillDestination(dest);
    fillSource(src, 1, 31);

    MergeHarness harness;
    QVERIFY(!harness.merger().keepReferences());
    harness.merger().setMeasurementCopy(Copy(copy));
    answer(harness, dest);
    QVERIFY(harness.run(dest, {src}));
    QCOMPARE(harness.errorTexts, QStringList());
    QVERIFY(harness.events.contains("done:" + src));
    QVERIFY(!harness.events.filter("status:").first().contains("keeping"));
    for (const QString table : {"defects", "graphics"}) {
        const QString join = QStringLiteral(" FROM %1.%2 s JOIN %3.%2 d ON d.%4 = s.%4 WHERE ")
                                 .arg(q(src), table, q(dest), rowKey(table));
        // Identifiers copied as they are.
        QCOMPARE(sqlCount("SELECT COUNT(*)" + join + "NOT (s.DefectoscopistID <=> d.DefectoscopistID AND s.DetTypeId <=> d.DetTypeId)"), 0);
        QStringList wrong;
        for (const Relation &r : relations)
            if (table == QLatin1String("defects") || QString(r.column).contains(QRegularExpression("Defectoscopist|DetType|Device")))
                wrong << differing(r, src, dest);
        const int direct = sqlCount("SELECT COUNT(*)" + join + wrong.join(" OR "));
        QVERIFY(direct > 0);
        QCOMPARE(harness.merger().referenceCounts(src, table == QLatin1String("defects") ? tnDefects : tnGraphics).mismatched,
                 qint64(direct));
    }
}

// The preview's warning: the rows a plain merge inserts naming another record or none, as
// the merge's check counts them afterwards, with every conflict left out. The second
// source meets the part types and people the first one brings.
void tst_KeepReferences::previewForeseesTheMismatchedRows()
{
    const QString dest = createDatabase("refs_dest");
    const QStringList sources{createDatabase("refs_src"), createDatabase("refs_src")};
    QVERIFY(!sources.last().isEmpty());
    fillDestination(dest);
    for (int k = 0; k < 2; ++k)
        fillSource(sources[k], k + 1, 41 + k);

    MergePreview preview;
    preview.setDestination(dest);
    preview.setSources(sources);
    preview.run();
    QCOMPARE(preview.report().errors(), QStringList());

    MergeHarness harness;
    harness.setConflictHandler([](const MergeHarness::Conflict &) { return true; });
    QVERIFY(harness.run(dest, sources));
    QCOMPARE(harness.errorTexts, QStringList());
    for (int k = 0; k < 2; ++k)
        for (const kvtTableName table : {tnDefects, tnGraphics}) {
            const qint64 foreseen = preview.report().table(k, table).referencesMismatched;
            QVERIFY(foreseen > 0);
            QCOMPARE(foreseen, harness.merger().referenceCounts(sources[k], table).mismatched);
            QCOMPARE(preview.report().table(k, table).inserted, harness.merger().report().table(k, table).inserted);
        }
}

QTEST_GUILESS_MAIN(tst_KeepReferences)
#include "tst_keepreferences.moc"
