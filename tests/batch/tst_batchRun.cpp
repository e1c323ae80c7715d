// The program run as `kvtmerge --batch` in a process of its own against the test server,
// with no display and an environment holding only PATH, HOME and KVT_DB_PASSWORD.

#include "EngineTestData.h"
#include "KvtDestinationLock.h"
#include "ShellTestSupport.h"
#include "TestDatabase.h"
#include "WidgetCreation.h"
#include "mainwin.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QSpinBox>
#include <QState>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>

using namespace EngineTestData;

namespace {

const QStringList referenceTables{"defectref", "dettypes", "device", "factory", "results", "humans", "zones"};
const QStringList mergedTables = QStringList{"defects", "graphics"} + referenceTables;

QString keyColumn(const QString &table)
{
    return table == "factory" ? "Cod" : table == "humans" ? "TabNo" : table == "zones" ? "DetTypeZone" : "ID";
}

struct Run {
    int status = -1;
    QString out;
    QString err;
};

// The source records of a reference table whose key the destination holds with other
// content: their keys.
QStringList conflictKeys(const QString &src, const QString &dest, const QString &table)
{
    QStringList same;
    for (const QString &column : copiedColumns(table))
        same << QStringLiteral("s.%1 <=> d.%1").arg(column);
    return rows(QStringLiteral("SELECT s.%4 FROM %1.%2 s JOIN %3.%2 d ON s.%4 = d.%4 WHERE NOT (%5) ORDER BY 1")
                    .arg(q(src), table, q(dest), keyColumn(table), same.join(" AND ")));
}

QStringList record(const QString &db, const QString &table, const QString &key)
{
    return rows(QStringLiteral("SELECT %1 FROM %2.%3 WHERE %4 = '%5'")
                    .arg(copiedColumns(table).join(", "), q(db), table, keyColumn(table), key));
}

// The same merge in the main window, conflicts settled by a standing choice.
bool mergeInWindow(const QStringList &sources, const QString &destination, actionDiffRec choice)
{
    MainWin window;
    window.show();
    ShellTest::connectPanel(&window);
    ShellTest::child<QSpinBox>(&window, "spinTableSource")->setValue(sources.size());
    const QList<QLineEdit *> fields = ShellTest::sourceFields(&window);
    for (int i = 0; i < fields.size(); ++i)
        fields.at(i)->setText(sources.at(i));
    ShellTest::child<QLineEdit>(&window, "edToTable")->setText(destination);
    window.setActionForDiffRecords(choice);
    auto *start = window.findChild<QState *>(QStringLiteral("btnStartMerge"));
    if (!start || !QTest::qWaitFor([&] { return start->active(); }))
        return false;
    QSignalSpy finished(&window, &MainWin::mergeFinished);
    ShellTest::child<QPushButton>(&window, "btnMerge")->click();
    return finished.wait(180000);
}

// Sends the signal to the process if it still runs; false when it has ended. Never to the
// process id 0 of an ended QProcess, which would signal this test's whole process group
// (ctest included).
bool signalRunning(const QProcess &process, int signal)
{
    const qint64 pid = process.processId();
    return pid > 0 && ::kill(pid_t(pid), signal) == 0;
}

} // namespace

class tst_BatchRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void twoSourcesMergeAsTheWindowDoes_data();
    void twoSourcesMergeAsTheWindowDoes();
    void conflictPolicies_data();
    void conflictPolicies();
    void exitStatuses();
    void tlsConnection();
    void sigtermDuringALargeMerge();
    void listAndUndoRuns();
    void killedMergeIsUndoneWhole_data();
    void killedMergeIsUndoneWhole();

private:
    void startProgram(QProcess &process, const QStringList &arguments,
                      const QString &password = TestDatabase::server().password);
    Run runProgram(const QStringList &arguments, const QString &password = TestDatabase::server().password);
    QStringList connectionArguments() const;
    QString freshDatabase(const QString &prefix);

    QTemporaryDir m_home;
    QStringList m_databases;
};

void tst_BatchRun::initTestCase()
{
    if (!TestDatabase::requireServer())
        return;
    QVERIFY(m_home.isValid());
    QCoreApplication::setApplicationName(QStringLiteral("kvtMergeDB"));
    initAppResources();
    QVERIFY(TestDatabase::openDefault().isOpen());
}

