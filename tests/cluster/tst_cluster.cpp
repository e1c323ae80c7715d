// The merge into a three-node Galera cluster (scripts/galera-cluster.sh): the demo
// databases merged through node 1 with the set-based copy, then every merged table holds
// the same rows on nodes 2 and 3 as on node 1. Skips without KVT_CLUSTER_NODE1_PORT
// (fails instead when KVT_REQUIRE_CLUSTER=1).

#include "ConflictResolver.h"
#include "EngineTestData.h"
#include "KvtTables.h"
#include "MergeHarness.h"
#include "MergeJournal.h"
#include "TestDatabase.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <thread>

using namespace EngineTestData;

namespace {

const QStringList mergedTables{"defects", "graphics", "defectref", "dettypes", "device",
                               "factory", "results",  "humans",    "zones"};

// Points the test connection variables at node n.
void useNode(int n)
{
    qputenv("KVT_TEST_DB_HOST", "127.0.0.1");
    qputenv("KVT_TEST_DB_PORT", qgetenv(QStringLiteral("KVT_CLUSTER_NODE%1_PORT").arg(n).toLatin1().constData()));
    qputenv("KVT_TEST_DB_USER", qgetenv("KVT_CLUSTER_USER"));
    qputenv("KVT_TEST_DB_PASSWORD", qgetenv("KVT_CLUSTER_PASSWORD"));
}

QString nodeName(int n)
{
    return QStringLiteral("node%1").arg(n);
}

// Rows and checksum of every merged table of the database on one node, once the node has
// applied everything the cluster committed before (wsrep_sync_wait).
QStringList tableSums(int n, const QString &database)
{
    QStringList sums;
    const QString connection = n == 1 ? QString() : nodeName(n);
    if (n != 1)
        TestDatabase::exec("SET SESSION wsrep_sync_wait = 1", connection);
    for (const QString &table : mergedTables) {
        const QString name = q(database) + '.' + table;
        QSqlQuery query(connection.isEmpty() ? QSqlDatabase::database() : QSqlDatabase::database(connection));
        const bool ok = query.exec("SELECT COUNT(*) FROM " + name) && query.next();
        const QString rows = ok ? query.value(0).toString() : query.lastError().text();
        const bool summed = query.exec("CHECKSUM TABLE " + name) && query.next();
        sums << table + ':' + rows + ':' + (summed ? query.value(1).toString() : query.lastError().text());
    }
    return sums;
}

} // namespace

class tst_Cluster : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void nodesHoldTheSameRowsAfterAMerge();
    void conflictWriteWhoseCommitFailsIsMarked();

private:
    QStringList m_databases;
};

void tst_Cluster::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("KVT_CLUSTER_NODE1_PORT")) {
        if (qEnvironmentVariableIntValue("KVT_REQUIRE_CLUSTER") == 1)
            QFAIL("KVT_CLUSTER_NODE1_PORT is not set but KVT_REQUIRE_CLUSTER=1");
        QSKIP("no cluster configured (scripts/galera-cluster.sh)");
    }
    for (int n : {2, 3}) {
        useNode(n);
        QVERIFY(TestDatabase::open(nodeName(n)).isOpen());
    }
    useNode(1);
    QVERIFY(TestDatabase::openDefault().isOpen());
    QCOMPARE(TestDatabase::scalar("SELECT VARIABLE_VALUE FROM information_schema.GLOBAL_STATUS "
                                  "WHERE VARIABLE_NAME = 'wsrep_cluster_size'").toString(),
             QStringLiteral("3"));
}

void tst_Cluster::cleanupTestCase()
{
    for (const QString &db : qAsConst(m_databases))
        TestDatabase::dropDatabase(db);
    TestDatabase::closeAll();
}

void tst_Cluster::nodesHoldTheSameRowsAfterAMerge()
{
    const QString dest = TestDatabase::uniqueName("cluster_dest");
    QStringList sources;
    m_databases << dest;
    QVERIFY(TestDatabase::createKvtDatabase(dest).isEmpty());
    for (int number = 1; number <= 3; ++number) {
        sources << TestDatabase::uniqueName("cluster_src");
        m_databases << sources.last();
        QVERIFY(TestDatabase::createKvtDatabase(sources.last()).isEmpty());
        QVERIFY(fillDemo(sources.last(), number, 3000, 300, 20, 2048).isEmpty());
    }
    // Each node has its own counter offset: the IDs of a node step by 3.
    QCOMPARE(TestDatabase::scalar("SELECT @@auto_increment_increment").toString(), QStringLiteral("3"));

    MergeHarness harness;
    harness.merger().setChunkSize(1000);
    QVERIFY(harness.run(dest, sources));
    QCOMPARE(harness.errorTexts, QStringList());
    QCOMPARE(harness.events.last(), QStringLiteral("done:") + sources.last());
    QVERIFY(harness.merger().copyVariantName().startsWith(QLatin1String("set-based")));
    // defects of the first source: progress once per chunk of 1,000.
    QCOMPARE(harness.progress.value(0).size(), (count(sources.first(), "defects") + 999) / 1000);
    QVERIFY(count(dest, "defects") > 3000);

    const QStringList first = tableSums(1, dest);
    QCOMPARE(tableSums(2, dest), first);
    QCOMPARE(tableSums(3, dest), first);
}

