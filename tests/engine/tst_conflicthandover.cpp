// The hand-over of a conflict against a real server: the worker hands the conflict over
// as a value (table, key, both records with their NULLs, databases, run), a settler
// decides through ConflictHandOver, and the report lists what it decided. Two merges
// journaling at once each journal their own replaced and re-keyed records.

#include "ConflictResolver.h"
#include "ConflictSettler.h"
#include "EngineTestCase.h"
#include "EngineTestData.h"
#include "KvtMerger.h"
#include "MergeJournal.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using namespace EngineTestData;

namespace {

using Decision = MergeReport::Decision;
using Outcome = ConflictSettlement::Outcome;

// A settler that runs a script for each conflict on the test's thread.
class ScriptedSettler : public ConflictSettler
{
public:
    using Script = std::function<ConflictSettlement(const MergeConflict &)>;
    explicit ScriptedSettler(Script script)
        : m_script(std::move(script))
    {
    }
    ConflictSettlement settle(const MergeConflict &conflict) override
    {
        conflicts << conflict;
        return m_script(conflict);
    }
    QList<MergeConflict> conflicts;

private:
    Script m_script;
};

// Writes the decision through the engine's resolver, as the window and the batch mode do.
ConflictSettlement write(const MergeConflict &conflict, Decision decision)
{
    ConflictResolver resolver;
    resolver.setConflict(conflict);
    const auto by = MergeReport::DecidedBy::Policy;
    switch (decision) {
    case Decision::Replaced:
        if (!resolver.replaceDestinationRecord())
            return ConflictSettlement::of(Outcome::Stop);
        return ConflictSettlement::settled(decision, by);
    case Decision::AddedNewKey: {
        quint64 key = 0;
        if (!resolver.proposedKey(key) || resolver.addUnderNewKey() != ConflictResolver::AddOutcome::Added)
            return ConflictSettlement::of(Outcome::Stop);
        return ConflictSettlement::settled(decision, by, QString::number(key));
    }
    case Decision::LeftOut:
        break;
    }
    return ConflictSettlement::settled(decision, by);
}

// Starts the merge and waits until its thread has ended.
bool runMerge(KvtMerger &merger, const QString &destination, const QStringList &sources)
{
    QSignalSpy finished(&merger, &QThread::finished);
    merger.setCurrentDataBaseDestination(destination);
    merger.setDBList(sources);
    merger.start();
    const bool ended = finished.wait(120000);
    merger.wait();
    return ended;
}

} // namespace

class tst_ConflictHandOver : public EngineTestCase
{
    Q_OBJECT

private slots:
    void conflictArrivesAsAValue();
    void settlerDecidesEachWay_data();
    void settlerDecidesEachWay();
    void stopEndsTheRunWithoutAWaitingWorker();
    void twoJournalsAtOnceKeepTheirOwnEntries();

private:
    // A source and a destination with the statements' records (%1 the source, %2 the
    // destination), and a second source with one defect; merges both sources.
    struct Databases
    {
        QString src, src2, dest;
    };
    Databases mergeBoth(const QStringList &statements, KvtMerger &merger, ConflictSettler &settler);
};

tst_ConflictHandOver::Databases tst_ConflictHandOver::mergeBoth(const QStringList &statements, KvtMerger &merger,
                                                                ConflictSettler &settler)
{
    Databases d{createDatabase("kvt_handover_src"), createDatabase("kvt_handover_src2"),
                createDatabase("kvt_handover_dest")};
    QStringList filled;
    for (const QString &statement : statements)
        filled << QString(statement).replace(QLatin1String("%1"), q(d.src)).replace(QLatin1String("%2"), q(d.dest));
    exec(filled << QStringLiteral("INSERT INTO %1.defects (MyId) VALUES (3)").arg(q(d.src2)));
    ConflictHandOver::connect(merger, settler, this);
    if (!runMerge(merger, d.dest, {d.src, d.src2}))
        QTest::qFail("the merge did not end", __FILE__, __LINE__);
    return d;
}

