// The server goes away in the middle of a merge: the worker reports the error and ends
// its run cleanly, keeps the rows it inserted, and a second run after a restart completes
// without inserting any row twice. Runs against a private server of its own.

#include "EngineTestData.h"
#include "MergeHarness.h"
#include "MergeJournal.h"
#include "MergeUndo.h"
#include "PrivateServer.h"
#include "TestDatabase.h"

#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QtTest>

using namespace EngineTestData;

Q_DECLARE_METATYPE(KvtMerger::MeasurementCopy)

class tst_KvtMergerServerLoss : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void serverStoppedDuringAMerge_data();
    void serverStoppedDuringAMerge();
    void journaledRunUndoneAfterServerLoss_data();
    void journaledRunUndoneAfterServerLoss();

private:
    bool startServer();
    bool stopServer();

    QTemporaryDir m_dir;
    bool m_started = false;
};

bool tst_KvtMergerServerLoss::startServer()
{
    m_started = true; // stopping a server that did not start is harmless
    return PrivateServer::start(m_dir.path());
}

bool tst_KvtMergerServerLoss::stopServer()
{
    return PrivateServer::stop(m_dir.path());
}

void tst_KvtMergerServerLoss::initTestCase()
{
    QVERIFY(m_dir.isValid());
    if (!PrivateServer::available())
        QSKIP("no MariaDB server installed to start a private one");
    QVERIFY(startServer());
}

void tst_KvtMergerServerLoss::cleanupTestCase()
{
    TestDatabase::closeAll();
    if (m_started)
        stopServer();
}

void tst_KvtMergerServerLoss::serverStoppedDuringAMerge_data()
{
    QTest::addColumn<KvtMerger::MeasurementCopy>("copy");
    QTest::newRow("per row") << KvtMerger::MeasurementCopy::PerRow;
    QTest::newRow("set-based") << KvtMerger::MeasurementCopy::SetBased;
}

void tst_KvtMergerServerLoss::serverStoppedDuringAMerge()
{
    QFETCH(KvtMerger::MeasurementCopy, copy);
    const QString src = QStringLiteral("engine_loss_src");
    const QString dest = QStringLiteral("engine_loss_dest");
    QVERIFY(TestDatabase::createKvtDatabase(src).isEmpty());
    QVERIFY(TestDatabase::createKvtDatabase(dest).isEmpty());
    // 15,000 inspections, 30 of them printed twice.
    QVERIFY(fillDemo(src, 1, 15000, 0, 3).isEmpty());
    QCOMPARE(count(src, "defects"), 15030);

    MergeHarness harness;
    harness.merger().setMeasurementCopy(copy);
    bool stopped = false;
    QObject gui;
    if (copy == KvtMerger::MeasurementCopy::PerRow) {
        harness.setProgressHook([&](int value) {
            if (value == 300 && !stopped)
                stopped = stopServer();
        });
    } else {
        // Chunks go fast: the worker waits after its first chunk until the server is gone.
        harness.merger().setChunkSize(1000);
        connect(&harness.merger(), &KvtMerger::sendProgressBarCurrentValue, &gui, [&](int value) {
            if (value == 1000 && !stopped)
                stopped = stopServer();
        }, Qt::BlockingQueuedConnection);
    }
    QVERIFY(harness.run(dest, {src}));
    QVERIFY(stopped);
    QVERIFY2(harness.events.contains(QStringLiteral("err")), qPrintable(harness.events.join(' ')));
    QCOMPARE(harness.events.filter(QStringLiteral("sqlErr:")).size(), 1);
    QVERIFY(!harness.errorTexts.value(0).isEmpty());
    QCOMPARE(harness.events.last(), QStringLiteral("err"));
    QVERIFY(!harness.events.contains(QStringLiteral("done:") + src));
    QVERIFY(harness.merger().stopFlag());

    const MergeReport failed = harness.merger().report();
    QVERIFY(startServer());
    const int kept = count(dest, "defects");
    QVERIFY2(kept >= 300 && kept < 15000, qPrintable(QString::number(kept)));
    // The report of the failed run counts the inserts the server confirmed: all that the
    // destination kept but the statement in flight, whose commit may have happened without
    // its answer reaching the worker.
    QCOMPARE(failed.status(), MergeReport::RunStatus::Failed);
    QCOMPARE(failed.errors(), harness.errorTexts);
    QCOMPARE(failed.table(0, tnDefects).status, MergeReport::TableStatus::Failed);
    const qint64 unconfirmed = kept - failed.table(0, tnDefects).inserted;
    QVERIFY2(unconfirmed >= 0 && unconfirmed <= (copy == KvtMerger::MeasurementCopy::PerRow ? 1 : 1000),
             qPrintable(QString::number(unconfirmed)));
    QCOMPARE(failed.table(0, tnGraphics).status, MergeReport::TableStatus::NotReached);

    QVERIFY(harness.run(dest, {src}));
    QCOMPARE(harness.errorTexts, QStringList());
    QCOMPARE(harness.events.last(), QStringLiteral("done:") + src);
    QCOMPARE(count(dest, "defects"), 15000);
    QCOMPARE(harness.merger().report().table(0, tnDefects).inserted, qint64(15000 - kept));
    QCOMPARE(harness.merger().report().table(0, tnDefects).present, qint64(15030 - (15000 - kept)));
    QCOMPARE(matchingRows(src, dest, "defects", copiedColumns("defects")), 15000);

    TestDatabase::dropDatabase(src);
    TestDatabase::dropDatabase(dest);
}

