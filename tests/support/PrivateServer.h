#ifndef PRIVATESERVER_H
#define PRIVATESERVER_H

#include <QString>

// A test's own MariaDB server (scripts/mariadb-server.sh), for tests that stop the server
// or change its global settings, which they must not do to the shared one.
namespace PrivateServer {

// True when a server binary is installed to start one.
bool available();
// Starts (or restarts) the server in dir and points the KVT_TEST_DB_* variables and Qt's
// default connection at it.
bool start(const QString &dir);
bool stop(const QString &dir);
// Exports the variables of an env file written by the scripts ("export NAME=value" lines).
bool loadEnvFile(const QString &path);

} // namespace PrivateServer

#endif // PRIVATESERVER_H
