// The set-based copy of the measurement tables, in both variants, against the per-row
// copy it replaces: the same sources merged both ways into two equal destinations must
// leave them equal in every column of every row, in ID order. The IDs themselves are the
// destination's to give (a server may leave gaps). Also its fallback to the per-row copy,
// progress, stop between chunks and a failing chunk.

#include "EngineTestCase.h"
#include "EngineTestData.h"
#include "KvtChunkSql.h"
#include "KvtProbeIndex.h"
#include "MergeHarness.h"
#include "PSqlNull.h"
#include "RandomMeasurements.h"
#include "TestDatabase.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

using namespace EngineTestData;

Q_DECLARE_METATYPE(KvtMerger::CopyVariant)

namespace {

using Copy = KvtMerger::MeasurementCopy;
using Variant = KvtMerger::CopyVariant;

// Every row of a table in ID order, each value but the ID in the server's own text form
// (signals in hex), so that any difference in any column or in the order shows.
QStringList dump(const QString &database, const QString &table)
{
    QStringList values;
    for (const QString &column : copiedColumns(table))
        values << (column == "Graphic" ? QStringLiteral("HEX(Graphic)")
                                       : QStringLiteral("CAST(%1 AS CHAR)").arg(q(column)));
    return rows(QStringLiteral("SELECT %1 FROM %2.%3 ORDER BY ID")
                    .arg(values.join(", "), q(database), table));
}

// Progress of a set-based copy of `rows` rows in chunks of `chunk` rows.
QVector<int> chunkProgress(int rows, int chunk)
{
    QVector<int> values;
    for (int done = chunk; done < rows + chunk; done += chunk)
        values << qMin(done, rows);
    return values;
}

QVector<int> rowProgress(int rows)
{
    QVector<int> values;
    for (int i = 0; i < rows; ++i)
        values << i;
    return values;
}

} // namespace

class tst_MeasurementCopy : public EngineTestCase
{
    Q_OBJECT

private slots:
    void bothWaysGiveTheSameDestination_data();
    void bothWaysGiveTheSameDestination();
    void sourceWithoutUsableIdIsCopiedPerRow_data();
    void sourceWithoutUsableIdIsCopiedPerRow();
    void progressCountsRowsPerChunk_data();
    void progressCountsRowsPerChunk();
    void signalChunksFollowTheByteBudget();
    void stopIsTakenBetweenChunks();
    void failingChunkKeepsEarlierChunks_data();
    void failingChunkKeepsEarlierChunks();
    void destinationProbesUseAnIndex_data();
    void destinationProbesUseAnIndex();
    void tablesWithoutRecordIndexAreCopied();
    void catalogueStatementsTakeValuesAsLiterals();
};

// ---------------------------------------------------------------- equality of both ways

void tst_MeasurementCopy::bothWaysGiveTheSameDestination_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("chunkRows");
    // Rows of defects and graphics in the first source, the second source, the destination.
    QTest::addColumn<QVector<int>>("sizes");
    // The destination's last rows deleted, so that its ID counter is beyond its rows.
    QTest::addColumn<bool>("counterAhead");
    QTest::addColumn<Variant>("variant");
    // Source IDs one after another, as a counter gives them: chunks are copied by their
    // ID range (less the rows present); with gaps, by their IDs.
    QTest::addColumn<bool>("contiguous");

    const Variant window = Variant::WindowFunctions;
    const Variant probe = Variant::EarlierRowProbe;
    QTest::newRow("seed 1, chunks of 7") << 1u << 7 << QVector<int>{200, 60, 150, 40, 50, 20} << false << window << false;
    QTest::newRow("seed 1, chunks of 7, probe") << 1u << 7 << QVector<int>{200, 60, 150, 40, 50, 20} << false << probe << false;
    QTest::newRow("seed 2, chunks of 50, empty second source and destination")
        << 2u << 50 << QVector<int>{300, 80, 0, 1, 0, 0} << false << window << false;
    QTest::newRow("seed 3, one row and chunk-sized tables, probe")
        << 3u << 10 << QVector<int>{1, 10, 10, 11, 9, 1} << true << probe << false;
    QTest::newRow("seed 4, one chunk per table") << 4u << 5000 << QVector<int>{250, 50, 250, 50, 100, 30} << true << window << false;
    QTest::newRow("seed 5, one row a chunk, probe") << 5u << 1 << QVector<int>{40, 15, 40, 15, 20, 5} << false << probe << false;
    QTest::newRow("seed 6, chunks of 64") << 6u << 64 << QVector<int>{400, 100, 200, 60, 150, 40} << true << window << false;
    QTest::newRow("seed 6, chunks of 64, probe") << 6u << 64 << QVector<int>{400, 100, 200, 60, 150, 40} << true << probe << false;
    QTest::newRow("seed 7, chunks of 16, contiguous IDs")
        << 7u << 16 << QVector<int>{300, 60, 200, 40, 40, 10} << false << window << true;
    QTest::newRow("seed 8, chunks of 40, contiguous IDs, probe")
        << 8u << 40 << QVector<int>{300, 60, 200, 40, 0, 0} << true << probe << true;
}

