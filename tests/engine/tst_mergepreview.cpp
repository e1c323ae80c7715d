// The preview against the merge that follows it: the rows it expects to insert are the
// rows the merge inserts, per source and table, on random sources with NULLs and rows
// repeated within and across sources and already present; it leaves the destination as
// it was; its conflicts are the merge's; a stop and a failure end it. And the merge's
// report against the destination: counts, statuses and every kind of settled conflict.

#include "EngineTestCase.h"
#include "EngineTestData.h"
#include "MergeHarness.h"
#include "MergePreview.h"
#include "RandomMeasurements.h"
#include "MergeReportWriter.h"
#include "KvtTables.h"
#include "TestDatabase.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace EngineTestData;

namespace {

const QStringList allTables{"defects", "graphics", "defectref", "dettypes", "device",
                            "factory", "results",  "humans",    "zones"};

} // namespace

class tst_MergePreview : public EngineTestCase
{
    Q_OBJECT

private slots:
    void previewMatchesTheMerge_data();
    void previewMatchesTheMerge();
    void conflictsAreTheMergesConflicts();
    void stopEndsThePreview();
    void missingSourceFailsThePreview();
    void reportListsEverySettledConflict();
    void reportOfAStoppedRun();
};

void tst_MergePreview::previewMatchesTheMerge_data()
{
    QTest::addColumn<quint32>("seed");
    // Rows of defects and graphics of each source, then of the destination.
    QTest::addColumn<QVector<int>>("sizes");
    QTest::addColumn<bool>("perRow");
    QTest::addColumn<bool>("sourceIdUsable");

    QTest::newRow("two sources, destination holds rows")
        << 21u << QVector<int>{120, 40, 90, 30, 60, 20} << false << true;
    QTest::newRow("three sources, empty destination, per row")
        << 22u << QVector<int>{50, 15, 50, 15, 0, 0} << true << true;
    QTest::newRow("source without a usable ID") << 23u << QVector<int>{80, 20, 40, 10, 30, 10}
                                                << false << false;
}

void tst_MergePreview::previewMatchesTheMerge()
{
    QFETCH(quint32, seed);
    QFETCH(QVector<int>, sizes);
    QFETCH(bool, perRow);
    QFETCH(bool, sourceIdUsable);
    const QString src1 = TestDatabase::uniqueName("preview_src");
    const QString src2 = TestDatabase::uniqueName("preview_src");
    const QString dest = TestDatabase::uniqueName("preview_dest");
    create({src1, src2, dest});
    // Reference tables without conflicts: the same records under more keys in the second
    // source, some of them already in the destination.
    QVERIFY(fillDemo(src1, 1, 0, 0, 12).isEmpty());
    QVERIFY(fillDemo(src2, 1, 0, 0, 20).isEmpty());
    QVERIFY(fillDemo(dest, 1, 0, 0, 6).isEmpty());
    RandomMeasurements data(seed);
    const QStringList measurement{"defects", "graphics"};
    for (int t = 0; t < 2; ++t) {
        exec(data.fill(src1, measurement[t], sizes[t], true));
        exec(data.fill(src2, measurement[t], sizes[2 + t], true));
        exec(data.fill(dest, measurement[t], sizes[4 + t], false));
    }
    if (!sourceIdUsable)
        exec({QStringLiteral("ALTER TABLE %1.defects MODIFY ID INT NOT NULL, DROP PRIMARY KEY").arg(q(src2))});
    // The second source named twice and the destination named among the sources.
    const QStringList sources{src1, dest, src2, src1};
    const QStringList before = checksums(dest);
    QMap<QString, int> rowsBefore;
    for (const QString &table : allTables)
        rowsBefore[table] = count(dest, table);

    MergePreview preview;
    preview.setDestination(dest);
    preview.setSources(sources);
    preview.run();
    QCOMPARE(preview.report().errors(), QStringList());
    QCOMPARE(preview.report().status(), MergeReport::RunStatus::Preview);
    QCOMPARE(checksums(dest), before);
    QCOMPARE(preview.conflicts().size(), 0);

    MergeHarness merge;
    if (perRow)
        merge.merger().setMeasurementCopy(KvtMerger::MeasurementCopy::PerRow);
    QVERIFY(merge.run(dest, sources));
    QCOMPARE(merge.errorTexts, QStringList());
    QCOMPARE(merge.conflicts.size(), 0);

    const MergeReport &expected = preview.report();
    const MergeReport &merged = merge.merger().report();
    QCOMPARE(merged.status(), MergeReport::RunStatus::Done);
    QCOMPARE(expected.sources().size(), 4);
    QVERIFY(expected.sources().at(1).skipped && expected.sources().at(3).skipped);
    for (int t = 0; t < allTables.size(); ++t) {
        const kvtTableName table = MergeReport::tableOrder().at(t);
        QCOMPARE(allTables.at(t), KvtTable::of(table).name);
        qint64 toInsert = 0;
        for (const int source : {0, 2}) {
            const MergeReport::TableCounts &c = expected.table(source, table);
            QCOMPARE(c.status, MergeReport::TableStatus::Preview);
            QCOMPARE(c.rows, qint64(count(sources.at(source), allTables.at(t))));
            QCOMPARE(c.inserted + c.present, c.rows);
            const MergeReport::TableCounts &m = merged.table(source, table);
            QCOMPARE(m.status, MergeReport::TableStatus::Done);
            QCOMPARE(m.rows, c.rows);
            QCOMPARE(m.inserted, c.inserted);
            QCOMPARE(m.present, c.present);
            toInsert += c.inserted;
        }
        QCOMPARE(expected.table(1, table).status, MergeReport::TableStatus::Skipped);
        QCOMPARE(merged.table(3, table).status, MergeReport::TableStatus::Skipped);
        QCOMPARE(qint64(count(dest, allTables.at(t)) - rowsBefore[allTables.at(t)]), toInsert);
    }
    // Not a trivial outcome: rows of both kinds, and the second source meets the first.
    const MergeReport::TableCounts &second = expected.table(2, tnDefects);
    QVERIFY(second.inserted > 0 && second.present > 0);
    QCOMPARE(expected.table(2, tnDetTypes).present, qint64(12));
}

