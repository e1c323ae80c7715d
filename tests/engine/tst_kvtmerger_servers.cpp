// The merge on servers as people run them: another session inserting into the destination
// while the merge copies into it, and a counter that steps by 3 from an offset of 2 (as on
// every node of a Galera cluster). Every row must arrive exactly once, and the fast path
// must stay in use. Also a key map larger than the server's memory tables may be, names
// with backslashes under NO_BACKSLASH_ESCAPES, and the destination's lock on a server that
// folds the case of names. Runs against private servers of its own, whose global settings
// it changes.

#include "EngineTestData.h"
#include "KvtRowFingerprint.h"
#include "KvtDestinationLock.h"
#include "KvtTableSql.h"
#include "LoopbackProxy.h"
#include "MergeHarness.h"
#include "MergeJournal.h"
#include "PrivateServer.h"
#include "TestDatabase.h"

#include <QSqlError>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>

using namespace EngineTestData;
using Variant = KvtMerger::CopyVariant;

Q_DECLARE_METATYPE(KvtMerger::CopyVariant)

namespace {

// Rows of the writer carry this DefectoscopistID, which no demo row has.
const char writerMark[] = "-1";

// One text of a defects row's compared columns, NULL spelt out.
QString recordKey()
{
    QStringList parts;
    for (const QString &column : KvtTableSql::forTable(tnDefects, QString()).comparedColumns())
        parts << QStringLiteral("COALESCE(CAST(%1 AS CHAR), 'NULL')").arg(q(column));
    return QStringLiteral("CONCAT_WS('|', %1)").arg(parts.join(", "));
}

// Number and checksum of the different records of the source; a merge must leave each of
// them exactly once in the destination.
QString sourceRecords(const QString &src)
{
    return rows(QStringLiteral("SELECT COUNT(*), SUM(CRC32(k)) FROM (SELECT DISTINCT %1 AS k FROM %2.defects) x")
                    .arg(recordKey(), q(src)))
        .value(0);
}

// Rows, different records and their checksum of the destination's merged rows.
QString mergedRecords(const QString &dest)
{
    return rows(QStringLiteral("SELECT COUNT(*), COUNT(DISTINCT %1), SUM(CRC32(%1)) FROM %2.defects "
                               "WHERE NOT (DefectoscopistID <=> %3)")
                    .arg(recordKey(), q(dest), writerMark))
        .value(0);
}

// "count|sum" as "count|count|sum": all records once.
QString eachOnce(const QString &records)
{
    const QStringList parts = records.split('|');
    return QStringList{parts.value(0), parts.value(0), parts.value(1)}.join('|');
}

// Another session inserting one defect every 2 ms into the destination, on its own
// connection, until stopped.
class LiveWriter : public QThread
{
public:
    explicit LiveWriter(const QString &dest) : m_dest(dest) {}
    // Starts, and returns once some rows are in (or the writer failed).
    bool startWriting()
    {
        start();
        return QTest::qWaitFor([this] { return written >= 20 || !error.isEmpty(); });
    }
    std::atomic<bool> stopRequested{false};
    std::atomic<int> written{0};
    QString error;

protected:
    void run() override
    {
        const QString name = QStringLiteral("live-writer");
        {
            QSqlDatabase db = TestDatabase::open(name);
            QSqlQuery insert(db);
            insert.prepare(QStringLiteral("INSERT INTO %1.defects (MyId, DefectoscopistID, `Date`) "
                                          "VALUES (?, %2, CURRENT_DATE)").arg(q(m_dest), writerMark));
            while (!stopRequested && error.isEmpty()) {
                insert.addBindValue(written + 1);
                if (insert.exec())
                    ++written;
                else
                    error = insert.lastError().text();
                msleep(2);
            }
        }
        QSqlDatabase::removeDatabase(name);
    }

private:
    QString m_dest;
};

// An empty destination and a source of demo rows.
bool createSourceAndDestination(const QString &src, const QString &dest, int defects, int graphics)
{
    return TestDatabase::createKvtDatabase(src).isEmpty() && TestDatabase::createKvtDatabase(dest).isEmpty()
           && fillDemo(src, 1, defects, graphics, 3).isEmpty();
}

} // namespace