void tst_MeasurementCopy::bothWaysGiveTheSameDestination()
{
    QFETCH(quint32, seed);
    QFETCH(int, chunkRows);
    QFETCH(QVector<int>, sizes);
    QFETCH(bool, counterAhead);
    QFETCH(Variant, variant);
    QFETCH(bool, contiguous);
    const QString src1 = TestDatabase::uniqueName("fastpath_src");
    const QString src2 = TestDatabase::uniqueName("fastpath_src");
    const QString perRow = TestDatabase::uniqueName("fastpath_rows");
    const QString setBased = TestDatabase::uniqueName("fastpath_set");
    create({src1, src2, perRow, setBased});

    RandomMeasurements data(seed);
    const QStringList tables{"defects", "graphics"};
    for (int t = 0; t < 2; ++t) {
        exec(data.fill(src1, tables[t], sizes[t], !contiguous));
        exec(data.fill(src2, tables[t], sizes[2 + t], !contiguous));
        QStringList destination = data.fill(perRow, tables[t], sizes[4 + t], false);
        exec(destination);
        exec(destination.replaceInStrings(q(perRow), q(setBased)));
        if (counterAhead)
            for (const QString &db : {perRow, setBased})
                exec({QStringLiteral("DELETE FROM %1.%2 ORDER BY ID DESC LIMIT 2").arg(q(db), tables[t])});
    }
    for (const QString &table : tables)
        QCOMPARE(dump(setBased, table), dump(perRow, table));
    const int defectsBefore = count(perRow, "defects");

    MergeHarness rowWise;
    rowWise.merger().setMeasurementCopy(Copy::PerRow);
    QVERIFY(rowWise.run(perRow, {src1, src2}));
    MergeHarness chunked;
    QCOMPARE(chunked.merger().measurementCopy(), Copy::SetBased);
    chunked.merger().setChunkSize(chunkRows);
    chunked.merger().setCopyVariant(variant);
    QVERIFY(chunked.run(setBased, {src1, src2}));
    QCOMPARE(chunked.merger().copyVariant(), variant);

    QCOMPARE(rowWise.errorTexts, QStringList());
    QCOMPARE(chunked.errorTexts, QStringList());
    QCOMPARE(chunked.events, rowWise.events);
    // The set-based run really copied in chunks (progress once per chunk).
    QCOMPARE(chunked.progress.value(0), chunkProgress(sizes[0], chunkRows));
    QCOMPARE(chunked.progress.value(10), chunkProgress(sizes[3], chunkRows));
    QCOMPARE(rowWise.progress.value(0), rowProgress(sizes[0]));
    for (const QString &table : tables)
        QCOMPARE(dump(setBased, table), dump(perRow, table));
    // Not a trivial outcome: some offered rows were new and some were already there.
    const int offered = sizes[0] + sizes[2];
    const int inserted = count(perRow, "defects") - defectsBefore;
    QVERIFY2(offered < 20 || (inserted > 0 && inserted < offered),
             qPrintable(QStringLiteral("%1 of %2").arg(inserted).arg(offered)));
}

// ---------------------------------------------------------------- fallback

