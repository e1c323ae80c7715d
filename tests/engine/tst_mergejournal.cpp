// The merge journal and the undo against a real server: a merge of two sources with
// conflicts settled every way, taken back, leaves every table with its checksum of
// before, on each way the copy names its rows; a row changed after the merge stays and
// is listed; rows of another session survive; a run stopped or killed mid-way is taken
// back whole, including a chunk journaled only as an intent.

#include "ConflictResolver.h"
#include "EngineTestData.h"
#include "KvtRowFingerprint.h"
#include "KvtTables.h"
#include "MergeHarness.h"
#include "PSqlNull.h"
#include "MergeJournal.h"
#include "MergeUndo.h"
#include "TestDatabase.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace EngineTestData;

namespace {

using Copy = KvtMerger::MeasurementCopy;
using Ids = KvtMerger::JournalIds;

} // namespace

class tst_MergeJournal : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sharedFileWaitsForAnotherWriter();
    void fileOfAnEarlierFormatIsMigrated();
    void fileOfANewerFormatIsRefused();
    void writesAreReadBackInTheirOrder();
    void forgettingRunsShrinksTheFile();
    void init();
    void cleanup();
    void cleanupTestCase();

    void fingerprintTellsEveryChange_data();
    void fingerprintTellsEveryChange();
    void undoRestoresEveryTable_data();
    void undoRestoresEveryTable();
    void changedRowStaysAndIsListed();
    void rowsOfAnotherSessionSurvive();
    void stoppedRunWithAnOpenChunkIsUndoneWhole();
    void journalGrowsByLittleMoreThanTheFingerprints();
    void olderRunLeavesWhatALaterRunTouched();
    void rerunDoesNotAskAgainForPeopleAddedUnderNewKey_data();
    void rerunDoesNotAskAgainForPeopleAddedUnderNewKey();

private:
    QString create(int demo, int defects);
    // Returns the number of conflicts settled so far.
    std::shared_ptr<int> answerEveryWay(MergeHarness &harness, const QString &dest);
    MergeUndo::Result undo(qlonglong run, MergeUndo::Plan *planOut = nullptr);

    bool m_server = false;
    QStringList m_databases;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MergeJournal> m_journal;
};

void tst_MergeJournal::initTestCase()
{
    m_server = TestDatabase::requireServer();
    if (!m_server)
        return;
    QVERIFY(TestDatabase::openDefault().isOpen());
}

// Two users on one file: a run one of them records is listed for the other, and a write
// that meets another's open transaction waits for it instead of failing.
void tst_MergeJournal::sharedFileWaitsForAnotherWriter()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("shared/journal.sqlite");
    MergeJournal first(file);
    MergeJournal second(file);
    QVERIFY2(first.open() && second.open(), qPrintable(first.lastError()));
    qlonglong run = 0;
    QVERIFY(first.startRun("db1:3306", "central", {"field 1", "field,2"}, false, "per_row", run));
    QVector<MergeJournal::Run> runs;
    QVERIFY(second.runs("db1:3306", runs));
    QCOMPARE(runs.size(), 1);
    QCOMPARE(runs.first().sources, QStringList({"field 1", "field,2"}));
    QVERIFY(second.runs("127.0.0.1:3306", runs));
    QVERIFY(runs.isEmpty());

    {
        QSqlDatabase other = QSqlDatabase::addDatabase("QSQLITE", "other-user");
        other.setDatabaseName(file);
        QVERIFY(other.open());
        QSqlQuery lock(other);
        QVERIFY(lock.exec("BEGIN IMMEDIATE"));
        QTimer::singleShot(500, [&] { QSqlQuery(other).exec("COMMIT"); });
        bool written = false;
        std::unique_ptr<QThread> writer(QThread::create([&] {
            written = second.recordRows(run, tnDefects, {{7, "x"}});
            second.releaseConnection();
        }));
        writer->start();
        QTRY_VERIFY_WITH_TIMEOUT(writer->isFinished(), 10000);
        QVERIFY2(written, qPrintable(second.lastError()));
        other.close();
    }
    QSqlDatabase::removeDatabase("other-user");
    QVector<MergeJournal::Entry> entries;
    QVERIFY(first.entries(run, entries));
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.first().id, 7);
}

namespace {

int userVersion(const QString &file)
{
    int version = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "version-reader");
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec("PRAGMA user_version") && query.next())
                version = query.value(0).toInt();
        }
    }
    QSqlDatabase::removeDatabase("version-reader");
    return version;
}