void tst_BatchRun::cleanup()
{
    for (const QString &name : qAsConst(m_databases))
        TestDatabase::dropDatabase(name);
    m_databases.clear();
}

QString tst_BatchRun::freshDatabase(const QString &prefix)
{
    const QString name = TestDatabase::uniqueName(prefix);
    const QString error = TestDatabase::createKvtDatabase(name);
    if (!error.isEmpty())
        qWarning("%s", qPrintable(error));
    m_databases << name;
    return name;
}

QStringList tst_BatchRun::connectionArguments() const
{
    const TestDatabase::Server server = TestDatabase::server();
    return {"--batch", "--host", server.host, "--port", QString::number(server.port), "--user", server.user};
}

// No DISPLAY, no QT_QPA_PLATFORM: only PATH, HOME and the password (and the sanitizers'
// own settings, which are not the program's).
void tst_BatchRun::startProgram(QProcess &process, const QStringList &arguments, const QString &password)
{
    const QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
    QProcessEnvironment environment;
    environment.insert("PATH", system.value("PATH"));
    environment.insert("HOME", m_home.path());
    // The texts this test looks for are the English ones; without a language the program
    // speaks Russian.
    environment.insert("LANG", "en_US.UTF-8");
    if (!password.isNull())
        environment.insert("KVT_DB_PASSWORD", password);
    for (const char *sanitizer : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"})
        if (system.contains(sanitizer))
            environment.insert(sanitizer, system.value(sanitizer));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(KVT_PROGRAM), arguments);
}

