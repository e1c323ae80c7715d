// The undo's rules against a real server: a replaced record comes back with its NULLs and
// types; the state before the run comes back, rows of that state that named records the
// run brought included, while rows that came after the run began hold such a record back;
// a record replaced many times in one run and again by a rerun comes back, newest run
// first; nothing is undone beside a merge into the destination, and no merge starts
// beside an undo.

#include "ConflictResolver.h"
#include "EngineTestCase.h"
#include "EngineTestData.h"
#include "KvtDestinationLock.h"
#include "KvtMessages.h"
#include "KvtTables.h"
#include "MergeHarness.h"
#include "PSqlNull.h"
#include "MergeJournal.h"
#include "MergeUndo.h"
#include "TestDatabase.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace EngineTestData;

namespace {

QString value(const QString &query)
{
    return TestDatabase::scalar(query).toString();
}

} // namespace

class tst_MergeUndo : public EngineTestCase
{
    Q_OBJECT

private slots:
    void init();

    void journalKeepsTypesAndNulls_data();
    void journalKeepsTypesAndNulls();
    void replacedNullsComeBack();
    void stateBeforeComesBack_data();
    void stateBeforeComesBack();
    void recordReplacedInEveryRunComesBack();
    void nothingRunsBesideAMerge();
    void noMergeStartsBesideAnUndo();

private:
    QString create(int demo = 0, int defects = 0);
    // Merges with every conflict replaced, or with everyWay replaced and added under a new
    // key in turn (zones replaced; both happen); the run.
    qlonglong merge(const QString &dest, const QStringList &sources, bool everyWay = false);
    MergeUndo::Result undo(qlonglong run);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MergeJournal> m_journal;
};

// Each test function gets a journal of its own; the journal's own test needs no server.
void tst_MergeUndo::init()
{
    m_journal.reset();
    m_dir.reset(new QTemporaryDir);
    m_journal.reset(new MergeJournal(m_dir->filePath("journal.sqlite")));
    QVERIFY2(m_journal->open(), qPrintable(m_journal->lastError()));
}

// A KVT database, empty or filled as a demo database.
QString tst_MergeUndo::create(int demo, int defects)
{
    const QString name = createDatabase("kvt_undo");
    if (name.isEmpty() || demo == 0)
        return name;
    return fillDemo(name, demo, defects, defects / 8, 12).isEmpty() ? name : QString();
}

qlonglong tst_MergeUndo::merge(const QString &dest, const QStringList &sources, bool everyWay)
{
    MergeHarness harness;
    harness.merger().setJournal(m_journal.get());
    int turn = 0;
    harness.setConflictHandler([&](const MergeHarness::Conflict &c) {
        ConflictResolver resolver;
        resolver.setConflict(c.value);
        if (!everyWay || turn++ % 2 == 0 || c.table == tnZones) {
            if (resolver.replaceDestinationRecord())
                harness.merger().settleConflict(MergeReport::Decision::Replaced, MergeReport::DecidedBy::Policy);
        } else if (resolver.addUnderNewKey() == ConflictResolver::AddOutcome::Added) {
            harness.merger().settleConflict(MergeReport::Decision::AddedNewKey, MergeReport::DecidedBy::Policy);
        }
        return true;
    });
    QSet<int> decisions;
    const bool ran = harness.run(dest, sources) && harness.errorTexts.isEmpty();
    for (const MergeReport::Conflict &c : harness.merger().report().conflicts())
        decisions.insert(int(c.decision));
    if (!ran || (everyWay && decisions.size() < 2)) {
        qWarning() << harness.errorTexts << decisions.size();
        return 0;
    }
    return harness.merger().journalRun();
}

MergeUndo::Result tst_MergeUndo::undo(qlonglong run)
{
    return undoRun(*m_journal, run, m_dir->filePath("reports"));
}

// What the journal keeps of a replaced record comes back as it was given: a NULL as a
// NULL (of text, of a number), an empty text and a zero as themselves.
void tst_MergeUndo::journalKeepsTypesAndNulls_data()
{
    QTest::addColumn<QVariant>("kept");
    QTest::newRow("NULL text") << PSqlNull::typed();
    QTest::newRow("NULL number") << PSqlNull::typed(QMetaType::Int);
    QTest::newRow("empty text") << QVariant(QString(""));
    QTest::newRow("zero") << QVariant(0);
    QTest::newRow("text with quotes and backslashes") << QVariant(QStringLiteral("Завод \\ \"Север\" \\n '"));
    QTest::newRow("large number") << QVariant(qlonglong(4294967295LL));
    QTest::newRow("bytes") << QVariant(QByteArray("\0\x01\xff", 3));
}