// The format kvtmerge wrote before a write's rows took one record: a row per destination
// row, and a set-based chunk's intent (the largest ID before it, the fingerprints to come)
// written before the chunk.
const int formatOfOneRowPerRow = 2;
const QStringList formatOfOneRowPerRowTables{
    "CREATE TABLE runs (id INTEGER PRIMARY KEY AUTOINCREMENT, server TEXT NOT NULL, destination TEXT NOT NULL,"
    " sources TEXT NOT NULL, started TEXT NOT NULL, ended TEXT, status TEXT NOT NULL, keep_references INTEGER NOT NULL,"
    " copy_variant TEXT, report_file TEXT, undo_status TEXT, user TEXT, fingerprint_kind INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE chunks (id INTEGER PRIMARY KEY AUTOINCREMENT, run INTEGER NOT NULL, tbl TEXT NOT NULL,"
    " max_before INTEGER NOT NULL, done INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE entries (id INTEGER PRIMARY KEY AUTOINCREMENT, run INTEGER NOT NULL, tbl TEXT NOT NULL,"
    " kind INTEGER NOT NULL, ident INTEGER, fingerprint TEXT NOT NULL, before TEXT, source TEXT, source_key TEXT,"
    " chunk INTEGER, undone INTEGER NOT NULL DEFAULT 0)"};

// Runs an SQLite statement with bound values on the file; the error, or empty.
QString sqlite(const QString &file, const QString &statement, const QVariantList &values = {})
{
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "journal-writer");
        db.setDatabaseName(file);
        QSqlQuery query(db);
        if (!db.open() || !query.prepare(statement))
            error = db.lastError().text() + query.lastError().text();
        for (const QVariant &value : values)
            query.addBindValue(value);
        if (error.isEmpty() && !query.exec())
            error = query.lastError().text();
    }
    QSqlDatabase::removeDatabase("journal-writer");
    return error;
}

} // namespace

// A file written before the journal had a format version (user_version 0, the first
// format's tables) is brought to the current format on opening, its runs and replaced
// records' content before kept (as the file had it: with no NULLs); a second
// program opening it afterwards finds nothing left to do.
void tst_MergeJournal::fileOfAnEarlierFormatIsMigrated()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("journal.sqlite");
    QCOMPARE(sqlite(file, "CREATE TABLE runs (id INTEGER PRIMARY KEY AUTOINCREMENT, server TEXT NOT NULL,"
                          " destination TEXT NOT NULL, sources TEXT NOT NULL, started TEXT NOT NULL, ended TEXT,"
                          " status TEXT NOT NULL, keep_references INTEGER NOT NULL, copy_variant TEXT,"
                          " report_file TEXT, undo_status TEXT, user TEXT)"),
             QString());
    QCOMPARE(sqlite(file, "INSERT INTO runs (server, destination, sources, started, status, keep_references)"
                          " VALUES ('db1:3306', 'central', 'field', '2026-11-30T22:00:00Z', 'done', 0)"),
             QString());
    // A replaced person, its content before kept as JSON (which wrote a NULL text as "").
    QCOMPARE(sqlite(file, "CREATE TABLE entries (id INTEGER PRIMARY KEY AUTOINCREMENT, run INTEGER NOT NULL,"
                          " tbl TEXT NOT NULL, kind INTEGER NOT NULL, ident INTEGER, fingerprint TEXT NOT NULL,"
                          " before TEXT, source TEXT, source_key TEXT, chunk INTEGER, undone INTEGER NOT NULL DEFAULT 0)"),
             QString());
    QCOMPARE(sqlite(file, "INSERT INTO entries (run, tbl, kind, ident, fingerprint, before) VALUES (1, 'humans', 2, 4,"
                          " 'f', '{\"Famname\":\"Ivanov\",\"SecName\":\"\",\"TabNo\":17}')"),
             QString());
    QCOMPARE(userVersion(file), 0);

    MergeJournal journal(file);
    QVERIFY2(journal.open(), qPrintable(journal.lastError()));
    QCOMPARE(userVersion(file), MergeJournal::formatVersion());
    MergeJournal::Run run;
    QVERIFY(journal.run(1, run));
    QCOMPARE(run.destination, QString("central"));
    QCOMPARE(run.fingerprintKind, KvtRowFingerprint::Kind::Md5OfMd5s);
    QVector<MergeJournal::Entry> entries;
    QVERIFY(journal.entries(1, entries));
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.first().before,
             (QVariantMap{{"Famname", QString("Ivanov")}, {"SecName", QString("")}, {"TabNo", qlonglong(17)}}));
    journal.releaseConnection();

    MergeJournal again(file);
    QVERIFY2(again.open(), qPrintable(again.lastError()));
    QVector<MergeJournal::Run> runs;
    QVERIFY(again.runs("db1:3306", runs));
    QCOMPARE(runs.size(), 1);
    again.releaseConnection();
}

void tst_MergeJournal::fileOfANewerFormatIsRefused()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("journal.sqlite");
    QCOMPARE(sqlite(file, QString("PRAGMA user_version = %1").arg(MergeJournal::formatVersion() + 1)), QString());
    MergeJournal journal(file);
    QVERIFY(!journal.open());
    QVERIFY2(journal.lastError().contains("newer kvtmerge"), qPrintable(journal.lastError()));
    journal.releaseConnection();
}

