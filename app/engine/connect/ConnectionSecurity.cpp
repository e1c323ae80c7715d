#include "ConnectionSecurity.h"

#include <QFileInfo>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QStringList>
#include <QVariant>

#include <mysql.h>

#include <algorithm>
#include <utility>

namespace {

const QString group = QStringLiteral("connectionSecurity");
const QString useTlsKey = QStringLiteral("useTls");
const QString caFileKey = QStringLiteral("caFile");
const QString certFileKey = QStringLiteral("certFile");
const QString keyFileKey = QStringLiteral("keyFile");

// The driver splits its options at ';' and collapses blanks in each value (QString's
// simplified()), so a path with a semicolon or with blanks it would change cannot be
// handed to it.
bool driverKeepsPath(const QString &path)
{
    return !path.contains(QLatin1Char(';')) && path.simplified() == path;
}

QString absolute(const QString &path)
{
    return QFileInfo(path).absoluteFilePath();
}

bool checkFile(const QString &path, const char *unreadable, QString *problem)
{
    const QFileInfo file(path);
    if (!driverKeepsPath(absolute(path))) {
        *problem = ConnectionSecurity::tr("The database driver cannot take the path \"%1\": it holds a semicolon, "
                      "a line break or blanks at its ends or side by side.").arg(path);
        return false;
    }
    if (!file.isFile() || !file.isReadable()) {
        *problem = ConnectionSecurity::tr(unreadable).arg(path);
        return false;
    }
    return true;
}

} // namespace

bool ConnectionSecurity::isUsable(QString *problem) const
{
    QString ignored;
    if (!problem)
        problem = &ignored;
    problem->clear();
    if (!useTls)
        return true;
    if (caFile.isEmpty()) {
        *problem = tr("Choose the CA certificate file: the server's certificate is checked against it.");
        return false;
    }
    if (certFile.isEmpty() != keyFile.isEmpty()) {
        *problem = tr("A client certificate needs its key, and a key its certificate: choose both or neither.");
        return false;
    }
    const char *const unreadableCa =
        QT_TRANSLATE_NOOP("ConnectionSecurity", "Cannot read the CA certificate file \"%1\".");
    const char *const unreadableCert =
        QT_TRANSLATE_NOOP("ConnectionSecurity", "Cannot read the client certificate file \"%1\".");
    const char *const unreadableKey =
        QT_TRANSLATE_NOOP("ConnectionSecurity", "Cannot read the client key file \"%1\".");
    return checkFile(caFile, unreadableCa, problem)
        && (certFile.isEmpty()
            || (checkFile(certFile, unreadableCert, problem) && checkFile(keyFile, unreadableKey, problem)));
}

QString ConnectionSecurity::connectOptions() const
{
    if (!useTls)
        return QString();
    QStringList options;
    const std::pair<const char *, const QString *> files[] = {
        {"SSL_CA=", &caFile}, {"SSL_CERT=", &certFile}, {"SSL_KEY=", &keyFile}};
    for (const auto &file : files) {
        if (!file.second->isEmpty())
            options << QLatin1String(file.first) + absolute(*file.second);
    }
    return options.join(QLatin1Char(';'));
}

QString ConnectionSecurity::addedTo(const QString &existing) const
{
    const QString own = connectOptions();
    if (own.isEmpty() || existing.isEmpty())
        return existing + own;
    return existing + QLatin1Char(';') + own;
}

ConnectionSecurity ConnectionSecurity::load(const QSettings &settings)
{
    ConnectionSecurity security;
    security.useTls = settings.value(group + QLatin1Char('/') + useTlsKey, false).toBool();
    security.caFile = settings.value(group + QLatin1Char('/') + caFileKey).toString();
    security.certFile = settings.value(group + QLatin1Char('/') + certFileKey).toString();
    security.keyFile = settings.value(group + QLatin1Char('/') + keyFileKey).toString();
    return security;
}

void ConnectionSecurity::save(QSettings &settings) const
{
    settings.beginGroup(group);
    settings.setValue(useTlsKey, useTls);
    settings.setValue(caFileKey, caFile);
    settings.setValue(certFileKey, certFile);
    settings.setValue(keyFileKey, keyFile);
    settings.endGroup();
}

// Asked of the client library, not of the server: a relay that strips TLS can answer any
// query, but not change what the library itself negotiated. Qt's driver hands out the
// library's connection as a MYSQL* (st_mysql* under Qt 6).
QString ConnectionSecurity::sessionCipher(const QSqlDatabase &db)
{
    const QVariant handle = db.isOpen() && db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid()
        || (qstrcmp(handle.typeName(), "MYSQL*") != 0 && qstrcmp(handle.typeName(), "st_mysql*") != 0))
        return QString();
    MYSQL *connection = *static_cast<MYSQL *const *>(handle.constData());
    const char *cipher = connection ? mysql_get_ssl_cipher(connection) : nullptr;
    return cipher ? QString::fromLatin1(cipher) : QString();
}

bool ConnectionSecurity::isEncryptedAsAsked(const QSqlDatabase &db, QString *problem)
{
    const QStringList options = db.connectOptions().split(QLatin1Char(';'));
    const bool asked = std::any_of(options.cbegin(), options.cend(), [](const QString &option) {
        return option.trimmed().startsWith(QLatin1String("SSL_"));
    });
    if (!asked || !sessionCipher(db).isEmpty())
        return true;
    if (problem)
        *problem = tr("The server did not encrypt the connection although TLS is on, so the "
                      "connection was closed. The server may not offer TLS, or something "
                      "between the program and the server hides it.");
    return false;
}

bool ConnectionSecurity::operator==(const ConnectionSecurity &other) const
{
    return useTls == other.useTls && caFile == other.caFile && certFile == other.certFile
        && keyFile == other.keyFile;
}
