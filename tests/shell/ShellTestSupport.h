#ifndef SHELLTESTSUPPORT_H
#define SHELLTESTSUPPORT_H

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

class QLineEdit;

// Helpers of the main window tests: widgets by object name, the connection panel filled
// from the test server, and KVT databases made on a connection of their own (the window
// uses Qt's default connection).
namespace ShellTest {

template <typename T>
T *child(QWidget *window, const char *name)
{
    T *found = window->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qWarning("no %s named %s", T::staticMetaObject.className(), name);
    return found;
}

// Height of the main window's menu bar, which the size rule adds to its base heights.
int menuBarHeight(QWidget *window);
// The source fields in layoutTableSource, top-down.
QList<QLineEdit *> sourceFields(QWidget *window);
// Fills host, port, user and password from the test server and clicks Connect; a
// password or user given replaces the server's.
void connectPanel(QWidget *window, const QString &password = QString(), const QString &user = QString());

// Types the source names (setting their number) and the destination's into the main
// window's fields.
void setFields(QWidget &window, const QStringList &sources, const QString &destination);

// Name of the fixture connection.
QString fixtureConnection();
// Opens the fixture connection; false when it fails.
bool openFixture();
// Opens the fixture connection and sends the log, and with it the merge reports, to a
// log/ folder in `home`; false when either fails.
bool openFixtureLoggingInto(const QString &home);
// Creates a KVT database (all tables, no rows); returns the first error, empty on success.
QString createKvt(const QString &name);
// A new KVT database under a name made unique from prefix, added to `created` (to be
// dropped); a failure is logged.
QString newKvt(const QString &prefix, QStringList &created);
// Runs statements on the fixture connection; returns the first error, empty on success.
QString execAll(const QStringList &statements);
// Two defects and one graphics record that differ with `number`, and one record in each
// of results, dettypes, zones, device and humans that is the same for every number.
QString fillSmall(const QString &database, int number);
int count(const QString &database, const QString &table);
// Rows of a query on the fixture connection, values joined by '|'.
QStringList rows(const QString &query);
QString q(const QString &name);
void drop(const QStringList &databases);

} // namespace ShellTest

#endif // SHELLTESTSUPPORT_H