// What the undo reads back: the rows of each write in the order they were written,
// interleaved with the conflict writes; without the writes whose COMMIT failed (their
// retries stand on their own), and without the rows undone since.
void tst_MergeJournal::writesAreReadBackInTheirOrder()
{
    QTemporaryDir dir;
    MergeJournal journal(dir.filePath("journal.sqlite"));
    QVERIFY2(journal.open(), qPrintable(journal.lastError()));
    qlonglong run = 0, later = 0, chunk = 0, failed = 0, entry = 0;
    QVERIFY(journal.startRun("db1:3306", "central", {"field"}, false, "set_based", run));
    QVERIFY(journal.recordRows(run, tnHumans, {{7, "a7"}, {8, "a8"}}));
    QVERIFY(journal.recordReplaced(run, tnHumans, 7, {{"Famname", "Old"}}, "b7"));
    QVERIFY(journal.recordChunk(run, tnDefects, {{20, "f20"}, {23, "f23"}}, failed));
    QVERIFY(journal.chunkCommitFailed(failed));
    QVERIFY(journal.recordChunk(run, tnDefects, {{24, "f24"}, {27, "f27"}, {30, "f30"}}, chunk));
    QVERIFY(journal.recordAddedNewKey(run, tnDetTypes, 9, "d9", "field", "3", &entry));
    QVERIFY(journal.entryCommitFailed(entry));
    QVERIFY(journal.recordAddedNewKey(run, tnDetTypes, 10, "d10", "field", "3"));
    QVERIFY(journal.markUndone({MergeJournal::chunkRowEntry(chunk, 1)}));

    QVector<MergeJournal::Entry> entries;
    QVERIFY(journal.entries(run, entries));
    QStringList read;
    for (const MergeJournal::Entry &e : qAsConst(entries))
        read << QStringLiteral("%1 %2 %3 %4").arg(KvtTable::of(e.table).name).arg(int(e.kind)).arg(e.id).arg(e.fingerprint);
    QCOMPARE(read, QStringList({"humans 1 7 a7", "humans 1 8 a8", "humans 2 7 b7", "defects 1 24 f24",
                                "defects 1 30 f30", "dettypes 3 10 d10"}));
    QCOMPARE(entries.at(2).before.value("Famname").toString(), QString("Old"));

    QVector<qlonglong> keys;
    QVERIFY(journal.addedUnderNewKey("db1:3306", "central", tnDetTypes, "field", "3", keys));
    QCOMPARE(keys, QVector<qlonglong>{10});
    QVERIFY(journal.startRun("db1:3306", "central", {"field"}, false, "set_based", later));
    QHash<qlonglong, qlonglong> others;
    QVERIFY(journal.idsOfOtherRuns(later, tnDefects, false, others));
    QCOMPARE(others, (QHash<qlonglong, qlonglong>{{24, run}, {30, run}}));
    QVERIFY(journal.idsOfOtherRuns(run, tnDefects, true, others));
    QVERIFY(others.isEmpty());
    journal.releaseConnection();
}

// Runs of a server that started before the date go with everything they wrote; those of
// another server, and later ones, stay; the file gives the space back.
void tst_MergeJournal::forgettingRunsShrinksTheFile()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("journal.sqlite");
    MergeJournal journal(file);
    QVERIFY2(journal.open(), qPrintable(journal.lastError()));
    QVector<MergeJournal::Row> rows;
    for (int i = 0; i < 20000; ++i)
        rows << MergeJournal::Row{3 * i + 1, QString::number(i * 7919, 16).rightJustified(32, 'f')};
    struct Started { QString server; QString when; } started[] = {
        {"db1:3306", "2026-01-01T02:30:00Z"}, {"db1:3306", "2026-06-30T23:59:59Z"},
        {"db1:3306", "2026-07-01T00:00:00Z"}, {"db2:3306", "2026-01-01T02:30:00Z"}};
    QVector<qlonglong> runs;
    for (const Started &s : started) {
        qlonglong run = 0;
        QVERIFY(journal.startRun(s.server, "central", {"field"}, false, "set_based", run));
        QVERIFY(journal.recordRows(run, tnDefects, rows));
        QVERIFY(journal.recordReplaced(run, tnHumans, 7, {{"Famname", "Old"}}, "b7"));
        QCOMPARE(sqlite(file, "UPDATE runs SET started = ? WHERE id = ?", {s.when, run}), QString());
        runs << run;
    }
    const qint64 size = QFileInfo(file).size();

    int forgotten = -1;
    QVERIFY2(journal.forgetRuns("db1:3306", QDateTime(QDate(2026, 7, 1), QTime(0, 0), Qt::UTC), forgotten),
             qPrintable(journal.lastError()));
    QCOMPARE(forgotten, 2);
    QVector<MergeJournal::Run> left;
    QVERIFY(journal.runs("db1:3306", left));
    QCOMPARE(left.size(), 1);
    QCOMPARE(left.first().id, runs.at(2));
    QVERIFY(journal.runs("db2:3306", left));
    QCOMPARE(left.size(), 1);
    QVector<MergeJournal::Entry> entries;
    QVERIFY(journal.entries(runs.at(0), entries));
    QVERIFY(entries.isEmpty());
    QVERIFY(journal.entries(runs.at(2), entries));
    QCOMPARE(entries.size(), rows.size() + 1);
    QVERIFY2(QFileInfo(file).size() < size * 3 / 4, qPrintable(QString("%1 of %2").arg(QFileInfo(file).size()).arg(size)));
    journal.releaseConnection();
}

