#include "PrivateServer.h"

#include "TestDatabase.h"

#include <QFile>
#include <QProcess>
#include <QStringList>

namespace PrivateServer {

static bool runScript(const QStringList &arguments, QByteArray *output = nullptr)
{
    QProcess process;
    process.start(QStringLiteral("bash"),
                  QStringList{QStringLiteral(KVT_SOURCE_DIR "/scripts/mariadb-server.sh")} + arguments);
    if (!process.waitForFinished(120000) || process.exitCode() != 0) {
        qWarning("mariadb-server.sh %s failed: %s", qPrintable(arguments.join(QLatin1Char(' '))),
                 process.readAllStandardError().constData());
        return false;
    }
    if (output)
        *output = process.readAllStandardOutput().trimmed();
    return true;
}

bool available()
{
    return QFile::exists(QStringLiteral("/usr/sbin/mariadbd")) || QFile::exists(QStringLiteral("/usr/sbin/mysqld"));
}

bool loadEnvFile(const QString &path)
{
    QFile env(path);
    if (!env.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    while (!env.atEnd()) {
        QByteArray line = env.readLine().trimmed();
        if (!line.startsWith("export "))
            continue;
        line = line.mid(7);
        const int eq = line.indexOf('=');
        qputenv(line.left(eq).constData(), line.mid(eq + 1));
    }
    return true;
}

bool start(const QString &dir)
{
    QByteArray envPath;
    return runScript({QStringLiteral("start"), dir}, &envPath)
           && loadEnvFile(QString::fromLocal8Bit(envPath)) && TestDatabase::openDefault().isOpen();
}

bool stop(const QString &dir)
{
    return runScript({QStringLiteral("stop"), dir});
}

} // namespace PrivateServer