// Both records as values (NULL and Cyrillic kept), the key without parsing SQL, and the
// SELECT texts of differentRecordsInTbs, which is still emitted first.
void tst_ConflictHandOver::conflictArrivesAsAValue()
{
    const QString src = createDatabase("kvt_handover_src");
    const QString dest = createDatabase("kvt_handover_dest");
    exec({QStringLiteral("INSERT INTO %1.humans VALUES (5, 'Иванов', 'Пётр', NULL, 'Иванов П.', 77)").arg(q(src)),
          QStringLiteral("INSERT INTO %1.humans VALUES (9, 'Петров', 'Иван', 'Ильич', 'Петров И. И.', 77)")
              .arg(q(dest))});
    KvtMerger merger;
    QStringList texts;
    QObject::connect(&merger, &KvtMerger::differentRecordsInTbs, this,
                     [&texts](kvtTableName, const QString &srcTb, const QString &destTb) { texts << srcTb << destTb; },
                     Qt::QueuedConnection);
    ScriptedSettler settler([](const MergeConflict &c) { return write(c, Decision::LeftOut); });
    ConflictHandOver::connect(merger, settler, this);
    QVERIFY(runMerge(merger, dest, {src}));

    QCOMPARE(settler.conflicts.size(), 1);
    const MergeConflict &c = settler.conflicts.first();
    QCOMPARE(c.table, tnHumans);
    QCOMPARE(c.keyColumn, QStringLiteral("TabNo"));
    QCOMPARE(c.key, QStringLiteral("77"));
    QCOMPARE(c.sourceDB, src);
    QCOMPARE(c.destinationDB, dest);
    QCOMPARE(c.where(), src + QStringLiteral(".humans, key 77"));
    QCOMPARE(c.source.columns, (QStringList{"ID", "Famname", "FstName", "SecName", "FullName", "TabNo"}));
    QCOMPARE(c.source.value("Famname").toString(), QStringLiteral("Иванов"));
    QVERIFY(c.source.value("SecName").isNull());
    QVERIFY(c.source.value("SecName").isValid());
    QVERIFY(!c.source.value("NoSuchColumn").isValid());
    QCOMPARE(c.destination.value("ID").toInt(), 9);
    QCOMPARE(c.destination.value("SecName").toString(), QStringLiteral("Ильич"));
    QCOMPARE(texts, (QStringList{c.sourceSelect, c.destinationSelect}));
    QVERIFY(c.journalRun.journal == nullptr);
    QCOMPARE(merger.report().conflicts().size(), 1);
}

void tst_ConflictHandOver::settlerDecidesEachWay_data()
{
    QTest::addColumn<int>("decision");
    QTest::addColumn<QStringList>("destination");
    QTest::addColumn<QString>("newKey");
    QTest::newRow("replace") << int(Decision::Replaced) << QStringList{"1|NULL|Один"} << QString();
    QTest::newRow("add under a new key") << int(Decision::AddedNewKey)
                                         << QStringList{"1|А|Один!", "2|NULL|Один"} << QStringLiteral("2");
    QTest::newRow("leave out") << int(Decision::LeftOut) << QStringList{"1|А|Один!"} << QString();
}

// The settler's decision is written and listed; the worker goes on to the next source.
void tst_ConflictHandOver::settlerDecidesEachWay()
{
    QFETCH(int, decision);
    QFETCH(QStringList, destination);
    QFETCH(QString, newKey);
    KvtMerger merger;
    ScriptedSettler settler([decision](const MergeConflict &c) { return write(c, Decision(decision)); });
    const Databases d = mergeBoth({QStringLiteral("INSERT INTO %1.defectref VALUES (1, NULL, 'Один')"),
                                   QStringLiteral("INSERT INTO %2.defectref VALUES (1, 'А', 'Один!')")},
                                  merger, settler);

    QVERIFY(!merger.isPaused());
    QCOMPARE(rows(QStringLiteral("SELECT * FROM %1.defectref ORDER BY ID").arg(q(d.dest))), destination);
    QCOMPARE(count(d.dest, "defects"), 1);
    QCOMPARE(merger.report().status(), MergeReport::RunStatus::Done);
    QCOMPARE(merger.report().conflicts().size(), 1);
    const MergeReport::Conflict listed = merger.report().conflicts().first();
    QCOMPARE(listed.table, tnDefectRef);
    QCOMPARE(listed.key, QStringLiteral("1"));
    QCOMPARE(int(listed.decision), decision);
    QCOMPARE(listed.decidedBy, MergeReport::DecidedBy::Policy);
    QCOMPARE(listed.newKey, newKey);
}

// A settler that cannot settle stops the run: the worker is woken by the stop, nothing
// is listed, the later source is not merged.
void tst_ConflictHandOver::stopEndsTheRunWithoutAWaitingWorker()
{
    KvtMerger merger;
    ScriptedSettler settler([](const MergeConflict &) { return ConflictSettlement::of(Outcome::Stop); });
    const Databases d = mergeBoth({QStringLiteral("INSERT INTO %1.device VALUES (2, 'Прибор')"),
                                   QStringLiteral("INSERT INTO %2.device VALUES (2, 'Прибор \\'2\\'')")},
                                  merger, settler);

    QCOMPARE(settler.conflicts.size(), 1);
    QVERIFY(merger.stopFlag());
    QVERIFY(merger.report().conflicts().isEmpty());
    QCOMPARE(rows(QStringLiteral("SELECT Name FROM %1.device").arg(q(d.dest))), QStringList{"Прибор '2'"});
    QCOMPARE(count(d.dest, "defects"), 0);
}