Run tst_BatchRun::runProgram(const QStringList &arguments, const QString &password)
{
    QProcess process;
    startProgram(process, arguments, password);
    Run run;
    if (!process.waitForFinished(300000))
        return run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

void tst_BatchRun::twoSourcesMergeAsTheWindowDoes_data()
{
    QTest::addColumn<QString>("policy");
    QTest::addColumn<int>("standingChoice");
    QTest::newRow("leave") << "leave" << int(adrSkip);
    QTest::newRow("replace") << "replace" << int(adrReplace);
}

// The window's merge (the worker answered with the same standing choice) and the batch
// run of the same two sources give equal destinations; a second run adds nothing.
void tst_BatchRun::twoSourcesMergeAsTheWindowDoes()
{
    QFETCH(QString, policy);
    QFETCH(int, standingChoice);
    const QString one = freshDatabase("kvt_b_one");
    const QString two = freshDatabase("kvt_b_two");
    QCOMPARE(fillDemo(one, 1, 300, 20, 40), QString());
    QCOMPARE(fillDemo(two, 2, 300, 20, 40), QString());
    const QString byWindow = freshDatabase("kvt_b_win");
    const QString byBatch = freshDatabase("kvt_b_bat");

    QVERIFY(mergeInWindow({one, two}, byWindow, actionDiffRec(standingChoice)));
    TestDatabase::openDefault();

    const QStringList arguments = connectionArguments()
                                  + QStringList{"--destination", byBatch, "--source", one, "--source", two,
                                                "--on-conflict", policy};
    // A dry run writes nothing into the destination, conflicts or not.
    const Run preview = runProgram(arguments + QStringList{"--dry-run", "--quiet"});
    QVERIFY2(preview.status == 0, qPrintable(preview.err));
    QVERIFY2(preview.out.contains(QRegularExpression(QStringLiteral("\\n%1 +defects +300 +300 +0 .*preview\\n").arg(one))),
             qPrintable(preview.out));
    for (const QString &table : mergedTables)
        QCOMPARE(count(byBatch, table), 0);

    const Run first = runProgram(arguments);
    QVERIFY2(first.status == 0, qPrintable(first.err));
    // The summary: the report's table, one row per source and table, in aligned columns.
    const QStringList summary = first.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(summary.size(), 1 + 2 * mergedTables.size());
    QVERIFY2(summary.first().startsWith("source  "), qPrintable(summary.first()));
    QVERIFY2(summary.at(1).contains(QRegularExpression(QStringLiteral("^%1 +defects +300 +300 +0 .* done$").arg(one))),
             qPrintable(summary.at(1)));
    QVERIFY2(first.err.contains(QStringLiteral("%1.defects: 300 rows in ").arg(one)), qPrintable(first.err));
    for (const QString &table : mergedTables) {
        QCOMPARE(count(byBatch, table), count(byWindow, table));
        QCOMPARE(matchingRows(byBatch, byWindow, table, copiedColumns(table)), count(byWindow, table));
    }

    QList<int> counts;
    for (const QString &table : mergedTables)
        counts << count(byBatch, table);
    const Run second = runProgram(arguments + QStringList{"--quiet"});
    QVERIFY2(second.status == 0, qPrintable(second.err));
    QVERIFY2(second.err.isEmpty(), qPrintable(second.err));
    for (int i = 0; i < mergedTables.size(); ++i)
        QCOMPARE(count(byBatch, mergedTables.at(i)), counts.at(i));
}

void tst_BatchRun::conflictPolicies_data()
{
    QTest::addColumn<QString>("policy");
    QTest::addColumn<int>("status");
    QTest::newRow("ask-fail") << "ask-fail" << 1;
    QTest::newRow("leave") << "leave" << 0;
    QTest::newRow("replace") << "replace" << 0;
    QTest::newRow("new-key") << "new-key" << 0;
}

// The demo databases 1 and 2 conflict in every reference table (keys ending in 7).
void tst_BatchRun::conflictPolicies()
{
    QFETCH(QString, policy);
    QFETCH(int, status);
    const QString dest = freshDatabase("kvt_b_dest");
    const QString src = freshDatabase("kvt_b_src");
    QCOMPARE(fillDemo(dest, 1, 10, 2, 30), QString());
    QCOMPARE(fillDemo(src, 2, 10, 2, 30), QString());
    QHash<QString, QStringList> keys;
    QHash<QString, int> before;
    for (const QString &table : referenceTables) {
        keys[table] = conflictKeys(src, dest, table);
        QVERIFY2(!keys[table].isEmpty(), qPrintable(table));
        before[table] = count(dest, table);
    }
    QHash<QString, QList<QStringList>> destRecords;
    for (const QString &table : referenceTables)
        for (const QString &key : keys[table])
            destRecords[table] << record(dest, table, key);

    const QString reportFile = m_home.filePath("policy.csv");
    const Run run = runProgram(connectionArguments()
                               + QStringList{"--destination", dest, "--source", src, "--on-conflict", policy,
                                             "--report", reportFile});
    QVERIFY2(run.status == status, qPrintable(run.err));
    // The conflicts file names the decision and the rule that made it.
    QFile conflicts(m_home.filePath("policy_conflicts.csv"));
    QVERIFY(conflicts.open(QIODevice::ReadOnly));
    const QString listed = QString::fromUtf8(conflicts.readAll());
    if (policy != "ask-fail") {
        const QString decision = policy == "leave" ? "left_out" : policy == "replace" ? "replaced" : "added_new_key";
        QVERIFY2(listed.contains(QStringLiteral("%1;dettypes;%2;%3;policy;").arg(src, keys["dettypes"].first(), decision)),
                 qPrintable(listed));
        QVERIFY2(listed.contains(QStringLiteral(";device;%1;replaced;device_rule;").arg(keys["device"].first())),
                 qPrintable(listed));
    }

    if (policy == "ask-fail") {
        // Stopped at the first conflict, in defectref: no later table was touched.
        QVERIFY2(run.err.contains(QStringLiteral("conflict in %1.defectref, key %2").arg(src, keys["defectref"].first())),
                 qPrintable(run.err));
        for (const QString &table : referenceTables.mid(1))
            QCOMPARE(count(dest, table), before[table]);
        return;
    }
    for (const QString &table : referenceTables) {
        for (int i = 0; i < keys[table].size(); ++i) {
            const QString key = keys[table].at(i);
            const QStringList now = record(dest, table, key);
            if (policy == "replace" || table == "device")
                QCOMPARE(now, record(src, table, key));
            else
                QCOMPARE(now, destRecords[table].at(i));
        }
    }
    if (policy != "new-key")
        return;
    // Every conflicting source record is there once more, under a new key; a zone under
    // the next zone number of its part type.
    for (const QString &table : referenceTables) {
        if (table == "device")
            continue;
        QStringList same;
        for (const QString &column : copiedColumns(table))
            if (column != keyColumn(table) && !(table == "zones" && column == "ID"))
                same << QStringLiteral("s.%1 <=> d.%1").arg(column);
        const QString extra = table == "zones" ? " AND d.DetTypeZone = 100 * d.DetTypeId + d.ID" : "";
        for (const QString &key : keys[table]) {
            const QStringList added = rows(
                QStringLiteral("SELECT d.%1 FROM %2.%3 s JOIN %4.%3 d ON %5 AND d.%1 <> s.%1%6 WHERE s.%1 = '%7'")
                    .arg(keyColumn(table), q(src), table, q(dest), same.join(" AND "), extra, key));
            QVERIFY2(added.size() == 1, qPrintable(table + ' ' + key + ": " + added.join(',')));
            if (table != "zones")
                QVERIFY(added.first().toLongLong() > key.toLongLong() || table == "humans" || table == "factory");
        }
    }
}

void tst_BatchRun::exitStatuses()
{
    const QString dest = freshDatabase("kvt_b_dest");
    const QString src = freshDatabase("kvt_b_src");
    QCOMPARE(fillDemo(src, 1, 10, 2, 10), QString());
    const QStringList merge = connectionArguments() + QStringList{"--destination", dest, "--source", src};

    // Without a display: the version, and a refused command line with or without --batch.
    Run run = runProgram({"--version"});
    QCOMPARE(run.status, 0);
    QVERIFY(run.out.startsWith("kvtmerge "));
    run = runProgram({"--no-such-option"});
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.contains("no-such-option"), qPrintable(run.err));
    run = runProgram(merge, QString());
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.contains("KVT_DB_PASSWORD"), qPrintable(run.err));

    const QString passwordFile = m_home.filePath("password");
    QFile file(passwordFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(TestDatabase::server().password.toUtf8() + '\n');
    file.close();
    QVERIFY(::chmod(QFile::encodeName(passwordFile).constData(), 0644) == 0);
    run = runProgram(merge + QStringList{"--password-file", passwordFile}, QString());
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.contains("other users"), qPrintable(run.err));
    QCOMPARE(count(dest, "defects"), 0);

    // A refused login.
    run = runProgram(merge, "not the password");
    QCOMPARE(run.status, 3);
    QVERIFY2(run.err.contains("Access denied"), qPrintable(run.err));

    // The destination lacks a table: refused before anything is written, by the dry run too.
    // (The message may come translated: it names the database and the table.)
    QCOMPARE(TestDatabase::exec(QStringLiteral("DROP TABLE %1.results").arg(q(dest))), QString());
    run = runProgram(merge);
    QCOMPARE(run.status, 3);
    QVERIFY2(run.err.contains(dest) && run.err.contains(QStringLiteral("results")), qPrintable(run.err));
    QCOMPARE(count(dest, "defects"), 0);
    run = runProgram(merge + QStringList{"--dry-run"});
    QCOMPARE(run.status, 3);
    QVERIFY2(run.err.contains(dest) && run.err.contains(QStringLiteral("results")), qPrintable(run.err));

    // A zone with no number left for its part type under new-key.
    const QString full = freshDatabase("kvt_b_full");
    QCOMPARE(fillDemo(full, 1, 10, 2, 30), QString());
    const QString other = freshDatabase("kvt_b_other");
    QCOMPARE(fillDemo(other, 2, 10, 2, 30), QString());
    const QStringList zoneKeys = conflictKeys(other, full, "zones");
    QVERIFY(!zoneKeys.isEmpty());
    const QString partType = rows(QStringLiteral("SELECT DetTypeId FROM %1.zones WHERE DetTypeZone = %2")
                                      .arg(q(other), zoneKeys.first()))
                                 .value(0);
    QCOMPARE(TestDatabase::exec(QStringLiteral("INSERT INTO %1.zones (DetTypeZone, ID, DetTypeId, Name) "
                                               "VALUES (100 * %2 + 99, 99, %2, 'last')")
                                    .arg(q(full), partType)),
             QString());
    run = runProgram(connectionArguments()
                     + QStringList{"--destination", full, "--source", other, "--on-conflict", "new-key"});
    QCOMPARE(run.status, 3);
    QVERIFY2(run.err.contains(QStringLiteral("part type %1").arg(partType)), qPrintable(run.err));
}