void tst_MergePreview::conflictsAreTheMergesConflicts()
{
    const QString src1 = TestDatabase::uniqueName("preview_src");
    const QString src2 = TestDatabase::uniqueName("preview_src");
    const QString dest = TestDatabase::uniqueName("preview_dest");
    create({src1, src2, dest});
    // From the second demo database on, every key ending in 7 has other content.
    QVERIFY(fillDemo(src1, 1, 20, 5, 30).isEmpty());
    QVERIFY(fillDemo(src2, 2, 20, 5, 30).isEmpty());
    QVERIFY(fillDemo(dest, 3, 0, 0, 10).isEmpty());

    MergePreview preview;
    preview.setDestination(dest);
    preview.setSources({src1, src2});
    preview.run();
    QCOMPARE(preview.report().errors(), QStringList());

    MergeHarness merge; // every conflict left out
    QVERIFY(merge.run(dest, {src1, src2}));
    QCOMPARE(merge.errorTexts, QStringList());
    QCOMPARE(preview.conflicts().size(), merge.conflicts.size());
    QMap<int, int> previewed;
    QMap<int, int> met;
    for (const MergePreview::Conflict &c : preview.conflicts())
        ++previewed[c.table];
    for (const MergeHarness::Conflict &c : merge.conflicts)
        ++met[c.table];
    QCOMPARE(previewed, met);
    QVERIFY(!met.isEmpty());

    // Each conflict carries both records as the comparison dialog reads them.
    for (const MergePreview::Conflict &c : preview.conflicts()) {
        QCOMPARE(c.sourceRecord.size(), c.columns.size());
        QCOMPARE(c.destinationRecord.size(), c.columns.size());
        QVERIFY(c.sourceRecord != c.destinationRecord);
        QCOMPARE(c.sourceRecord.at(c.columns.indexOf(KvtPreviewSql::keyColumn(c.table))).toString(),
                 c.key);
        QVERIFY(c.destinationOrigin == dest || c.destinationOrigin == src1);
    }
}

void tst_MergePreview::stopEndsThePreview()
{
    const QString src = TestDatabase::uniqueName("preview_src");
    const QString dest = TestDatabase::uniqueName("preview_dest");
    create({src, dest});
    QVERIFY(fillDemo(src, 1, 30, 5, 10).isEmpty());

    MergePreview preview;
    preview.setDestination(dest);
    preview.setSources({src});
    QList<int> done;
    connect(&preview, &MergePreview::progressed, this, [&](int tables, int total) {
        done << tables;
        QCOMPARE(total, 9);
        preview.requestStop();
    });
    preview.run();
    QCOMPARE(done, QList<int>{1});
    QCOMPARE(preview.report().status(), MergeReport::RunStatus::Stopped);
    QCOMPARE(preview.report().table(0, tnDefects).status, MergeReport::TableStatus::Preview);
    QCOMPARE(preview.report().table(0, tnGraphics).status, MergeReport::TableStatus::NotReached);

    // On its own thread, stopped at once: it ends without waiting for its statements.
    MergePreview threaded;
    threaded.setDestination(dest);
    threaded.setSources({src});
    threaded.start();
    threaded.requestStop();
    QVERIFY(threaded.wait(30000));
    QCOMPARE(threaded.report().status(), MergeReport::RunStatus::Stopped);
    QCOMPARE(threaded.report().errors(), QStringList());
}