class tst_KvtMergerServers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void liveWriterRowsAndMergedRowsStayOnce_data();
    void liveWriterRowsAndMergedRowsStayOnce();
    void counterSteppingByThreeKeepsTheFastPath_data();
    void counterSteppingByThreeKeepsTheFastPath();
    void journalNamesExactlyTheMergedRows_data();
    void journalNamesExactlyTheMergedRows();
    void secondMergeIntoTheSameDestinationStops();
    void keyMapLargerThanServerMemory();
    void lockIsFreeWhenTheRunHasEnded();
    void backslashesStayUnderEverySqlMode_data();
    void backslashesStayUnderEverySqlMode();
    // Last: it leaves the tests on a server of its own.
    void lockFollowsTheServersCaseRule();

private:
    void variants();
    QTemporaryDir m_dir;
    QTemporaryDir m_foldingDir;
    bool m_started = false;
};

void tst_KvtMergerServers::initTestCase()
{
    QVERIFY(m_dir.isValid());
    if (!PrivateServer::available())
        QSKIP("no MariaDB server installed to start a private one");
    m_started = true; // stopping a server that did not start is harmless
    QVERIFY(PrivateServer::start(m_dir.path()));
}

void tst_KvtMergerServers::cleanupTestCase()
{
    TestDatabase::closeAll();
    if (m_started) {
        PrivateServer::stop(m_dir.path());
        PrivateServer::stop(m_foldingDir.path());
    }
}

void tst_KvtMergerServers::variants()
{
    QTest::addColumn<Variant>("variant");
    QTest::newRow("window functions") << Variant::WindowFunctions;
    QTest::newRow("earlier-row probe") << Variant::EarlierRowProbe;
}

void tst_KvtMergerServers::liveWriterRowsAndMergedRowsStayOnce_data()
{
    variants();
}

void tst_KvtMergerServers::liveWriterRowsAndMergedRowsStayOnce()
{
    QFETCH(Variant, variant);
    const QString src = QStringLiteral("servers_live_src");
    const QString dest = QStringLiteral("servers_live_dest");
    QVERIFY(createSourceAndDestination(src, dest, 100000, 0));
    const QString records = sourceRecords(src);

    LiveWriter writer(dest);
    QVERIFY(writer.startWriting());
    MergeHarness harness;
    harness.merger().setCopyVariant(variant);
    QVERIFY(harness.run(dest, {src}));
    writer.stopRequested = true;
    QVERIFY(writer.wait(10000));

    QCOMPARE(writer.error, QString());
    QCOMPARE(harness.errorTexts, QStringList());
    QCOMPARE(harness.events.last(), QStringLiteral("done:") + src);
    QCOMPARE(mergedRecords(dest), eachOnce(records));
    QCOMPARE(rows(QStringLiteral("SELECT COUNT(*), COUNT(DISTINCT MyId) FROM %1.defects WHERE DefectoscopistID = %2")
                      .arg(q(dest), writerMark)),
             QStringList{QStringLiteral("%1|%1").arg(writer.written)});
    // The writer's rows really went in between the merge's.
    QVERIFY(rows(QStringLiteral("SELECT COUNT(*) > 0 FROM %1.defects w WHERE w.DefectoscopistID = %2 "
                                "AND w.ID > (SELECT MIN(ID) FROM %1.defects WHERE NOT (DefectoscopistID <=> %2)) "
                                "AND w.ID < (SELECT MAX(ID) FROM %1.defects WHERE NOT (DefectoscopistID <=> %2))")
                    .arg(q(dest), writerMark))
            == QStringList{"1"});

    TestDatabase::dropDatabase(src);
    TestDatabase::dropDatabase(dest);
}

void tst_KvtMergerServers::counterSteppingByThreeKeepsTheFastPath_data()
{
    variants();
}