// A replace is journaled before its COMMIT; node 2 changes the same record meanwhile
// (while the journal entry waits for another writer of the file), so that node 1's
// COMMIT fails certification. The resolver reports the failure, the entry is marked so,
// and the run holds nothing an undo would restore.
void tst_Cluster::conflictWriteWhoseCommitFailsIsMarked()
{
    const QString dest = TestDatabase::uniqueName("cluster_dest");
    const QString src = TestDatabase::uniqueName("cluster_src");
    m_databases << dest << src;
    QVERIFY(TestDatabase::createKvtDatabase(dest).isEmpty() && TestDatabase::createKvtDatabase(src).isEmpty());
    QVERIFY(fillDemo(dest, 1, 10, 2, 20).isEmpty() && fillDemo(src, 2, 10, 2, 20).isEmpty());
    const QString key = TestDatabase::scalar(QStringLiteral("SELECT s.ID FROM %1.device s JOIN %2.device d ON d.ID = s.ID"
                                                            " WHERE NOT (d.Name <=> s.Name) ORDER BY 1 LIMIT 1")
                                                 .arg(q(src), q(dest)))
                            .toString();
    QVERIFY(!key.isEmpty());

    QTemporaryDir dir;
    MergeJournal journal(dir.filePath("journal.sqlite"));
    QVERIFY2(journal.open(), qPrintable(journal.lastError()));
    qlonglong run = 0;
    QVERIFY(journal.startRun("cluster", dest, {src}, false, "set_based", run));
    ConflictResolver resolver;
    resolver.setConflict(tnDevice, src, dest,
                         QStringLiteral("SELECT %1 FROM %2.device WHERE ID = %3")
                             .arg(KvtTable::of(tnDevice).columnNames().join(", "), q(src), key));
    resolver.setJournalRun({&journal, run, dest});

    std::atomic<bool> locked{false};
    QString otherWriter;
    std::thread other([&] {
        {
            QSqlDatabase file = QSqlDatabase::addDatabase("QSQLITE", "other-journal-writer");
            file.setDatabaseName(journal.file());
            QSqlDatabase node2 = QSqlDatabase::addDatabase("QMYSQL", "node2-writer");
            node2.setHostName("127.0.0.1");
            node2.setPort(qEnvironmentVariableIntValue("KVT_CLUSTER_NODE2_PORT"));
            node2.setUserName(qEnvironmentVariable("KVT_CLUSTER_USER"));
            node2.setPassword(qEnvironmentVariable("KVT_CLUSTER_PASSWORD"));
            if (!file.open() || !QSqlQuery(file).exec("BEGIN IMMEDIATE") || !node2.open())
                otherWriter = file.lastError().text() + node2.lastError().text();
            locked = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            QSqlQuery update(node2);
            if (!update.exec(QStringLiteral("UPDATE %1.device SET Name = 'node 2' WHERE ID = %2").arg(q(dest), key)))
                otherWriter = update.lastError().text();
            QSqlQuery(file).exec("COMMIT");
        }
        QSqlDatabase::removeDatabase("other-journal-writer");
        QSqlDatabase::removeDatabase("node2-writer");
    });
    while (!locked)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const KvtSqlStatus status = resolver.replaceDestinationRecord();
    other.join();
    QCOMPARE(otherWriter, QString());
    QVERIFY(!status.ok());

    QCOMPARE(TestDatabase::scalar(QStringLiteral("SELECT Name FROM %1.device WHERE ID = %2").arg(q(dest), key)).toString(),
             QStringLiteral("node 2"));
    QVector<MergeJournal::Entry> entries;
    QVERIFY(journal.entries(run, entries));
    QCOMPARE(entries.size(), 0);
    journal.releaseConnection();
    {
        QSqlDatabase file = QSqlDatabase::addDatabase("QSQLITE", "journal-reader");
        file.setDatabaseName(journal.file());
        QVERIFY(file.open());
        QSqlQuery marked(file);
        QVERIFY(marked.exec("SELECT kind, commit_failed FROM entries") && marked.next());
        QCOMPARE(marked.value(0).toInt(), int(MergeJournal::Kind::Replaced));
        QCOMPARE(marked.value(1).toInt(), 1);
    }
    QSqlDatabase::removeDatabase("journal-reader");
}

QTEST_GUILESS_MAIN(tst_Cluster)
#include "tst_cluster.moc"