// An account accepted only over TLS with a client certificate: refused without TLS and
// with a CA that did not sign the server's certificate, merged with the right files.
void tst_BatchRun::tlsConnection()
{
    const QByteArray ca = qgetenv("KVT_TEST_DB_SSL_CA");
    if (ca.isEmpty())
        QSKIP("the test server speaks no TLS (KVT_TEST_DB_SSL_CA)");
    const QString dest = freshDatabase("kvt_b_dest");
    const QString src = freshDatabase("kvt_b_src");
    QCOMPARE(fillDemo(src, 1, 10, 2, 10), QString());
    QStringList merge = connectionArguments() + QStringList{"--destination", dest, "--source", src, "--quiet"};
    merge[merge.indexOf("--user") + 1] = qEnvironmentVariable("KVT_TEST_DB_X509_USER");
    const QStringList client{"--ssl-cert", qEnvironmentVariable("KVT_TEST_DB_SSL_CERT"), "--ssl-key",
                             qEnvironmentVariable("KVT_TEST_DB_SSL_KEY")};

    Run run = runProgram(merge);
    QCOMPARE(run.status, 3);
    QVERIFY2(run.err.contains("Access denied"), qPrintable(run.err));
    run = runProgram(merge + QStringList{"--ssl-ca", qEnvironmentVariable("KVT_TEST_DB_SSL_OTHER_CA")} + client);
    QCOMPARE(run.status, 3);
    QCOMPARE(count(dest, "defects"), 0);
    run = runProgram(merge + QStringList{"--ssl-ca", QString::fromLocal8Bit(ca)} + client);
    QVERIFY2(run.status == 0, qPrintable(run.err));
    QCOMPARE(count(dest, "defects"), count(src, "defects"));
}

