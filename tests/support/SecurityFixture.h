#ifndef SECURITYFIXTURE_H
#define SECURITYFIXTURE_H

#include <QFlags>
#include <QString>
#include <QStringList>

// The test server's TLS accounts and certificates, and database users with exactly the
// grants a feature needs (as the README's "Security" section lists them).
namespace SecurityFixture {

// What scripts/mariadb-server.sh exports for its TLS set-up (KVT_TEST_DB_TLS_USER ...).
struct Tls {
    QString user;      // accepted only over TLS (REQUIRE SSL)
    QString x509User;  // accepted only with a client certificate of the CA (REQUIRE X509)
    QString password;  // of both
    QString caFile;    // signed the server's certificate and the client's
    QString certFile;  // client certificate
    QString keyFile;   // its key
    QString otherCaFile; // a CA that signed nothing of the server's
};

// Like TestDatabase::requireServer() for the TLS accounts: false (after skipping or,
// with KVT_REQUIRE_DB=1, failing) when the server or its TLS set-up is not there.
bool requireTls();
Tls tls();

enum class Grant {
    Merge = 0x1,          // merge and preview: SELECT on the sources; SELECT, INSERT, UPDATE on the destination
    KeepReferences = 0x2, // also CREATE TEMPORARY TABLES on the destination
    Undo = 0x4,           // also DELETE on the destination
};
Q_DECLARE_FLAGS(Grants, Grant)

// Creates the user anew, for 127.0.0.1 and localhost, with the password and exactly the
// grants of the features on the named databases, nothing global. Runs on the connection
// named (default: Qt's default connection), which needs the right to grant. Returns the
// first error text, empty on success.
QString createLimitedUser(const QString &user, const QString &password, const QStringList &sources,
                          const QString &destination, Grants grants,
                          const QString &connectionName = QString());
void dropUser(const QString &user, const QString &connectionName = QString());

} // namespace SecurityFixture

Q_DECLARE_OPERATORS_FOR_FLAGS(SecurityFixture::Grants)

#endif // SECURITYFIXTURE_H
