#ifndef CONNECTIONSECURITY_H
#define CONNECTIONSECURITY_H

#include <QCoreApplication>
#include <QString>

class QSettings;
class QSqlDatabase;

// How the program's connections to the server are secured: TLS on or off, the CA
// certificate the server's certificate chain is checked against, and optionally a
// client certificate with its key (for accounts that require one).
//
// What Qt's MySQL driver (MariaDB Connector/C) checks with these options: it encrypts
// the connection and refuses a server whose certificate the CA did not sign. It does
// not compare the certificate's host name with the host connected to, and offers no
// option to make it do so.
//
// The worker's connection is a clone of the default connection and keeps its options.
// The password is no part of this and is never stored.
struct ConnectionSecurity
{
    Q_DECLARE_TR_FUNCTIONS(ConnectionSecurity)

public:
    bool useTls = false;
    QString caFile;
    QString certFile;
    QString keyFile;

    // True when the choices can be used; otherwise problem (if given) says what is
    // wrong, for the operator. With TLS off the file fields are not looked at.
    bool isUsable(QString *problem = nullptr) const;

    // The driver's connect options, "SSL_CA=<path>[;SSL_CERT=<path>;SSL_KEY=<path>]"
    // with absolute paths (an empty file field is left out); empty with TLS off.
    QString connectOptions() const;
    // existing and these options joined into one option text.
    QString addedTo(const QString &existing) const;

    // Read from and written to the group "connectionSecurity" of the settings.
    static ConnectionSecurity load(const QSettings &settings);
    void save(QSettings &settings) const;

    // The cipher of an open MySQL connection, as the client library negotiated it (no
    // query: nothing the server or a relay answers counts); empty when it is not
    // encrypted.
    static QString sessionCipher(const QSqlDatabase &db);
    // False (with the reason in problem) when the connection's options ask for TLS but
    // the open connection is not encrypted. The driver does not refuse a server that
    // offers no TLS (or a man in the middle that hides it): it goes on in plain text.
    static bool isEncryptedAsAsked(const QSqlDatabase &db, QString *problem = nullptr);
    // The error number reported with that problem (the client's "TLS/SSL error").
    static constexpr int notEncryptedCode = 2026;

    bool operator==(const ConnectionSecurity &other) const;
};

#endif // CONNECTIONSECURITY_H