void tst_KvtMergerServers::counterSteppingByThreeKeepsTheFastPath()
{
    QFETCH(Variant, variant);
    const QString src = QStringLiteral("servers_step_src");
    const QString dest = QStringLiteral("servers_step_dest");
    QVERIFY(createSourceAndDestination(src, dest, 12000, 0));
    const int sourceRows = count(src, "defects");
    // New sessions, the worker's among them, count as a node of a three-node cluster.
    QVERIFY(TestDatabase::exec("SET GLOBAL auto_increment_increment = 3, auto_increment_offset = 2").isEmpty());

    for (int run = 0; run < 2; ++run) {
        MergeHarness harness;
        harness.merger().setCopyVariant(variant);
        harness.merger().setChunkSize(4000);
        QVERIFY(harness.run(dest, {src}));
        QCOMPARE(harness.errorTexts, QStringList());
        // Progress once per chunk: the set-based copy ran.
        QCOMPARE(harness.progress.value(0), (QVector<int>{4000, 8000, 12000, sourceRows}));
    }
    QVERIFY(TestDatabase::exec("SET GLOBAL auto_increment_increment = 1, auto_increment_offset = 1").isEmpty());

    QCOMPARE(rows(QStringLiteral("SELECT COUNT(*) FROM %1.defects WHERE ID MOD 3 <> 2").arg(q(dest))),
             QStringList{"0"});
    QCOMPARE(mergedRecords(dest), eachOnce(sourceRecords(src)));

    TestDatabase::dropDatabase(src);
    TestDatabase::dropDatabase(dest);
}

// The journal of a set-based merge names exactly the rows the merge inserted, with their
// fingerprints as the server holds them, however the server names them (RETURNING or the
// read-back, forced on a server that has RETURNING) and whatever the counter's step, while
// another session inserts into the same table.
void tst_KvtMergerServers::journalNamesExactlyTheMergedRows_data()
{
    QTest::addColumn<int>("ids");
    QTest::addColumn<int>("step");
    using Ids = KvtMerger::JournalIds;
    QTest::newRow("RETURNING") << int(Ids::Returning) << 1;
    QTest::newRow("RETURNING, step 3") << int(Ids::Returning) << 3;
    QTest::newRow("read back") << int(Ids::ReadBack) << 1;
    QTest::newRow("read back, step 3") << int(Ids::ReadBack) << 3;
}

