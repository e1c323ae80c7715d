#ifndef TESTDATABASE_H
#define TESTDATABASE_H

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

// Access to the private MariaDB server the database tests run against.
namespace TestDatabase {

struct Server {
    QString host;
    int port = 0;
    QString user;
    QString password;
};

// True when the environment names a server; fills server.
bool configured(Server *server = nullptr);
// Database tests call this in initTestCase(): skips them without a server
// (fails instead when KVT_REQUIRE_DB=1). Returns false when the test must return.
bool requireServer();
Server server();

// Opens (or reopens) Qt's default connection to the server, in utf8mb4.
QSqlDatabase openDefault(const QString &databaseName = QStringLiteral("mysql"));
// Opens a named connection on the calling thread.
QSqlDatabase open(const QString &connectionName, const QString &databaseName = QStringLiteral("mysql"));
void closeAll();

// Runs each statement; returns the first error text, empty on success.
QString exec(const QStringList &statements, const QString &connectionName = QString());
QString exec(const QString &statement, const QString &connectionName = QString());

// Drops and creates a database holding the KVT tables of sql/kvt_schema.sql.
QString createKvtDatabase(const QString &name, const QString &connectionName = QString());
void dropDatabase(const QString &name, const QString &connectionName = QString());
// A database name unique to this test process: prefix + pid + counter.
QString uniqueName(const QString &prefix);

// The statements of a SQL file, split at ';' ends of lines.
QStringList statementsOfFile(const QString &path);
QString schemaPath();

// Single value of a query, or an invalid QVariant on error.
QVariant scalar(const QString &query, const QString &connectionName = QString());

} // namespace TestDatabase

#endif // TESTDATABASE_H