void tst_MergePreview::missingSourceFailsThePreview()
{
    const QString src = TestDatabase::uniqueName("preview_src");
    const QString dest = TestDatabase::uniqueName("preview_dest");
    create({src, dest});
    MergePreview preview;
    preview.setDestination(dest);
    preview.setSources({src, TestDatabase::uniqueName("preview_missing")});
    preview.run();
    QCOMPARE(preview.report().status(), MergeReport::RunStatus::Failed);
    QCOMPARE(preview.report().errors().size(), 1);
    QVERIFY2(preview.report().errors().first().contains("doesn't exist"),
             qPrintable(preview.report().errors().first()));
    // Found before the first source is previewed, as the merge finds it.
    QCOMPARE(preview.report().table(0, tnZones).status, MergeReport::TableStatus::NotReached);
    QCOMPARE(preview.report().table(1, tnDefects).status, MergeReport::TableStatus::NotReached);
}

void tst_MergePreview::reportListsEverySettledConflict()
{
    const QString src1 = TestDatabase::uniqueName("report_src");
    const QString src2 = TestDatabase::uniqueName("report_src");
    const QString dest = TestDatabase::uniqueName("report_dest");
    create({src1, src2, dest});
    QVERIFY(fillDemo(src1, 1, 20, 5, 30).isEmpty());
    QVERIFY(fillDemo(src2, 2, 20, 5, 30).isEmpty());

    // The harness writes nothing: the report takes what the resolver says it did. The
    // first conflict is left unsettled, as when a merge is stopped in it.
    MergeHarness merge;
    const QStringList decisions{"replaced", "added_new_key", "left_out"};
    const QStringList deciders{"operator", "standing_choice", "policy"};
    QStringList expected;
    merge.setConflictHandler([&](const MergeHarness::Conflict &c) {
        const int n = merge.conflicts.size() - 1;
        const QString key = c.sourceQuery.section('=', -1);
        if (n == 0)
            return true;
        const auto decision = MergeReport::Decision(n % 3);
        const auto by = c.table == tnDevice ? MergeReport::DecidedBy::DeviceRule
                                            : MergeReport::DecidedBy((n / 3) % 3);
        const QString newKey = decision == MergeReport::Decision::AddedNewKey ? QString::number(900 + n) : QString();
        merge.merger().settleConflict(decision, by, newKey);
        expected << QStringLiteral("%1;%2;%3;%4;%5;%6")
                        .arg(src2, KvtTable::of(c.table).name, key,
                             decisions.at(n % 3),
                             c.table == tnDevice ? QStringLiteral("device_rule") : deciders.at((n / 3) % 3),
                             newKey);
        return true;
    });
    QVERIFY(merge.run(dest, {src1, src2}));
    QCOMPARE(merge.errorTexts, QStringList());
    QVERIFY(merge.conflicts.size() >= 7);

    const MergeReport &report = merge.merger().report();
    qint64 conflicts = 0;
    qint64 settled = 0;
    for (const MergeReport::TableCounts &t : report.sources().at(1).tables) {
        conflicts += t.conflicts;
        settled += t.replaced + t.addedNewKey + t.leftOut;
        QCOMPARE(t.rows, t.inserted + t.present + t.conflicts);
    }
    QCOMPARE(conflicts, qint64(merge.conflicts.size()));
    QCOMPARE(settled, conflicts - 1);

    QTemporaryDir dir;
    const MergeReportWriter::Result files = MergeReportWriter::write(report, dir.path());
    QVERIFY(files.ok);
    QFile list(files.basePath + "_conflicts.csv");
    QVERIFY(list.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromUtf8(list.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.takeFirst(), QStringLiteral("source;table;key;decision;decided_by;new_key"));
    QCOMPARE(lines, expected);
}

void tst_MergePreview::reportOfAStoppedRun()
{
    const QString src = TestDatabase::uniqueName("report_src");
    const QString dest = TestDatabase::uniqueName("report_dest");
    create({src, dest});
    QVERIFY(fillDemo(src, 1, 3000, 5, 10).isEmpty());
    MergeHarness merge;
    merge.merger().setChunkSize(500);
    connect(&merge.merger(), &KvtMerger::sendProgressBarCurrentValue, this,
            [&](int value) {
                if (value >= 1000)
                    merge.merger().setStopFlag(true);
            },
            Qt::DirectConnection);
    QVERIFY(merge.run(dest, {src, dest}));

    const MergeReport &report = merge.merger().report();
    QCOMPARE(report.status(), MergeReport::RunStatus::Stopped);
    QCOMPARE(report.errors(), QStringList());
    const MergeReport::TableCounts &defects = report.table(0, tnDefects);
    QCOMPARE(defects.status, MergeReport::TableStatus::Stopped);
    QCOMPARE(defects.rows, qint64(count(src, "defects")));
    QCOMPARE(defects.inserted, qint64(count(dest, "defects")));
    QVERIFY(defects.inserted >= 1000 && defects.inserted < defects.rows);
    QCOMPARE(report.table(0, tnGraphics).status, MergeReport::TableStatus::NotReached);
    QCOMPARE(report.table(1, tnDefects).status, MergeReport::TableStatus::Skipped);
    QVERIFY(report.start().isValid() && report.end() >= report.start());
}

QTEST_MAIN(tst_MergePreview)
#include "tst_mergepreview.moc"
