#ifndef ENGINETESTCASE_H
#define ENGINETESTCASE_H

#include <QObject>
#include <QString>
#include <QStringList>

// The frame of an engine test case against the test server: without a server its tests
// are skipped (failed with KVT_REQUIRE_DB=1); Qt's default connection is opened once; the
// databases a test function creates are dropped after it.
class EngineTestCase : public QObject
{
    Q_OBJECT

protected:
    // Creates these databases with the KVT tables; a failure fails the test function.
    void create(const QStringList &databases);
    // A new database with the KVT tables under a name made unique from prefix; empty on
    // failure.
    QString createDatabase(const QString &prefix);
    // Runs the statements; the first error fails the test function.
    void exec(const QStringList &statements);
    // A test case that replaces init() skips its tests without a server itself.
    bool hasServer() const { return m_server; }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

private:
    bool m_server = false;
    QStringList m_databases;
};

#endif // ENGINETESTCASE_H