void tst_MergeUndo::journalKeepsTypesAndNulls()
{
    QFETCH(QVariant, kept);
    qlonglong run = 0;
    QVERIFY(m_journal->startRun("h:1", "d", {"s"}, false, QString(), run));
    QVERIFY(m_journal->recordReplaced(run, tnHumans, 7, {{"SecName", kept}, {"Famname", QStringLiteral("x")}}, "f"));
    QVector<MergeJournal::Entry> entries;
    QVERIFY(m_journal->entries(run, entries));
    QCOMPARE(entries.size(), 1);
    const QVariant back = entries.first().before.value("SecName");
    QCOMPARE(back.isNull(), kept.isNull());
    if (kept.isNull())
        return;
    QCOMPARE(back.userType() == QMetaType::QString, kept.userType() == QMetaType::QString);
    QCOMPARE(back.userType() == QMetaType::QByteArray, kept.userType() == QMetaType::QByteArray);
    QCOMPARE(back.toString(), kept.toString());
    QCOMPARE(back.toByteArray(), kept.toByteArray());
}

// A person with no patronymic, a result with no name and a defect kind with no short name,
// replaced by a source's records and restored by the undo.
void tst_MergeUndo::replacedNullsComeBack()
{
    if (!hasServer())
        QSKIP("no server");
    const QString dest = create(1, 20);
    const QString src = create();
    QVERIFY(!dest.isEmpty() && !src.isEmpty());
    const QString human = value(QStringLiteral("SELECT MIN(ID) FROM %1.humans").arg(q(dest)));
    const QString result = value(QStringLiteral("SELECT MIN(ID) FROM %1.results").arg(q(dest)));
    const QString kind = value(QStringLiteral("SELECT MIN(ID) FROM %1.defectref").arg(q(dest)));
    QCOMPARE(TestDatabase::exec(QStringList{
                 QStringLiteral("UPDATE %1.humans SET SecName = NULL WHERE ID = %2").arg(q(dest), human),
                 QStringLiteral("UPDATE %1.results SET Name = NULL WHERE ID = %2").arg(q(dest), result),
                 QStringLiteral("UPDATE %1.defectref SET Short = NULL WHERE ID = %2").arg(q(dest), kind),
                 QStringLiteral("INSERT INTO %1.humans SELECT ID, Famname, FstName, 'Petrovich', FullName, TabNo"
                                " FROM %2.humans WHERE ID = %3").arg(q(src), q(dest), human),
                 QStringLiteral("INSERT INTO %1.results SELECT ID, Short, 'passed' FROM %2.results WHERE ID = %3")
                     .arg(q(src), q(dest), result),
                 QStringLiteral("INSERT INTO %1.defectref SELECT ID, 'crk', Name FROM %2.defectref WHERE ID = %3")
                     .arg(q(src), q(dest), kind)}),
             QString());
    const QStringList before = checksums(dest);

    const qlonglong run = merge(dest, {src});
    QVERIFY(run != 0);
    QCOMPARE(value(QStringLiteral("SELECT SecName FROM %1.humans WHERE ID = %2").arg(q(dest), human)),
             QStringLiteral("Petrovich"));
    const MergeUndo::Result undone = undo(run);
    QVERIFY2(undone.complete, qPrintable(undone.error));
    QCOMPARE(undone.restored, 3);
    QVERIFY(TestDatabase::scalar(QStringLiteral("SELECT SecName FROM %1.humans WHERE ID = %2").arg(q(dest), human))
                .isNull());
    QCOMPARE(checksums(dest), before);
}

// The destination holds rows that name records it lacks (a defect naming a result and a
// defect kind, and rows of the tables the merge does not copy); the merge brings those
// records (with a demo source, also replacing records and adding them under new keys). Undone, the state before comes back: those rows named nothing before. A row
// that came after the run began and names such a record holds it back.
void tst_MergeUndo::stateBeforeComesBack_data()
{
    QTest::addColumn<QString>("after");  // the statement of a row after the run; %1 the destination
    QTest::addColumn<QStringList>("held"); // the tables whose record stays
    QTest::addColumn<bool>("withoutStateBefore"); // as a journal of an earlier version holds it
    QTest::addColumn<bool>("conflicts"); // the source is a demo database whose records conflict
    QTest::newRow("nothing after the run") << QString() << QStringList() << false << false;
    QTest::newRow("conflicts replaced and added under new keys") << QString() << QStringList() << false << true;
    QTest::newRow("a defect after the run")
        << QStringLiteral("INSERT INTO %1.defects (MyId, Result) VALUES (-1, %2)") << QStringList{"results"} << false << false;
    QTest::newRow("a quarter's statistics after the run")
        << QStringLiteral("INSERT INTO %1.quart (`Year`, Quarter, DetTypeId) VALUES (2026, 4, %3)")
        << QStringList{"dettypes"} << false << false;
    QTest::newRow("a vibration statistic after the run")
        << QStringLiteral("INSERT INTO %1.statvib (Device) VALUES (%4)") << QStringList{"device"} << false << false;
    QTest::newRow("a working copy after the run")
        << QStringLiteral("INSERT INTO %1.defects_tmp (DefectID) VALUES (%5)") << QStringList{"defectref"} << false << false;
    // Without the largest identifiers of the run's start every row counts.
    QTest::newRow("a run journaled without the state before")
        << QString() << QStringList{"defectref", "dettypes", "device", "results"} << true << false;
}