void tst_MergeJournal::init()
{
    if (!m_server)
        QSKIP("no server");
    m_dir.reset(new QTemporaryDir);
    m_journal.reset(new MergeJournal(m_dir->filePath("journal.sqlite")));
    QVERIFY2(m_journal->open(), qPrintable(m_journal->lastError()));
}

void tst_MergeJournal::cleanup()
{
    m_journal.reset();
    for (const QString &db : qAsConst(m_databases))
        TestDatabase::dropDatabase(db);
    m_databases.clear();
}

void tst_MergeJournal::cleanupTestCase()
{
    TestDatabase::closeAll();
}

QString tst_MergeJournal::create(int demo, int defects)
{
    const QString name = TestDatabase::uniqueName("kvt_journal");
    m_databases << name;
    const QString error = TestDatabase::createKvtDatabase(name);
    if (!error.isEmpty())
        return QString();
    return fillDemo(name, demo, defects, defects / 8, 12).isEmpty() ? name : QString();
}

// Conflicts in turn: replaced, added under a new key, left out (zones: replaced or left).
std::shared_ptr<int> tst_MergeJournal::answerEveryWay(MergeHarness &harness, const QString &dest)
{
    auto turn = std::make_shared<int>(0);
    harness.setConflictHandler([dest, turn, &harness](const MergeHarness::Conflict &c) {
        ConflictResolver resolver;
        resolver.setConflict(c.value);
        const int way = (*turn)++ % 3;
        if (way == 0 || (way == 1 && c.table == tnZones)) {
            resolver.replaceDestinationRecord();
            harness.merger().settleConflict(MergeReport::Decision::Replaced, MergeReport::DecidedBy::Policy);
        } else if (way == 1) {
            resolver.addUnderNewKey();
            harness.merger().settleConflict(MergeReport::Decision::AddedNewKey, MergeReport::DecidedBy::Policy);
        } else {
            harness.merger().settleConflict(MergeReport::Decision::LeftOut, MergeReport::DecidedBy::Policy);
        }
        return true;
    });
    return turn;
}

MergeUndo::Result tst_MergeJournal::undo(qlonglong run, MergeUndo::Plan *planOut)
{
    return undoRun(*m_journal, run, m_dir->filePath("reports"), planOut);
}

// Two rows of three columns (the last a signal), as SQL expressions, that differ in one
// way or not at all: every kind of fingerprint must tell them apart exactly when they
// differ.
void tst_MergeJournal::fingerprintTellsEveryChange_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("a");
    QTest::addColumn<QStringList>("b");
    QTest::addColumn<bool>("differ");
    const QString signal = QStringLiteral("REPEAT(X'00015C27FF', 820)"); // 4,100 bytes
    const QStringList base{"1", "'a'", signal};
    struct Case
    {
        const char *name;
        QString first; // of row a, when not base's
        QStringList b;
        bool differ;
    };
    const QVector<Case> cases{
        {"the same row", {}, base, false},
        {"the same values written otherwise", {}, {"2 - 1", "CONCAT('a')", QStringLiteral("SUBSTRING(%1, 1)").arg(signal)}, false},
        {"NULL against an empty text", {}, {"1", "''", signal}, true},
        {"NULL against the text NULL", "NULL", {"NULL", "'a'", signal}, false},
        {"NULL against 0", {}, {"NULL", "'a'", signal}, true},
        {"the word NULL against NULL", {}, {"1", "'NULL'", signal}, true},
        {"a text moved across columns", {}, {"'1a'", "''", signal}, true},
        {"a quote in the text", {}, {"1", "'a'''", signal}, true},
        {"a trailing blank", {}, {"1", "'a '", signal}, true},
        {"upper case", {}, {"1", "'A'", signal}, true},
        {"the first signal byte", {}, {"1", "'a'", QStringLiteral("CONCAT(X'01', SUBSTRING(%1, 2))").arg(signal)}, true},
        {"the last signal byte", {}, {"1", "'a'", QStringLiteral("CONCAT(LEFT(%1, 4099), X'00')").arg(signal)}, true},
        {"a NUL byte added", {}, {"1", "'a'", QStringLiteral("CONCAT(%1, X'00')").arg(signal)}, true},
        {"a backslash and zero against a NUL byte", "X'5C30'", {"X'00'", "'a'", signal}, true},
        {"a double's last bit", "0.3e0", {"0.1e0 + 0.2e0", "'a'", signal}, true},
        {"a signal against the text of its digest", {}, {"1", "'a'", QStringLiteral("MD5(%1)").arg(signal)}, true},
    };
    for (const int kind : {int(KvtRowFingerprint::Kind::Md5OfMd5s), int(KvtRowFingerprint::Kind::Md5OfQuoted),
                           int(KvtRowFingerprint::Kind::Md5OfQuotedDigests)}) {
        for (const Case &c : cases) {
            QStringList a = base;
            if (!c.first.isEmpty())
                a.first() = c.first;
            QTest::addRow("kind %d, %s", kind, c.name) << kind << a << c.b << c.differ;
        }
        QTest::addRow("kind %d, a NULL signal against an empty one", kind)
            << kind << QStringList{"1", "'a'", "NULL"} << QStringList{"1", "'a'", "X''"} << true;
    }
}

