#include "TestDatabase.h"

#include "PMySqlCharset.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QVariant>

namespace TestDatabase {

bool configured(Server *server)
{
    const QByteArray host = qgetenv("KVT_TEST_DB_HOST");
    if (host.isEmpty())
        return false;
    if (server) {
        server->host = QString::fromLocal8Bit(host);
        server->port = qEnvironmentVariableIntValue("KVT_TEST_DB_PORT");
        server->user = qEnvironmentVariable("KVT_TEST_DB_USER");
        server->password = qEnvironmentVariable("KVT_TEST_DB_PASSWORD");
    }
    return true;
}

Server server()
{
    Server s;
    configured(&s);
    return s;
}

bool requireServer()
{
    if (configured())
        return true;
    if (qEnvironmentVariableIntValue("KVT_REQUIRE_DB") == 1) {
        QTest::qFail("KVT_TEST_DB_HOST is not set but KVT_REQUIRE_DB=1", __FILE__, __LINE__);
        return false;
    }
    QTest::qSkip("no database server configured (KVT_TEST_DB_HOST)", __FILE__, __LINE__);
    return false;
}

static QSqlDatabase openConnection(const QString &connectionName, const QString &databaseName)
{
    const Server s = server();
    QSqlDatabase db = QSqlDatabase::contains(connectionName)
                          ? QSqlDatabase::database(connectionName, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), connectionName);
    db.close();
    db.setHostName(s.host);
    db.setPort(s.port);
    db.setUserName(s.user);
    db.setPassword(s.password);
    db.setDatabaseName(databaseName);
    PMySqlCharset::registerDriverCodec();
    if (db.open())
        PMySqlCharset::switchToUtf8mb4(db);
    else
        qWarning("test connection failed: %s", qPrintable(db.lastError().text()));
    return db;
}

QSqlDatabase openDefault(const QString &databaseName)
{
    return openConnection(QLatin1String(QSqlDatabase::defaultConnection), databaseName);
}

QSqlDatabase open(const QString &connectionName, const QString &databaseName)
{
    return openConnection(connectionName, databaseName);
}

void closeAll()
{
    const QStringList names = QSqlDatabase::connectionNames();
    for (const QString &name : names) {
        {
            QSqlDatabase db = QSqlDatabase::database(name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
}

static QSqlDatabase connection(const QString &connectionName)
{
    return connectionName.isEmpty() ? QSqlDatabase::database()
                                    : QSqlDatabase::database(connectionName);
}

QString exec(const QStringList &statements, const QString &connectionName)
{
    QSqlDatabase db = connection(connectionName);
    for (const QString &statement : statements) {
        QSqlQuery query(db);
        if (!query.exec(statement))
            return query.lastError().text() + QStringLiteral(" in: ") + statement.left(200);
    }
    return QString();
}

QString exec(const QString &statement, const QString &connectionName)
{
    return exec(QStringList{statement}, connectionName);
}

QStringList statementsOfFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList statements;
    QString current;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine());
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1String("--")) || trimmed.isEmpty())
            continue;
        current += line;
        if (trimmed.endsWith(QLatin1Char(';'))) {
            statements << current.trimmed();
            current.clear();
        }
    }
    if (!current.trimmed().isEmpty())
        statements << current.trimmed();
    return statements;
}

QString schemaPath()
{
    return QStringLiteral(KVT_SOURCE_DIR "/sql/kvt_schema.sql");
}

static QString quoted(const QString &name)
{
    QString q = name;
    q.replace(QLatin1Char('`'), QLatin1String("``"));
    return QLatin1Char('`') + q + QLatin1Char('`');
}

QString createKvtDatabase(const QString &name, const QString &connectionName)
{
    QStringList statements{
        QStringLiteral("DROP DATABASE IF EXISTS ") + quoted(name),
        QStringLiteral("CREATE DATABASE ") + quoted(name)
            + QStringLiteral(" CHARACTER SET utf8mb4 COLLATE utf8mb4_general_ci"),
        QStringLiteral("USE ") + quoted(name),
    };
    const QStringList schema = statementsOfFile(schemaPath());
    if (schema.isEmpty())
        return QStringLiteral("schema file missing or empty: ") + schemaPath();
    statements += schema;
    return exec(statements, connectionName);
}

void dropDatabase(const QString &name, const QString &connectionName)
{
    exec(QStringLiteral("DROP DATABASE IF EXISTS ") + quoted(name), connectionName);
}

QString uniqueName(const QString &prefix)
{
    static int counter = 0;
    return QStringLiteral("%1_%2_%3").arg(prefix).arg(QCoreApplication::applicationPid()).arg(++counter);
}

QVariant scalar(const QString &query, const QString &connectionName)
{
    QSqlQuery q(connection(connectionName));
    if (!q.exec(query) || !q.next())
        return QVariant();
    return q.value(0);
}

} // namespace TestDatabase