void tst_MergeUndo::stateBeforeComesBack()
{
    if (!hasServer())
        QSKIP("no server");
    QFETCH(QString, after);
    QFETCH(QStringList, held);
    QFETCH(bool, withoutStateBefore);
    QFETCH(bool, conflicts);
    const QString dest = create(1, 20);
    const QString src = conflicts ? create(2, 20) : create();
    QVERIFY(!dest.isEmpty() && !src.isEmpty());
    QHash<QString, QString> missing; // table: the identifier the destination's rows name and lacks
    for (const char *table : {"results", "defectref", "dettypes", "device"})
        missing.insert(table, value(QStringLiteral("SELECT MAX(ID) FROM %1.%2").arg(q(dest), table)));
    const QString defect = value(QStringLiteral("SELECT MIN(ID) FROM %1.defects").arg(q(dest)));
    QStringList statements{
        QStringLiteral("UPDATE %1.defects SET Result = %2, DefectID = %3 WHERE ID = %4")
            .arg(q(dest), missing.value("results"), missing.value("defectref"), defect),
        QStringLiteral("INSERT INTO %1.quart (`Year`, Quarter, DetTypeId) VALUES (2025, 1, %2)")
            .arg(q(dest), missing.value("dettypes")),
        QStringLiteral("INSERT INTO %1.statvib (Device) VALUES (%2)").arg(q(dest), missing.value("device")),
        QStringLiteral("INSERT INTO %1.defects_tmp (DefectID) VALUES (%2)").arg(q(dest), missing.value("defectref"))};
    for (auto it = missing.constBegin(); it != missing.constEnd(); ++it)
        statements << QStringLiteral("REPLACE INTO %1.%2 SELECT * FROM %3.%2 WHERE ID = %4").arg(q(src), it.key(), q(dest), it.value())
                   << QStringLiteral("DELETE FROM %1.%2 WHERE ID = %3").arg(q(dest), it.key(), it.value());
    QCOMPARE(TestDatabase::exec(statements), QString());
    const QStringList before = checksums(dest);

    const qlonglong run = merge(dest, {src}, conflicts);
    QVERIFY(run != 0);
    for (auto it = missing.constBegin(); it != missing.constEnd(); ++it)
        QCOMPARE(value(QStringLiteral("SELECT COUNT(*) FROM %1.%2 WHERE ID = %3").arg(q(dest), it.key(), it.value())),
                 QStringLiteral("1"));
    if (!after.isEmpty())
        QCOMPARE(TestDatabase::exec(QString(after)
                                        .replace("%1", q(dest))
                                        .replace("%2", missing.value("results"))
                                        .replace("%3", missing.value("dettypes"))
                                        .replace("%4", missing.value("device"))
                                        .replace("%5", missing.value("defectref"))),
                 QString());
    if (withoutStateBefore) {
        QSqlDatabase file = QSqlDatabase::addDatabase("QSQLITE", "journalFile");
        file.setDatabaseName(m_journal->file());
        QVERIFY(file.open());
        QVERIFY(QSqlQuery(file).exec("DELETE FROM run_tables"));
        file.close();
        file = QSqlDatabase();
        QSqlDatabase::removeDatabase("journalFile");
    }

    const MergeUndo::Result undone = undo(run);
    QVERIFY2(undone.ok, qPrintable(undone.error));
    if (held.isEmpty()) {
        QVERIFY2(undone.complete, qPrintable(QString::number(undone.left.size())));
        if (!conflicts)
            QCOMPARE(undone.deleted, missing.size());
        QCOMPARE(checksums(dest), before);
        return;
    }
    QStringList left;
    for (const MergeUndo::Left &l : undone.left) {
        left << KvtTable::of(l.table).name;
        QCOMPARE(QString::number(l.id), missing.value(left.last()));
        QCOMPARE(l.reason, MergeUndo::Reason::DependedOn);
    }
    left.sort();
    QCOMPARE(left, held);
    QCOMPARE(undone.deleted, missing.size() - held.size());
}