void tst_MergeJournal::fingerprintTellsEveryChange()
{
    if (!m_server)
        QSKIP("no test server");
    QFETCH(int, kind);
    QFETCH(QStringList, a);
    QFETCH(QStringList, b);
    QFETCH(bool, differ);
    const auto k = KvtRowFingerprint::Kind(kind);
    for (QStringList *row : {&a, &b})
        row->last() = KvtRowFingerprint::entry(row->last(), true, k);
    const QStringList prints = rows(QStringLiteral("SELECT %1, %2").arg(KvtRowFingerprint::over(a, k),
                                                                        KvtRowFingerprint::over(b, k)))
                                   .value(0)
                                   .split('|');
    QCOMPARE(prints.size(), 2);
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$")).match(prints.first()).hasMatch()); // 128 bits
    QCOMPARE(prints.first() != prints.last(), differ);
}

void tst_MergeJournal::undoRestoresEveryTable_data()
{
    QTest::addColumn<int>("copy");
    QTest::addColumn<int>("ids");
    QTest::newRow("set-based, RETURNING") << int(Copy::SetBased) << int(Ids::Returning);
    // The read-back is forced on a server that has RETURNING.
    QTest::newRow("set-based, read back in the chunk's snapshot") << int(Copy::SetBased) << int(Ids::ReadBack);
    QTest::newRow("per row") << int(Copy::PerRow) << int(Ids::Returning);
    QTest::newRow("per row, read back forced") << int(Copy::PerRow) << int(Ids::ReadBack);
}

void tst_MergeJournal::undoRestoresEveryTable()
{
    QFETCH(int, copy);
    QFETCH(int, ids);
    const QString dest = create(1, 80);
    const QString src1 = create(2, 80);
    const QString src2 = create(3, 80);
    QVERIFY(!dest.isEmpty() && !src1.isEmpty() && !src2.isEmpty());
    const QStringList before = checksums(dest);

    MergeHarness harness;
    harness.merger().setMeasurementCopy(Copy(copy));
    harness.merger().setJournalIds(Ids(ids));
    harness.merger().setJournal(m_journal.get());
    harness.merger().setChunkSize(16);
    answerEveryWay(harness, dest);
    QVERIFY(harness.run(dest, {src1, src2}));
    QVERIFY2(harness.errorTexts.isEmpty(), qPrintable(harness.errorTexts.join('\n')));
    const MergeReport &report = harness.merger().report();
    int replaced = 0, added = 0, left = 0;
    for (const MergeReport::Conflict &c : report.conflicts()) {
        replaced += c.decision == MergeReport::Decision::Replaced;
        added += c.decision == MergeReport::Decision::AddedNewKey;
        left += c.decision == MergeReport::Decision::LeftOut;
    }
    QVERIFY(replaced > 0 && added > 0 && left > 0);
    QVERIFY(checksums(dest) != before);

    const qlonglong run = harness.merger().journalRun();
    QVector<MergeJournal::Run> runs;
    QVERIFY(m_journal->runs(report.server(), runs));
    QCOMPARE(runs.size(), 1);
    QCOMPARE(runs.first().id, run);
    QCOMPARE(runs.first().status, MergeReport::statusText(MergeReport::RunStatus::Done));
    QCOMPARE(runs.first().sources, QStringList({src1, src2}));

    MergeUndo::Plan plan;
    const MergeUndo::Result result = undo(run, &plan);
    QVERIFY2(result.complete, qPrintable(result.error + QString::number(result.left.size())));
    QVERIFY(result.restored > 0 && result.restored <= replaced);
    QVERIFY(result.deleted > 0);
    QCOMPARE(checksums(dest), before);
    QVERIFY(QFile::exists(result.reportFile));
    QVERIFY(m_journal->run(run, runs.first()));
    QCOMPARE(runs.first().undoStatus, QStringLiteral("undone"));

    // A second undo finds nothing left to do.
    MergeUndo again(*m_journal, QSqlDatabase::database());
    QVERIFY(again.plan(run, plan));
    QCOMPARE(plan.deletes() + plan.restores() + plan.left(), 0);
}