void tst_MeasurementCopy::sourceWithoutUsableIdIsCopiedPerRow_data()
{
    QTest::addColumn<QStringList>("change");
    QTest::newRow("ID of text") << QStringList{"ALTER TABLE <src>.defects MODIFY ID VARCHAR(20) NOT NULL"};
    QTest::newRow("ID of doubles") << QStringList{"ALTER TABLE <src>.defects MODIFY ID DOUBLE NOT NULL"};
    QTest::newRow("no ID") << QStringList{"ALTER TABLE <src>.defects DROP PRIMARY KEY, DROP COLUMN ID"};
    QTest::newRow("ID not unique")
        << QStringList{"ALTER TABLE <src>.defects MODIFY ID INT NOT NULL, DROP PRIMARY KEY, ADD KEY (ID)"};
    QTest::newRow("ID nullable")
        << QStringList{"ALTER TABLE <src>.defects MODIFY ID INT NOT NULL, DROP PRIMARY KEY",
                       "ALTER TABLE <src>.defects MODIFY ID INT NULL, ADD UNIQUE KEY (ID)"};
}

void tst_MeasurementCopy::sourceWithoutUsableIdIsCopiedPerRow()
{
    QFETCH(QStringList, change);
    const QString src = TestDatabase::uniqueName("fastpath_src");
    const QString perRow = TestDatabase::uniqueName("fastpath_rows");
    const QString setBased = TestDatabase::uniqueName("fastpath_set");
    create({src, perRow, setBased});
    RandomMeasurements data(11);
    exec(data.fill(src, "defects", 30, true));
    exec(change.replaceInStrings("<src>", q(src)));

    MergeHarness rowWise;
    rowWise.merger().setMeasurementCopy(Copy::PerRow);
    QVERIFY(rowWise.run(perRow, {src}));
    MergeHarness chunked;
    chunked.merger().setChunkSize(7);
    QVERIFY(chunked.run(setBased, {src}));

    QCOMPARE(chunked.errorTexts, QStringList());
    QCOMPARE(chunked.events, rowWise.events);
    QCOMPARE(chunked.progress.value(0), rowProgress(30));
    QCOMPARE(count(setBased, "defects"), count(perRow, "defects"));
    QCOMPARE(matchingRows(setBased, perRow, "defects", copiedColumns("defects")),
             count(perRow, "defects"));
}

// ---------------------------------------------------------------- progress, stop, failure

void tst_MeasurementCopy::progressCountsRowsPerChunk_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("chunkRows");
    QTest::newRow("empty table") << 0 << 10;
    QTest::newRow("one row") << 1 << 10;
    QTest::newRow("exactly one chunk") << 10 << 10;
    QTest::newRow("one row more than a chunk") << 11 << 10;
    QTest::newRow("several chunks, last one short") << 25 << 10;
}

void tst_MeasurementCopy::progressCountsRowsPerChunk()
{
    QFETCH(int, rows);
    QFETCH(int, chunkRows);
    const QString src = TestDatabase::uniqueName("fastpath_src");
    const QString dest = TestDatabase::uniqueName("fastpath_set");
    create({src, dest});
    // Gaps in the IDs: chunks hold rows, not ID ranges.
    if (rows > 0)
        exec({QStringLiteral("INSERT INTO %1.defects (ID, MyId) SELECT seq * 3, seq FROM seq_1_to_%2")
                  .arg(q(src)).arg(rows)});
    MergeHarness harness;
    harness.merger().setChunkSize(chunkRows);
    QVERIFY(harness.run(dest, {src}));
    QCOMPARE(harness.events.value(2), QStringLiteral("max:%1").arg(rows));
    QCOMPARE(harness.progress.value(0), chunkProgress(rows, chunkRows));
    QCOMPARE(count(dest, "defects"), rows);
}

// Chunks of graphics are sized by the signals' bytes: 10 signals of 1000 bytes with a
// budget of 2500 bytes go two at a time.
void tst_MeasurementCopy::signalChunksFollowTheByteBudget()
{
    const QString src = TestDatabase::uniqueName("fastpath_src");
    const QString dest = TestDatabase::uniqueName("fastpath_set");
    create({src, dest});
    exec({QStringLiteral("INSERT INTO %1.graphics (ID, DataId, Graphic) "
                         "SELECT seq, seq, REPEAT(CHAR(seq), 1000) FROM seq_1_to_10").arg(q(src))});
    MergeHarness harness;
    harness.merger().setChunkSize(100, 2500);
    QVERIFY(harness.run(dest, {src}));
    QCOMPARE(harness.progress.value(1), (QVector<int>{2, 4, 6, 8, 10}));
    QCOMPARE(count(dest, "graphics"), 10);
}