// SIGTERM stops the worker at its next step: status 4, and a rerun completes the merge
// without a duplicate. A second run into another destination goes on undisturbed.
void tst_BatchRun::sigtermDuringALargeMerge()
{
    const QString src = freshDatabase("kvt_b_big");
    QCOMPARE(fillDemo(src, 1, 2000, 50, 400), QString());
    const QString dest = freshDatabase("kvt_b_dest");
    const QString reference = freshDatabase("kvt_b_ref");
    const QStringList merge = connectionArguments() + QStringList{"--source", src};

    QProcess stopped;
    QProcess whole;
    const QString reportFile = m_home.filePath("stopped.csv");
    startProgram(stopped, merge + QStringList{"--destination", dest, "--report", reportFile});
    startProgram(whole, merge + QStringList{"--destination", reference, "--quiet"});
    QString err;
    // The reference tables, merged row by row, take seconds: the signal falls into them.
    QTRY_VERIFY_WITH_TIMEOUT((err += QString::fromUtf8(stopped.readAllStandardError())).contains(".graphics: "),
                             120000);
    QVERIFY(signalRunning(stopped, SIGTERM));
    QVERIFY(stopped.waitForFinished(120000));
    QVERIFY(whole.waitForFinished(300000));
    QCOMPARE(stopped.exitStatus(), QProcess::NormalExit);
    QCOMPARE(stopped.exitCode(), 4);
    QCOMPARE(whole.exitCode(), 0);
    QVERIFY(count(dest, "zones") < count(reference, "zones"));
    QVERIFY(QFile::exists(reportFile));
    QVERIFY(QFile::exists(m_home.filePath("stopped_conflicts.csv")));
    QFile run(m_home.filePath("stopped_run.csv"));
    QVERIFY(run.open(QIODevice::ReadOnly));
    QVERIFY(run.readAll().contains("\nstatus;stopped\n"));

    const Run rerun = runProgram(merge + QStringList{"--destination", dest, "--quiet"});
    QVERIFY2(rerun.status == 0, qPrintable(rerun.err));
    for (const QString &table : mergedTables) {
        QCOMPARE(count(dest, table), count(reference, table));
        QCOMPARE(matchingRows(dest, reference, table, copiedColumns(table)), count(reference, table));
    }
}