// Ten sources that disagree about a device, every other one naming it otherwise, merged
// with every conflict replaced, then merged again (the nightly rerun): the device is
// replaced many times in each run. The rerun is undone whole, then the first run.
void tst_MergeUndo::recordReplacedInEveryRunComesBack()
{
    if (!hasServer())
        QSKIP("no server");
    const QString dest = create();
    QVERIFY(!dest.isEmpty());
    QCOMPARE(TestDatabase::exec(QStringLiteral("INSERT INTO %1.device VALUES (5, NULL), (6, 'other')").arg(q(dest))),
             QString());
    QStringList sources;
    for (int i = 0; i < 10; ++i) {
        sources << create();
        QVERIFY(!sources.last().isEmpty());
        QCOMPARE(TestDatabase::exec(QStringLiteral("INSERT INTO %1.device VALUES (5, 'device %2'), (6, 'other')")
                                        .arg(q(sources.last()), i % 2 ? "A" : "B")),
                 QString());
    }
    const QStringList before = checksums(dest);
    const qlonglong first = merge(dest, sources);
    QVERIFY(first != 0);
    const QStringList afterFirst = checksums(dest);
    QVERIFY(afterFirst != before);
    const qlonglong second = merge(dest, sources);
    QVERIFY(second != 0);

    MergeUndo::Result undone = undo(second);
    QVERIFY2(undone.complete, qPrintable(undone.error + QString::number(undone.left.size()) + (undone.left.isEmpty() ? QString() : MergeUndo::reasonText(undone.left.first().reason))));
    QCOMPARE(undone.restored, 1);
    QCOMPARE(checksums(dest), afterFirst);
    undone = undo(first);
    QVERIFY2(undone.complete, qPrintable(undone.error + QString::number(undone.left.size())));
    QCOMPARE(checksums(dest), before);
}

// While a merge into the destination waits at a conflict, neither an earlier run nor the
// running one is undone, and nothing changes.
void tst_MergeUndo::nothingRunsBesideAMerge()
{
    if (!hasServer())
        QSKIP("no server");
    const QString dest = create(1, 20);
    const QString src1 = create(2, 20);
    const QString src2 = create(3, 20);
    QVERIFY(!dest.isEmpty() && !src1.isEmpty() && !src2.isEmpty());
    const qlonglong earlier = merge(dest, {src1});
    QVERIFY(earlier != 0);

    MergeHarness harness;
    harness.merger().setJournal(m_journal.get());
    QVector<MergeUndo::Result> refused;
    QStringList unchanged;
    harness.setConflictHandler([&](const MergeHarness::Conflict &c) {
        if (refused.isEmpty()) {
            const QStringList sums = checksums(dest);
            refused << undo(earlier) << undo(harness.merger().journalRun());
            unchanged << QString::number(sums == checksums(dest));
        }
        ConflictResolver resolver;
        resolver.setConflict(c.value);
        harness.merger().settleConflict(MergeReport::Decision::LeftOut, MergeReport::DecidedBy::Policy);
        return true;
    });
    QVERIFY(harness.run(dest, {src2}));
    QCOMPARE(refused.size(), 2);
    for (const MergeUndo::Result &r : qAsConst(refused)) {
        QVERIFY(r.busy);
        QCOMPARE(r.deleted + r.restored, 0);
        QCOMPARE(r.error, KvtMessages::destinationBusy(dest));
    }
    QCOMPARE(unchanged, QStringList{"1"});
    // Once the merge has ended, both runs are undone, newest first.
    QVERIFY(undo(harness.merger().journalRun()).complete);
    QVERIFY(undo(earlier).complete);
}

// An undo holds the destination's lock (as KvtDestinationLock takes it on its connection):
// a merge into the destination, named in another case too where the server folds case,
// stops before it writes.
void tst_MergeUndo::noMergeStartsBesideAnUndo()
{
    if (!hasServer())
        QSKIP("no server");
    const QString dest = create(1, 10);
    const QString src = create(2, 10);
    QVERIFY(!dest.isEmpty() && !src.isEmpty());
    const QStringList before = checksums(dest);
    const bool foldsCase = TestDatabase::scalar("SELECT @@lower_case_table_names").toInt() != 0;
    {
        KvtDestinationLock undoing(TestDatabase::open("undoing"), foldsCase ? dest.toUpper() : dest);
        QCOMPARE(undoing.take(), KvtDestinationLock::Outcome::Taken);
        KvtDestinationLock again(QSqlDatabase::database(), dest);
        QCOMPARE(again.take(), KvtDestinationLock::Outcome::Busy);

        MergeHarness harness;
        harness.merger().setJournal(m_journal.get());
        QVERIFY(harness.run(dest, {src}));
        QVERIFY2(harness.errorTexts.join('\n').contains(KvtMessages::destinationBusy(dest)),
                 qPrintable(harness.errorTexts.join('\n')));
        QCOMPARE(checksums(dest), before);
    }
    // Released with its holder.
    KvtDestinationLock after(QSqlDatabase::database(), dest);
    QCOMPARE(after.take(), KvtDestinationLock::Outcome::Taken);
}

QTEST_MAIN(tst_MergeUndo)
#include "tst_mergeundo.moc"