void tst_MergeJournal::changedRowStaysAndIsListed()
{
    const QString dest = create(1, 40);
    const QString src = create(2, 40);
    QVERIFY(!dest.isEmpty() && !src.isEmpty());
    const QStringList before = checksums(dest);
    const int defectsBefore = count(dest, "defects");

    MergeHarness harness;
    harness.merger().setJournal(m_journal.get());
    answerEveryWay(harness, dest);
    QVERIFY(harness.run(dest, {src}));
    const qlonglong changed = TestDatabase::scalar(QStringLiteral("SELECT MAX(ID) FROM %1.defects").arg(q(dest))).toLongLong();
    QVERIFY(TestDatabase::exec(QStringLiteral("UPDATE %1.defects SET Printed = 1 - COALESCE(Printed, 0) WHERE ID = %2")
                                   .arg(q(dest)).arg(changed)).isEmpty());

    const MergeUndo::Result result = undo(harness.merger().journalRun());
    QVERIFY2(result.ok, qPrintable(result.error));
    QVERIFY(!result.complete);
    QCOMPARE(result.left.size(), 1);
    QCOMPARE(result.left.first().table, tnDefects);
    QCOMPARE(result.left.first().id, changed);
    QCOMPARE(result.left.first().reason, MergeUndo::Reason::ChangedSince);
    QCOMPARE(count(dest, "defects"), defectsBefore + 1);
    QCOMPARE(checksums(dest).mid(1), before.mid(1));
}

void tst_MergeJournal::rowsOfAnotherSessionSurvive()
{
    const QString dest = create(1, 60);
    const QString src = create(2, 120);
    QVERIFY(!dest.isEmpty() && !src.isEmpty());
    const QStringList before = checksums(dest);
    TestDatabase::open("writer");

    MergeHarness harness;
    harness.merger().setJournal(m_journal.get());
    harness.merger().setChunkSize(10);
    int written = 0;
    harness.setProgressHook([&](int) {
        if (TestDatabase::exec(QStringLiteral("INSERT INTO %1.defects (MyId, VagNo) VALUES (-777, %2)")
                                   .arg(q(dest)).arg(written), "writer").isEmpty())
            ++written;
    });
    QVERIFY(harness.run(dest, {src}));
    QVERIFY(written > 2);

    const MergeUndo::Result result = undo(harness.merger().journalRun());
    QVERIFY2(result.complete, qPrintable(result.error));
    QCOMPARE(TestDatabase::scalar(QStringLiteral("SELECT COUNT(*) FROM %1.defects WHERE MyId = -777").arg(q(dest))).toInt(),
             written);
    QVERIFY(TestDatabase::exec(QStringLiteral("DELETE FROM %1.defects WHERE MyId = -777").arg(q(dest))).isEmpty());
    QCOMPARE(checksums(dest), before);
}