void tst_KvtMergerServers::journalNamesExactlyTheMergedRows()
{
    QFETCH(int, ids);
    QFETCH(int, step);
    const QString src = QStringLiteral("servers_journal_src");
    const QString dest = QStringLiteral("servers_journal_dest");
    QVERIFY(createSourceAndDestination(src, dest, 9000, 300));
    QVERIFY(TestDatabase::exec(QStringLiteral("SET GLOBAL auto_increment_increment = %1, auto_increment_offset = %2")
                                   .arg(step)
                                   .arg(step > 1 ? 2 : 1))
                .isEmpty());
    const auto resetCounters = qScopeGuard(
        [] { TestDatabase::exec("SET GLOBAL auto_increment_increment = 1, auto_increment_offset = 1"); });
    MergeJournal journal(m_dir.filePath(QStringLiteral("journal-%1-%2.sqlite").arg(ids).arg(step)));

    LiveWriter writer(dest);
    QVERIFY(writer.startWriting());
    MergeHarness harness;
    harness.merger().setJournal(&journal);
    harness.merger().setJournalIds(KvtMerger::JournalIds(ids));
    harness.merger().setInsertReturning(KvtMerger::JournalIds(ids) == KvtMerger::JournalIds::Returning);
    harness.merger().setChunkSize(2000);
    QVERIFY(harness.run(dest, {src}));
    writer.stopRequested = true;
    QVERIFY(writer.wait(10000));
    QCOMPARE(writer.error, QString());
    QCOMPARE(harness.errorTexts, QStringList());
    QCOMPARE(int(harness.merger().journalIds()), ids);

    QVector<MergeJournal::Entry> entries;
    QVERIFY(journal.entries(harness.merger().journalRun(), entries));
    // The reference tables: every record, the destination had none (their batches hand
    // the fingerprints back from the insert, or the journal reads them).
    for (const kvtTableName table : MergeReport::tableOrder()) {
        QMap<qlonglong, QString> journaled;
        for (const MergeJournal::Entry &e : qAsConst(entries))
            if (e.table == table)
                journaled.insert(e.id, e.fingerprint);
        const QString id = KvtRowFingerprint::identifierColumn(table);
        const QString written = table == tnDefects || table == tnGraphics
                                    ? QStringLiteral("NOT (DefectoscopistID <=> %1)").arg(writerMark)
                                    : QStringLiteral("TRUE");
        QVector<qlonglong> merged;
        for (const QString &value : rows(QStringLiteral("SELECT %1 FROM %2.%3 WHERE %4 ORDER BY %1")
                                             .arg(id, q(dest), KvtTable::of(table).name, written)))
            merged << value.toLongLong();
        QVERIFY2(!merged.isEmpty(), qPrintable(KvtTable::of(table).name));
        QCOMPARE(journaled.keys().toVector(), merged);
        QHash<qlonglong, QString> current;
        QVERIFY(KvtRowFingerprint::read(QSqlDatabase::database(), dest, table, merged, current));
        for (const qlonglong id : qAsConst(merged))
            QCOMPARE(journaled.value(id), current.value(id));
    }
    if (step > 1)
        QCOMPARE(rows(QStringLiteral("SELECT COUNT(*) FROM %1.defects WHERE ID MOD 3 <> 2").arg(q(dest))),
                 QStringList{"0"});

    TestDatabase::dropDatabase(src);
    TestDatabase::dropDatabase(dest);
}

// While one merge writes into a destination, a second one into it stops before writing
// with a message; once the first has ended, the second runs.
void tst_KvtMergerServers::secondMergeIntoTheSameDestinationStops()
{
    const QString src = QStringLiteral("servers_lock_src");
    const QString dest = QStringLiteral("servers_lock_dest");
    QVERIFY(TestDatabase::createKvtDatabase(src).isEmpty());
    QVERIFY(TestDatabase::createKvtDatabase(dest).isEmpty());
    QVERIFY(fillDemo(src, 1, 50, 2, 3).isEmpty());
    const QString lockName = QStringLiteral("CONCAT('kvtmerge:', MD5('%1'))").arg(dest);
    QSqlQuery holder(TestDatabase::open(QStringLiteral("other merge")));
    QVERIFY(holder.exec(QStringLiteral("SELECT GET_LOCK(%1, 0)").arg(lockName)) && holder.next());
    QCOMPARE(holder.value(0).toInt(), 1);

    MergeHarness second;
    QVERIFY(second.run(dest, {src}));
    QCOMPARE(second.errorTexts.size(), 1);
    QVERIFY2(second.errorTexts.first().contains(QStringLiteral("Another merge into %1").arg(dest)),
             qPrintable(second.errorTexts.first()));
    QCOMPARE(second.merger().report().status(), MergeReport::RunStatus::Failed);
    QCOMPARE(count(dest, "defects"), 0);

    QVERIFY(holder.exec(QStringLiteral("SELECT RELEASE_LOCK(%1)").arg(lockName)) && holder.next());
    QCOMPARE(holder.value(0).toInt(), 1);
    MergeHarness again;
    QVERIFY(again.run(dest, {src}));
    QCOMPARE(again.errorTexts, QStringList());
    QCOMPARE(count(dest, "defects"), count(src, "defects"));

    TestDatabase::dropDatabase(src);
    TestDatabase::dropDatabase(dest);
}