// Two merges into two destinations, each with its own journal, both waiting on a
// conflict at the same time: each journal holds the replaced and the re-keyed record of
// its own run, and nothing of the other's.
void tst_ConflictHandOver::twoJournalsAtOnceKeepTheirOwnEntries()
{
    QTemporaryDir dir;
    struct Merge
    {
        QString src, dest;
        std::unique_ptr<MergeJournal> journal;
        KvtMerger merger;
        QList<MergeConflict> waiting;
    };
    Merge merges[2];
    for (int i = 0; i < 2; ++i) {
        Merge &m = merges[i];
        m.src = createDatabase(QStringLiteral("kvt_twojournals_src%1").arg(i));
        m.dest = createDatabase(QStringLiteral("kvt_twojournals_dest%1").arg(i));
        exec({QStringLiteral("INSERT INTO %1.results VALUES (1, 'А', 'Годен'), (2, 'Б', 'Брак')").arg(q(m.src)),
              QStringLiteral("INSERT INTO %1.results VALUES (1, 'А', 'Годен!'), (2, 'Б', 'Брак!')").arg(q(m.dest))});
        m.journal = std::make_unique<MergeJournal>(dir.filePath(QStringLiteral("journal%1.sqlite").arg(i)));
        m.merger.setJournal(m.journal.get());
        // The reference batches decide on the server; every conflict still comes here.
        QObject::connect(&m.merger, &KvtMerger::conflictHandedOver, this,
                         [&m](const MergeConflict &c) { m.waiting << c; }, Qt::QueuedConnection);
    }
    QSignalSpy finished0(&merges[0].merger, &QThread::finished);
    QSignalSpy finished1(&merges[1].merger, &QThread::finished);
    for (Merge &m : merges) {
        m.merger.setCurrentDataBaseDestination(m.dest);
        m.merger.setDBList({m.src});
        m.merger.start();
    }
    // Key 1 is replaced, key 2 added under a new key; a conflict is settled only while
    // the other merge waits on one too (or has ended).
    const auto settleWaiting = [](Merge &m) {
        while (!m.waiting.isEmpty()) {
            const MergeConflict c = m.waiting.takeFirst();
            ConflictHandOver::finish(m.merger, write(c, c.key == "1" ? Decision::Replaced : Decision::AddedNewKey));
        }
    };
    QTRY_VERIFY_WITH_TIMEOUT(!merges[0].waiting.isEmpty() && !merges[1].waiting.isEmpty(), 60000);
    while (finished0.isEmpty() || finished1.isEmpty()) {
        if ((!merges[0].waiting.isEmpty() || !finished0.isEmpty())
            && (!merges[1].waiting.isEmpty() || !finished1.isEmpty())) {
            settleWaiting(merges[0]);
            settleWaiting(merges[1]);
        }
        QTest::qWait(20);
    }

    for (Merge &m : merges) {
        m.merger.wait();
        QCOMPARE(rows(QStringLiteral("SELECT * FROM %1.results ORDER BY ID").arg(q(m.dest))),
                 (QStringList{"1|А|Годен", "2|Б|Брак!", "3|Б|Брак"}));
        QVector<MergeJournal::Entry> entries;
        QVERIFY2(m.journal->entries(m.merger.journalRun(), entries), qPrintable(m.journal->lastError()));
        QStringList journaled;
        for (const MergeJournal::Entry &e : entries)
            journaled << QStringLiteral("%1 %2 %3 %4 %5")
                             .arg(int(e.kind))
                             .arg(int(e.table))
                             .arg(e.id)
                             .arg(e.before.value("Name").toString(), e.source + '/' + e.sourceKey);
        journaled.sort();
        QCOMPARE(journaled, (QStringList{QStringLiteral("2 %1 1 Годен! /").arg(int(tnResults)),
                                         QStringLiteral("3 %1 3  %2/2").arg(int(tnResults)).arg(m.src)}));
        m.journal->releaseConnection();
    }
}

QTEST_GUILESS_MAIN(tst_ConflictHandOver)
#include "tst_conflicthandover.moc"