void tst_MeasurementCopy::stopIsTakenBetweenChunks()
{
    const QString src = TestDatabase::uniqueName("fastpath_src");
    const QString src2 = TestDatabase::uniqueName("fastpath_src");
    const QString dest = TestDatabase::uniqueName("fastpath_set");
    create({src, src2, dest});
    exec({QStringLiteral("INSERT INTO %1.defects (ID, MyId) SELECT seq, seq FROM seq_1_to_35").arg(q(src)),
          QStringLiteral("INSERT INTO %1.graphics (DataId) VALUES (1)").arg(q(src))});
    MergeHarness harness;
    harness.merger().setChunkSize(10);
    // On the worker thread, right after the second chunk.
    KvtMerger &merger = harness.merger();
    connect(&merger, &KvtMerger::sendProgressBarCurrentValue, &merger, [&merger](int value) {
        if (value == 20)
            merger.setStopFlag(true);
    }, Qt::DirectConnection);
    QVERIFY(harness.run(dest, {src, src2}));

    QCOMPARE(harness.errorTexts, QStringList());
    QCOMPARE(harness.events, (QStringList{"db:" + src, "status:" + src + ".defects", "max:35"}));
    QCOMPARE(harness.progress.value(0), (QVector<int>{10, 20}));
    QCOMPARE(rows(QStringLiteral("SELECT MIN(MyId), MAX(MyId), COUNT(*) FROM %1.defects").arg(q(dest))),
             QStringList{"1|20|20"});
    QCOMPARE(count(dest, "graphics"), 0);
}

void tst_MeasurementCopy::failingChunkKeepsEarlierChunks_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("code");
    QTest::newRow("destination table dropped") << "DROP TABLE <dest>.defects" << "1146";
    QTest::newRow("destination column dropped") << "ALTER TABLE <dest>.defects DROP COLUMN Errors" << "1054";
    QTest::newRow("destination column too narrow")
        << "ALTER TABLE <dest>.defects MODIFY MyId TINYINT NULL" << "1264";
}

// The destination is changed on the test thread while the worker waits after its first
// chunk; the second chunk then fails.
void tst_MeasurementCopy::failingChunkKeepsEarlierChunks()
{
    QFETCH(QString, change);
    QFETCH(QString, code);
    const QString src = TestDatabase::uniqueName("fastpath_src");
    const QString dest = TestDatabase::uniqueName("fastpath_set");
    create({src, dest});
    exec({QStringLiteral("INSERT INTO %1.defects (ID, MyId) SELECT seq, seq * 10 FROM seq_1_to_30").arg(q(src))});
    MergeHarness harness;
    harness.merger().setChunkSize(10);
    QObject gui;
    bool changed = false;
    connect(&harness.merger(), &KvtMerger::sendProgressBarCurrentValue, &gui, [&](int value) {
        if (value != 10)
            return;
        changed = TestDatabase::exec(QString(change).replace("<dest>", q(dest))).isEmpty();
    }, Qt::BlockingQueuedConnection);
    QVERIFY(harness.run(dest, {src}));

    QVERIFY(changed);
    QCOMPARE(harness.events, (QStringList{"db:" + src, "status:" + src + ".defects", "max:30",
                                          "sqlErr:" + code, "err"}));
    QCOMPARE(harness.progress.value(0), QVector<int>{10});
    QVERIFY(harness.merger().stopFlag());
    if (code != "1146")
        QCOMPARE(rows(QStringLiteral("SELECT MIN(MyId), MAX(MyId), COUNT(*) FROM %1.defects").arg(q(dest))),
                 QStringList{"10|100|10"});
}

// ---------------------------------------------------------------- plan

void tst_MeasurementCopy::destinationProbesUseAnIndex_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("destinationRows");
    QTest::newRow("defects, empty destination") << "defects" << 0;
    QTest::newRow("defects, filled destination") << "defects" << 200;
    QTest::newRow("graphics, empty destination") << "graphics" << 0;
    QTest::newRow("graphics, filled destination") << "graphics" << 200;
}

