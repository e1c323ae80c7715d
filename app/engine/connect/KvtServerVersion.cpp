#include "KvtServerVersion.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

bool KvtServerVersion::parse(const QString &versionText, KvtServerVersion &version)
{
    // MariaDB's handshake puts "5.5.5-" before its real version, for old clients.
    static const QRegularExpression number(
        QStringLiteral("^(?:5\\.5\\.5-(?=\\d+\\.\\d+\\.\\d+))?(\\d+)\\.(\\d+)\\.(\\d+)"));
    const QRegularExpressionMatch match = number.match(versionText.trimmed());
    if (!match.hasMatch())
        return false;
    version.m_flavour = versionText.contains(QLatin1String("mariadb"), Qt::CaseInsensitive)
                            ? Flavour::MariaDb
                            : Flavour::MySql;
    version.m_major = match.captured(1).toInt();
    version.m_minor = match.captured(2).toInt();
    version.m_patch = match.captured(3).toInt();
    return true;
}

bool KvtServerVersion::read(const QSqlDatabase &db, KvtServerVersion &version, QString &error)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT VERSION()")) || !query.next()) {
        error = query.lastError().text();
        return false;
    }
    const QString text = query.value(0).toString();
    if (parse(text, version))
        return true;
    error = QCoreApplication::translate("KvtServerVersion", "The server reports no version number: \"%1\"")
                .arg(text);
    return false;
}

QString KvtServerVersion::describe() const
{
    return QStringLiteral("%1 %2.%3.%4")
        .arg(m_flavour == Flavour::MariaDb ? QStringLiteral("MariaDB") : QStringLiteral("MySQL"))
        .arg(m_major)
        .arg(m_minor)
        .arg(m_patch);
}

bool KvtServerVersion::atLeast(int major, int minor, int patch) const
{
    if (m_major != major)
        return m_major > major;
    if (m_minor != minor)
        return m_minor > minor;
    return m_patch >= patch;
}

bool KvtServerVersion::isSupported() const
{
    return m_flavour == Flavour::MariaDb ? atLeast(5, 5, 0) : atLeast(5, 5, 3);
}

bool KvtServerVersion::hasWindowFunctions() const
{
    return m_flavour == Flavour::MariaDb ? atLeast(10, 2, 0) : atLeast(8, 0, 0);
}

bool KvtServerVersion::hasInsertReturning() const
{
    return m_flavour == Flavour::MariaDb && atLeast(10, 5, 0);
}

QString KvtServerVersion::tooOldMessage() const
{
    return QCoreApplication::translate("KvtServerVersion",
                                       "The server is %1, which is too old: the merge needs "
                                       "MySQL 5.5.3 or MariaDB 5.5 or later.")
        .arg(describe());
}