// Keeping references, a key map beyond the server's max_heap_table_size still translates
// every row: 2,000 people the destination holds under other IDs. (A global setting: it
// belongs on this server, not on the one other tests share.)
void tst_KvtMergerServers::keyMapLargerThanServerMemory()
{
    const QString src = QStringLiteral("servers_map_src");
    const QString dest = QStringLiteral("servers_map_dest");
    QVERIFY(TestDatabase::createKvtDatabase(src).isEmpty());
    QVERIFY(TestDatabase::createKvtDatabase(dest).isEmpty());
    QStringList people[2];
    QStringList defects;
    for (int i = 1; i <= 2000; ++i) {
        for (int k = 0; k < 2; ++k)
            people[k] << QStringLiteral("(%1, 'F%2', 'N', 'S', 'F%2 N', %2)").arg(k * 5000 + i).arg(1000 + i);
        defects << QStringLiteral("(%1, %2)").arg(i).arg(5000 + i);
    }
    QCOMPARE(TestDatabase::exec({QStringLiteral("INSERT INTO %1.humans VALUES ").arg(q(dest)) + people[0].join(','),
                                 QStringLiteral("INSERT INTO %1.humans VALUES ").arg(q(src)) + people[1].join(','),
                                 QStringLiteral("INSERT INTO %1.defects (MyId, DefectoscopistID) VALUES ").arg(q(src))
                                     + defects.join(','),
                                 QStringLiteral("SET GLOBAL max_heap_table_size = 16384")}),
             QString());
    const auto restore = qScopeGuard([] { TestDatabase::exec(QStringLiteral("SET GLOBAL max_heap_table_size = DEFAULT")); });

    MergeHarness harness;
    harness.merger().setKeepReferences(true);
    QVERIFY(harness.run(dest, {src}));
    QCOMPARE(harness.errorTexts, QStringList());
    QCOMPARE(rows(QStringLiteral("SELECT COUNT(*) FROM %1.defects WHERE DefectoscopistID = MyId").arg(q(dest))),
             QStringList{QStringLiteral("2000")});

    TestDatabase::dropDatabase(src);
    TestDatabase::dropDatabase(dest);
}

// The destination's lock is free once the worker's thread has ended, even while the
// close of its connection has not reached the server: a merge started at once runs.
void tst_KvtMergerServers::lockIsFreeWhenTheRunHasEnded()
{
    const QString src = QStringLiteral("servers_unlock_src");
    const QString dest = QStringLiteral("servers_unlock_dest");
    QVERIFY(TestDatabase::createKvtDatabase(src).isEmpty());
    QVERIFY(TestDatabase::createKvtDatabase(dest).isEmpty());
    QVERIFY(fillDemo(src, 1, 50, 2, 3).isEmpty());
    LoopbackProxy proxy(quint16(TestDatabase::server().port), false, true);
    const quint16 port = proxy.start();
    QVERIFY(port != 0);

    // The worker connects as the default connection does: through the proxy.
    QSqlDatabase db = QSqlDatabase::database();
    db.close();
    db.setPort(port);
    QVERIFY(db.open());
    MergeHarness first;
    const bool ran = first.run(dest, {src});
    db = QSqlDatabase();
    QVERIFY(TestDatabase::openDefault().isOpen());
    QVERIFY(ran);
    QCOMPARE(first.errorTexts, QStringList());

    MergeHarness second;
    QVERIFY(second.run(dest, {src}));
    QCOMPARE(second.errorTexts, QStringList());
    QCOMPARE(second.merger().report().status(), MergeReport::RunStatus::Done);

    TestDatabase::dropDatabase(src);
    TestDatabase::dropDatabase(dest);
}

// With NO_BACKSLASH_ESCAPES in the server's sql_mode (which the merge's own connection
// takes), a factory whose name holds backslashes and quotes arrives byte for byte on both
// paths; a source whose name holds a backslash is found in the catalogue (the look-ups'
// inline values) and merged the same.
void tst_KvtMergerServers::backslashesStayUnderEverySqlMode_data()
{
    QTest::addColumn<bool>("perRow");
    QTest::addColumn<QString>("source");
    QTest::newRow("set-based") << false << QStringLiteral("servers_bs_src");
    QTest::newRow("per row") << true << QStringLiteral("servers_bs_src");
    QTest::newRow("source named with a backslash") << false << QStringLiteral("servers_bs\\src");
}