// Without an index the test for an equal destination row scans the destination for every
// source row, and a merge grows quadratic. The server plans by statistics taken when the
// destination was empty, which would choose a scan: the copy names the index.
void tst_MeasurementCopy::destinationProbesUseAnIndex()
{
    QFETCH(QString, table);
    QFETCH(int, destinationRows);
    const QString src = TestDatabase::uniqueName("fastpath_src");
    const QString dest = TestDatabase::uniqueName("fastpath_set");
    create({src, dest});
    RandomMeasurements data(21);
    exec(data.fill(src, table, 200, true));
    exec(data.fill(dest, table, destinationRows, false));
    exec({QStringLiteral("ANALYZE TABLE %1.%3, %2.%3").arg(q(src), q(dest), table)});

    const KvtTableSql sql = KvtTableSql::forTable(table == "defects" ? tnDefects : tnGraphics, dest);
    QStringList columns{"ID"};
    columns += copiedColumns(table);
    KvtChunkSql chunkSql(sql, src, dest, columns);
    KvtProbeIndex probeIndex(QSqlDatabase::database());
    QString destinationIndex;
    QString sourceIndex;
    QVERIFY(probeIndex.find(dest, table, sql.comparedColumns(), destinationIndex));
    QVERIFY(probeIndex.find(src, table, sql.comparedColumns(), sourceIndex));
    QCOMPARE(destinationIndex, QStringLiteral("ix_%1_record").arg(table));
    chunkSql.setProbeIndexes(destinationIndex, sourceIndex);
    QString statement = chunkSql.rowsToCopy();
    statement.replace(":from", "1").replace(":to", "100000");
    QSqlQuery explain;
    QVERIFY(explain.exec("EXPLAIN " + statement));
    int probes = 0;
    while (explain.next()) {
        const QString alias = explain.value("table").toString();
        if (alias != "d" && alias != "e")
            continue;
        ++probes;
        const QString key = explain.value("key").toString();
        const QString access = explain.value("type").toString();
        QVERIFY2(key == destinationIndex && access == "ref",
                 qPrintable(QStringLiteral("%1: %2 on %3").arg(alias, access, key)));
    }
    QCOMPARE(probes, 2);
}

// Without an index that starts with compared columns the copy names none and still works.
void tst_MeasurementCopy::tablesWithoutRecordIndexAreCopied()
{
    const QString src = TestDatabase::uniqueName("fastpath_src");
    const QString dest = TestDatabase::uniqueName("fastpath_set");
    create({src, dest});
    exec({QStringLiteral("ALTER TABLE %1.defects DROP INDEX ix_defects_record").arg(q(src)),
          QStringLiteral("ALTER TABLE %1.defects DROP INDEX ix_defects_record").arg(q(dest)),
          QStringLiteral("INSERT INTO %1.defects (ID, MyId) SELECT seq, seq MOD 20 FROM seq_1_to_30").arg(q(src))});
    MergeHarness harness;
    harness.merger().setChunkSize(8);
    QVERIFY(harness.run(dest, {src}));
    QCOMPARE(harness.errorTexts, QStringList());
    QCOMPARE(harness.progress.value(0), (QVector<int>{8, 16, 24, 30}));
    QCOMPARE(rows(QStringLiteral("SELECT COUNT(*), COUNT(DISTINCT MyId), SUM(MyId) FROM %1.defects").arg(q(dest))),
             QStringList{"20|20|190"});
}

// The catalogue statements go unprepared, their values written in by the driver: quotes,
// backslashes and NULL arrive as they were, and a longer placeholder is not taken for a
// shorter one.
void tst_MeasurementCopy::catalogueStatementsTakeValuesAsLiterals()
{
    const QString hostile = QStringLiteral("it's \\ `x`; DROP TABLE t; -- ");
    KvtPreparedQuery query(QSqlDatabase::database(), QStringLiteral("SELECT :a, :ab, :a IS NULL"),
                           KvtPreparedQuery::Mode::Inline);
    QVERIFY2(query.exec({{QStringLiteral(":ab"), PSqlNull::typed()}, {QStringLiteral(":a"), hostile}}),
             qPrintable(query.query().lastError().text()));
    QVERIFY(query.query().next());
    QCOMPARE(query.query().value(0).toString(), hostile);
    QVERIFY(query.query().value(1).isNull());
    QCOMPARE(query.query().value(2).toInt(), 0);
}

QTEST_GUILESS_MAIN(tst_MeasurementCopy)
#include "tst_measurementcopy.moc"