// A merge stopped after some chunks, with conflicts settled every way, journaled in the
// format of one row per destination row; then a chunk the killed program had sent but
// not journaled (its intent only) reaches the destination, beside an equal row another
// session wrote before it. Opened by this version, the file is migrated; the undo removes
// the run's rows and the chunk's, and only those, and restores what the run replaced.
void tst_MergeJournal::stoppedRunWithAnOpenChunkIsUndoneWhole()
{
    const QString dest = create(1, 40);
    const QString src = create(2, 200);
    QVERIFY(!dest.isEmpty() && !src.isEmpty());
    const QStringList before = checksums(dest);

    MergeHarness harness;
    harness.merger().setJournal(m_journal.get());
    harness.merger().setChunkSize(20);
    const std::shared_ptr<int> settled = answerEveryWay(harness, dest);
    harness.setProgressHook([&](int value) {
        if (value > 0 && *settled >= 6)
            harness.merger().requestStop();
    });
    QVERIFY(harness.run(dest, {src}));
    const qlonglong run = harness.merger().journalRun();
    QCOMPARE(harness.merger().report().status(), MergeReport::RunStatus::Stopped);
    QVERIFY(!harness.merger().report().conflicts().isEmpty());

    // The same run as the earlier format wrote it.
    const QString file = m_dir->filePath("one-row-per-row.sqlite");
    for (const QString &statement : formatOfOneRowPerRowTables)
        QCOMPARE(sqlite(file, statement), QString());
    QCOMPARE(sqlite(file, QString("PRAGMA user_version = %1").arg(formatOfOneRowPerRow)), QString());
    MergeJournal::Run written;
    QVERIFY(m_journal->run(run, written));
    QCOMPARE(sqlite(file, "INSERT INTO runs (id, server, destination, sources, started, status, keep_references)"
                          " VALUES (?, ?, ?, ?, ?, 'stopped', 0)",
                    {run, written.server, dest, src, written.started.toString(Qt::ISODate)}),
             QString());
    QVector<MergeJournal::Entry> entries;
    QVERIFY(m_journal->entries(run, entries));
    QSet<int> kinds;
    for (const MergeJournal::Entry &e : qAsConst(entries)) {
        // That format knew one kind of fingerprint: the rows are as the run left them.
        QHash<qlonglong, QString> print;
        QString error;
        QVERIFY2(KvtRowFingerprint::read(QSqlDatabase::database(), dest, e.table, {e.id}, print, &error,
                                         KvtRowFingerprint::Kind::Md5OfMd5s),
                 qPrintable(error));
        const QVariant before = e.before.isEmpty() ? PSqlNull::typed()
                                                   : QString::fromUtf8(QJsonDocument(QJsonObject::fromVariantMap(
                                                                                         e.before)).toJson(QJsonDocument::Compact));
        QCOMPARE(sqlite(file, "INSERT INTO entries (run, tbl, kind, ident, fingerprint, before, source, source_key)"
                              " VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
                        {run, KvtTable::of(e.table).name, int(e.kind), e.id, print.value(e.id), before, e.source,
                         e.sourceKey}),
                 QString());
        kinds.insert(int(e.kind));
    }
    QCOMPARE(kinds.size(), 3); // inserted, replaced, added under a new key

    // The chunk in flight: source rows with the highest IDs, not in the destination.
    const QString chunkRows = QStringLiteral("SELECT %1 FROM %2.defects s ORDER BY s.ID DESC LIMIT 5");
    const QString columns = KvtTable::of(tnDefects).columnNames().join(", ");
    const QString copyOne = QStringLiteral("INSERT INTO %1.defects (%2) SELECT %2 FROM %3.defects ORDER BY ID DESC LIMIT %4");
    QVERIFY(TestDatabase::exec(copyOne.arg(q(dest), columns, q(src)).arg(1)).isEmpty()); // another session's row
    const qlonglong maxBefore = TestDatabase::scalar(QStringLiteral("SELECT MAX(ID) FROM %1.defects").arg(q(dest))).toLongLong();
    QCOMPARE(sqlite(file, "INSERT INTO chunks (id, run, tbl, max_before) VALUES (1, ?, 'defects', ?)", {run, maxBefore}),
             QString());
    const QString oldPrint = KvtRowFingerprint::of(tnDefects, "s", KvtRowFingerprint::Kind::Md5OfMd5s);
    for (const QString &print : rows(chunkRows.arg(oldPrint, q(src))))
        QCOMPARE(sqlite(file, "INSERT INTO entries (run, tbl, kind, fingerprint, chunk) VALUES (?, 'defects', ?, ?, 1)",
                        {run, int(MergeJournal::Kind::Intended), print}),
                 QString());
    QVERIFY(TestDatabase::exec(copyOne.arg(q(dest), columns, q(src)).arg(5)).isEmpty());

    m_journal.reset(new MergeJournal(file));
    QVERIFY2(m_journal->open(), qPrintable(m_journal->lastError()));
    QCOMPARE(userVersion(file), MergeJournal::formatVersion());
    const MergeUndo::Result result = undo(run);
    QVERIFY2(result.complete, qPrintable(result.error));
    QVERIFY(result.restored > 0);
    QCOMPARE(TestDatabase::scalar(QStringLiteral("SELECT COUNT(*) FROM %1.defects WHERE ID > %2").arg(q(dest)).arg(maxBefore)).toInt(), 0);
    QCOMPARE(TestDatabase::scalar(QStringLiteral("SELECT MAX(ID) FROM %1.defects").arg(q(dest))).toLongLong(), maxBefore);
    QVERIFY(TestDatabase::exec(QStringLiteral("DELETE FROM %1.defects WHERE ID = %2").arg(q(dest)).arg(maxBefore)).isEmpty());
    QCOMPARE(checksums(dest), before);
    QVector<MergeJournal::Chunk> open;
    QVERIFY(m_journal->openChunks(run, open));
    QVERIFY(open.isEmpty());
}