// --list-runs and --undo RUN_ID on the journal a merge wrote: refused beside a merge into
// the destination; a whole undo empties the destination again; a row changed since the merge is left, listed, and gives status 5.
void tst_BatchRun::listAndUndoRuns()
{
    const QString src = freshDatabase("kvt_b_src");
    const QString dest = freshDatabase("kvt_b_dest");
    QCOMPARE(fillDemo(src, 1, 10, 2, 30), QString());
    const QStringList journal{"--journal", m_home.filePath("shared/journal.sqlite")};
    const QStringList merge = connectionArguments() + journal + QStringList{"--destination", dest, "--source", src, "--quiet"};
    QVERIFY(QDir().mkpath(m_home.filePath("shared")));

    Run run = runProgram(merge);
    QVERIFY2(run.status == 0, qPrintable(run.err));
    run = runProgram(connectionArguments() + journal + QStringList{"--list-runs"});
    QVERIFY2(run.status == 0, qPrintable(run.err));
    QStringList fields = run.out.trimmed().split('\t');
    QCOMPARE(fields.size(), 5);
    QVERIFY(QDateTime::fromString(fields.at(1), Qt::ISODate).isValid());
    QCOMPARE(fields.mid(2), (QStringList{"done", dest, src}));
    const QString first = fields.at(0);

    // Beside a merge into the destination (its lock held): refused, status 3, nothing changed.
    const int defects = count(dest, "defects");
    {
        KvtDestinationLock merging(TestDatabase::open("merging"), dest);
        QCOMPARE(merging.take(), KvtDestinationLock::Outcome::Taken);
        run = runProgram(connectionArguments() + journal + QStringList{"--undo", first});
        QCOMPARE(run.status, 3);
        QVERIFY2(run.err.contains(QStringLiteral("Another merge into %1 is running").arg(dest)), qPrintable(run.err));
        QCOMPARE(count(dest, "defects"), defects);
    }

    run = runProgram(connectionArguments() + journal + QStringList{"--undo", first});
    QVERIFY2(run.status == 0, qPrintable(run.err + run.out));
    for (const QString &table : mergedTables)
        QCOMPARE(count(dest, table), 0);

    QVERIFY2(runProgram(merge).status == 0, "second merge");
    run = runProgram(connectionArguments() + journal + QStringList{"--list-runs"});
    const QStringList lines = run.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines.at(1).startsWith(first + "\t") && lines.at(1).contains("\tundone\t"), qPrintable(run.out));
    const QString second = lines.at(0).section('\t', 0, 0);
    const QString changed = rows(QStringLiteral("SELECT MIN(ID) FROM %1.defects").arg(q(dest))).value(0);
    QCOMPARE(TestDatabase::exec(QStringLiteral("UPDATE %1.defects SET VagNo = VagNo + 1 WHERE ID = %2").arg(q(dest), changed)),
             QString());
    run = runProgram(connectionArguments() + journal + QStringList{"--undo", second});
    QVERIFY2(run.status == 5, qPrintable(run.err));
    QVERIFY2(run.out.contains(QStringLiteral("left\tdefects\t%1\tchanged since the merge\n").arg(changed)),
             qPrintable(run.out));
    QCOMPARE(count(dest, "defects"), 1);
    QCOMPARE(count(dest, "graphics"), 0);

    run = runProgram(connectionArguments() + journal + QStringList{"--undo", "999999"});
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.contains("no run 999999"), qPrintable(run.err));

    // Forgotten: runs of today stay before today, and go before tomorrow.
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    const QString tomorrow = QDate::currentDate().addDays(1).toString(Qt::ISODate);
    run = runProgram(connectionArguments() + journal + QStringList{"--forget-runs-before", today});
    QVERIFY2(run.status == 0 && run.err.startsWith("0 runs on "), qPrintable(run.err));
    run = runProgram(connectionArguments() + journal + QStringList{"--forget-runs-before", tomorrow});
    QVERIFY2(run.status == 0 && run.err.startsWith("2 runs on "), qPrintable(run.err));
    run = runProgram(connectionArguments() + journal + QStringList{"--list-runs"});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, QString());
    run = runProgram(connectionArguments() + journal + QStringList{"--forget-runs-before", "yesterday"});
    QCOMPARE(run.status, 2);
}