void tst_KvtMergerServerLoss::journaledRunUndoneAfterServerLoss_data()
{
    serverStoppedDuringAMerge_data();
}

// The server goes away mid-run (per row: inside a batch; set-based: with a chunk in
// flight); after a restart the undo takes back everything of the run and nothing else.
void tst_KvtMergerServerLoss::journaledRunUndoneAfterServerLoss()
{
    QFETCH(KvtMerger::MeasurementCopy, copy);
    const QString src = QStringLiteral("engine_loss_jsrc");
    const QString dest = QStringLiteral("engine_loss_jdest");
    QVERIFY(TestDatabase::createKvtDatabase(src).isEmpty());
    QVERIFY(TestDatabase::createKvtDatabase(dest).isEmpty());
    QVERIFY(fillDemo(src, 1, 3000, 0, 3).isEmpty());
    QVERIFY(TestDatabase::exec(QStringLiteral("INSERT INTO %1.defects (MyId) VALUES (-1)").arg(q(dest))).isEmpty());
    MergeJournal journal(m_dir.filePath("journal.sqlite"));
    QVERIFY(journal.open());

    MergeHarness harness;
    harness.merger().setMeasurementCopy(copy);
    harness.merger().setJournal(&journal);
    harness.merger().setChunkSize(1000);
    bool stopped = false;
    QObject gui;
    const int at = copy == KvtMerger::MeasurementCopy::PerRow ? 700 : 1000;
    connect(&harness.merger(), &KvtMerger::sendProgressBarCurrentValue, &gui, [&](int value) {
        if (value == at && !stopped)
            stopped = stopServer();
    }, Qt::BlockingQueuedConnection);
    QVERIFY(harness.run(dest, {src}));
    QVERIFY(stopped);
    QVERIFY(startServer());
    QVERIFY(TestDatabase::openDefault().isOpen());
    QVERIFY(count(dest, "defects") > 1);

    MergeUndo undo(journal, QSqlDatabase::database());
    MergeUndo::Plan plan;
    QVERIFY2(undo.plan(harness.merger().journalRun(), plan), qPrintable(undo.error()));
    const MergeUndo::Result result = undo.execute(plan, m_dir.filePath("reports"));
    QVERIFY2(result.complete, qPrintable(result.error));
    QCOMPARE(rows(QStringLiteral("SELECT MyId FROM %1.defects").arg(q(dest))), QStringList{"-1"});

    TestDatabase::dropDatabase(src);
    TestDatabase::dropDatabase(dest);
}

QTEST_GUILESS_MAIN(tst_KvtMergerServerLoss)
#include "tst_kvtmerger_serverloss.moc"