// The journal of a set-based merge holds about the packed fingerprints and little else:
// one record per chunk, not one per destination row (that took over 100 bytes a row).
void tst_MergeJournal::journalGrowsByLittleMoreThanTheFingerprints()
{
    const QString dest = create(1, 40);
    const QString src = create(2, 4000);
    QVERIFY(!dest.isEmpty() && !src.isEmpty());
    const qint64 empty = QFileInfo(m_journal->file()).size();
    const int rowsBefore = count(dest, "defects") + count(dest, "graphics");

    MergeHarness harness;
    harness.merger().setJournal(m_journal.get());
    answerEveryWay(harness, dest);
    QVERIFY(harness.run(dest, {src}));
    QVERIFY2(harness.errorTexts.isEmpty(), qPrintable(harness.errorTexts.join('\n')));
    const int inserted = count(dest, "defects") + count(dest, "graphics") - rowsBefore;
    QVERIFY(inserted >= 4000);
    const qint64 grown = QFileInfo(m_journal->file()).size() - empty;
    qInfo("%d rows grew the journal by %lld bytes", inserted, grown);
    QVERIFY2(grown < inserted * 20 + 64 * 1024, qPrintable(QString::number(grown)));
}

// Two runs replace and add into the same destination: the older one leaves the records
// the later one touched or depends on, and undoes the rest.
void tst_MergeJournal::olderRunLeavesWhatALaterRunTouched()
{
    const QString dest = create(1, 40);
    const QString src1 = create(2, 40);
    const QString src2 = create(3, 40);
    QVERIFY(!dest.isEmpty() && !src1.isEmpty() && !src2.isEmpty());
    qlonglong runs[2] = {0, 0};
    const QStringList sources{src1, src2};
    for (int i = 0; i < 2; ++i) {
        MergeHarness harness;
        harness.merger().setJournal(m_journal.get());
        harness.setConflictHandler([&](const MergeHarness::Conflict &c) {
            ConflictResolver resolver;
            resolver.setConflict(c.value);
            resolver.replaceDestinationRecord();
            return true;
        });
        QVERIFY(harness.run(dest, {sources.at(i)}));
        // The second run starts as soon as the first has ended: it must not find the
        // destination still locked (nor journal nothing, as a refused run does).
        QCOMPARE(harness.errorTexts, QStringList());
        runs[i] = harness.merger().journalRun();
        QVERIFY(runs[i] != 0);
    }
    MergeUndo::Plan plan;
    MergeUndo undo(*m_journal, QSqlDatabase::database());
    QVERIFY(undo.plan(runs[0], plan));
    int touched = 0;
    for (const MergeUndo::TablePlan &t : plan.tables)
        for (const MergeUndo::Left &l : t.left) {
            QCOMPARE(l.reason == MergeUndo::Reason::TouchedLater || l.reason == MergeUndo::Reason::DependedOn, true);
            touched += l.reason == MergeUndo::Reason::TouchedLater;
            if (l.reason == MergeUndo::Reason::TouchedLater)
                QCOMPARE(l.laterRun, runs[1]);
        }
    QVERIFY(touched > 0);
    QVERIFY(plan.deletes() > 0);
    QCOMPARE(plan.tables.at(MergeUndo::order().indexOf(tnDetTypes)).laterRuns, QVector<qlonglong>{runs[1]});

    // The latest run undoes whole; the older one then has nothing left in the way.
    QVERIFY(this->undo(runs[1]).complete);
    QVERIFY(this->undo(runs[0]).complete);
}

void tst_MergeJournal::rerunDoesNotAskAgainForPeopleAddedUnderNewKey_data()
{
    QTest::addColumn<bool>("journaled");
    QTest::newRow("journaled") << true;
    QTest::newRow("without journal") << false;
}

// Keeping references, people in conflict are added under a new personnel number; a
// second merge of the same source maps them to those records without asking, but only
// when the journal says so.
void tst_MergeJournal::rerunDoesNotAskAgainForPeopleAddedUnderNewKey()
{
    QFETCH(bool, journaled);
    const QString dest = create(1, 40);
    const QString src = create(2, 40);
    QVERIFY(!dest.isEmpty() && !src.isEmpty());
    int people[2] = {0, 0};
    int defects[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        MergeHarness harness;
        harness.merger().setKeepReferences(true);
        if (journaled)
            harness.merger().setJournal(m_journal.get());
        harness.setConflictHandler([&, i](const MergeHarness::Conflict &c) {
            if (c.table != tnHumans)
                return true;
            ++people[i];
            ConflictResolver resolver;
            resolver.setConflict(c.value);
            if (i == 0)
                resolver.addUnderNewKey();
            return true;
        });
        QVERIFY(harness.run(dest, {src}));
        QVERIFY2(harness.errorTexts.isEmpty(), qPrintable(harness.errorTexts.join('\n')));
        defects[i] = count(dest, "defects");
        if (i == 0) { // the journaled copy counts references as the plain one does
            const KvtMerger::ReferenceCounts counts = harness.merger().referenceCounts(src, tnDefects);
            QVERIFY(counts.translated + counts.mismatched > 0);
        }
    }
    QVERIFY(people[0] > 0);
    QCOMPARE(people[1], journaled ? 0 : people[0]);
    if (journaled)
        QCOMPARE(defects[1], defects[0]);
}

QTEST_MAIN(tst_MergeJournal)
#include "tst_mergejournal.moc"