void tst_BatchRun::killedMergeIsUndoneWhole_data()
{
    QTest::addColumn<QString>("after");  // the end of the step after which the kill falls
    QTest::addColumn<int>("delay");      // ms after that line
    QTest::addColumn<int>("graphics");   // source graphics: enough chunks for the kill to fall in
    QTest::newRow("at the start") << QString() << 300 << 2000;
    QTest::newRow("in the reference batches") << ".defectref " << 100 << 2000;
    QTest::newRow("after a replace") << ".device " << 0 << 2000;
    QTest::newRow("in the per-row zones") << ".humans " << 150 << 2000;
    QTest::newRow("in the first chunks") << ".zones " << 100 << 2000;
    QTest::newRow("in the graphics chunks") << ".defects " << 20 << 25000;
}

// The program killed (SIGKILL) at several moments of a merge that writes every way:
// set-based chunks, reference batches, zones per row (keeping references, once a part type
// got a new key), replaced devices and records added under new keys. Once the killed
// connection has let the destination's lock go, --undo of the run brings every table
// back to its checksum before the merge.
void tst_BatchRun::killedMergeIsUndoneWhole()
{
    QFETCH(QString, after);
    QFETCH(int, delay);
    QFETCH(int, graphics);
    const QString dest = freshDatabase("kvt_b_kill");
    QCOMPARE(fillDemo(dest, 1, 400, 40, 60), QString());
    const QString src = freshDatabase("kvt_b_kill_src");
    QCOMPARE(fillDemo(src, 2, 30000, graphics, 60), QString());
    const auto checksums = [&] {
        QStringList sums;
        for (const QString &table : mergedTables)
            sums << rows(QStringLiteral("CHECKSUM TABLE %1.%2").arg(q(dest), table));
        return sums;
    };
    const QStringList before = checksums();
    const QStringList journal{"--journal", m_home.filePath(QStringLiteral("kill-%1.sqlite").arg(QTest::currentDataTag()))};

    QProcess merge;
    startProgram(merge, connectionArguments() + journal
                            + QStringList{"--destination", dest, "--source", src, "--keep-references",
                                          "--on-conflict", "new-key"});
    QVERIFY(merge.waitForStarted());
    QString err;
    QTRY_VERIFY_WITH_TIMEOUT((err += QString::fromUtf8(merge.readAllStandardError())).contains(after)
                                 || merge.state() == QProcess::NotRunning,
                             120000);
    QVERIFY2(merge.state() == QProcess::Running, qPrintable(err));
    QTest::qWait(delay);
    if (!signalRunning(merge, SIGKILL))
        QSKIP("the merge ended before the kill could fall at this moment");
    QVERIFY(merge.waitForFinished(10000));
    // A merge that had just ended when the signal was sent exits normally: not this moment.
    if (merge.exitStatus() == QProcess::NormalExit && merge.exitCode() == 0)
        QSKIP("the merge ended before the kill could fall at this moment");
    QCOMPARE(merge.exitStatus(), QProcess::CrashExit);

    // The server holds the killed connection's lock until its statement has ended.
    QSqlQuery lock(QSqlDatabase::database());
    QVERIFY(lock.prepare(KvtDestinationLock::statement(QStringLiteral("IS_FREE_LOCK(%1)"))));
    lock.bindValue(":destination", dest);
    QTRY_VERIFY_WITH_TIMEOUT(lock.exec() && lock.next() && lock.value(0).toInt() == 1, 60000);

    const QStringList killedAt = checksums();
    Run run = runProgram(connectionArguments() + journal + QStringList{"--list-runs"});
    QCOMPARE(run.status, 0);
    const QString killed = run.out.section('\t', 0, 0);
    if (!after.isEmpty()) { // killed amid the writes
        QVERIFY(!killed.isEmpty());
        QVERIFY(killedAt != before);
    }
    if (!killed.isEmpty()) {
        run = runProgram(connectionArguments() + journal + QStringList{"--undo", killed});
        QVERIFY2(run.status == 0, qPrintable(run.err + run.out));
    }
    QCOMPARE(checksums(), before);
}

QTEST_MAIN(tst_BatchRun)
#include "tst_batchRun.moc"