void tst_KvtMergerServers::backslashesStayUnderEverySqlMode()
{
    QFETCH(bool, perRow);
    QFETCH(QString, source);
    const QString dest = QStringLiteral("servers_bs_dest");
    const QString name = QStringLiteral("Завод \\ \"Север\" \\n '");
    QVERIFY(TestDatabase::createKvtDatabase(source).isEmpty());
    QVERIFY(TestDatabase::createKvtDatabase(dest).isEmpty());
    QSqlQuery insert(QSqlDatabase::database());
    QVERIFY(insert.prepare(QStringLiteral("INSERT INTO %1.factory (Cod, Short, Name) VALUES (7, ?, ?)").arg(q(source))));
    insert.addBindValue(QStringLiteral("a\\b"));
    insert.addBindValue(name);
    QVERIFY2(insert.exec(), qPrintable(insert.lastError().text()));
    const QString mode = TestDatabase::scalar("SELECT @@GLOBAL.sql_mode").toString();
    QCOMPARE(TestDatabase::exec("SET GLOBAL sql_mode = CONCAT(@@GLOBAL.sql_mode, ',NO_BACKSLASH_ESCAPES')"), QString());
    const auto restore = qScopeGuard([&] {
        QSqlQuery back(QSqlDatabase::database());
        back.prepare("SET GLOBAL sql_mode = ?");
        back.addBindValue(mode);
        back.exec();
        TestDatabase::dropDatabase(source);
        TestDatabase::dropDatabase(dest);
    });

    MergeHarness harness;
    harness.merger().setReferenceMerge(perRow ? KvtMerger::ReferenceMerge::PerRow : KvtMerger::ReferenceMerge::SetBased);
    QVERIFY(harness.run(dest, {source}));
    QCOMPARE(harness.errorTexts, QStringList());
    QCOMPARE(rows(QStringLiteral("SELECT HEX(Short), HEX(Name) FROM %1.factory WHERE Cod = 7").arg(q(dest))),
             QStringList{QString::fromLatin1(QStringLiteral("a\\b").toUtf8().toHex().toUpper() + '|'
                                             + name.toUtf8().toHex().toUpper())});
    // Merged again: present, not a conflict, nothing added.
    MergeHarness again;
    again.merger().setReferenceMerge(perRow ? KvtMerger::ReferenceMerge::PerRow : KvtMerger::ReferenceMerge::SetBased);
    QVERIFY(again.run(dest, {source}));
    QCOMPARE(again.errorTexts, QStringList());
    QCOMPARE(again.conflicts.size(), 0);
    QCOMPARE(count(dest, "factory"), 1);
}

// On a server with lower_case_table_names, KVT_x and kvt_x are one database: a merge or
// undo into one holds the lock of the other.
void tst_KvtMergerServers::lockFollowsTheServersCaseRule()
{
    QVERIFY(m_foldingDir.isValid());
    qputenv("KVT_DB_SERVER_OPTIONS", "--lower-case-table-names=1");
    const bool started = PrivateServer::start(m_foldingDir.path());
    qunsetenv("KVT_DB_SERVER_OPTIONS");
    QVERIFY(started);
    QCOMPARE(TestDatabase::scalar("SELECT @@lower_case_table_names").toInt(), 1);
    KvtDestinationLock upper(TestDatabase::open("upper"), QStringLiteral("KVT_Central"));
    QCOMPARE(upper.take(), KvtDestinationLock::Outcome::Taken);
    KvtDestinationLock lower(QSqlDatabase::database(), QStringLiteral("kvt_central"));
    QCOMPARE(lower.take(), KvtDestinationLock::Outcome::Busy);
    KvtDestinationLock other(QSqlDatabase::database(), QStringLiteral("kvt_other"));
    QCOMPARE(other.take(), KvtDestinationLock::Outcome::Taken);
}

QTEST_GUILESS_MAIN(tst_KvtMergerServers)
#include "tst_kvtmerger_servers.moc"