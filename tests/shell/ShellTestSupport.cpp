#include "ShellTestSupport.h"

#include "PLog.h"
#include "TestDatabase.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVBoxLayout>
#include <QVariant>

namespace ShellTest {

int menuBarHeight(QWidget *window)
{
    QMenuBar *bar = child<QMenuBar>(window, "menubar");
    return bar ? bar->sizeHint().height() : -1;
}


QList<QLineEdit *> sourceFields(QWidget *window)
{
    QList<QLineEdit *> fields;
    auto *layout = child<QVBoxLayout>(window, "layoutTableSource");
    for (int i = 1; layout && i < layout->count(); ++i)
        fields.append(qobject_cast<QLineEdit *>(layout->itemAt(i)->widget()));
    return fields;
}

void connectPanel(QWidget *window, const QString &password, const QString &user)
{
    const TestDatabase::Server server = TestDatabase::server();
    child<QLineEdit>(window, "edHost")->setText(server.host);
    child<QLineEdit>(window, "edPort")->setText(QString::number(server.port));
    child<QLineEdit>(window, "edUser")->setText(user.isNull() ? server.user : user);
    child<QLineEdit>(window, "edPassword")->setText(password.isNull() ? server.password : password);
    child<QPushButton>(window, "btnConnect")->click();
}

QString fixtureConnection()
{
    return QStringLiteral("shellFixture");
}

bool openFixture()
{
    return TestDatabase::open(fixtureConnection()).isOpen();
}

bool openFixtureLoggingInto(const QString &home)
{
    if (!openFixture() || !QDir(home).mkpath(QStringLiteral("log")))
        return false;
    PLogger::ensureInstance()->addDestination(QDir(home).filePath(QStringLiteral("log/log_test.txt")));
    return PLogger::instance->hasDestination();
}

QString createKvt(const QString &name)
{
    return TestDatabase::createKvtDatabase(name, fixtureConnection());
}

QString execAll(const QStringList &statements)
{
    return TestDatabase::exec(statements, fixtureConnection());
}

QString q(const QString &name)
{
    return QLatin1Char('`') + name + QLatin1Char('`');
}

QString fillSmall(const QString &database, int number)
{
    const QString db = q(database);
    QStringList statements;
    for (int row = 1; row <= 2; ++row) {
        const QString vagNo = QString::number(number * 100 + row);
        statements << QStringLiteral("INSERT INTO %1.defects (MyId, `Date`, DefectoscopistID, VagNo, DetTypeId, "
                                     "DetNo, ZavNo, ProdYear, `Time`, ZoneID, Result, DefectID, DefectSize, "
                                     "Amplitude, Printed, CRC32, Device, Errors) VALUES (%2, '2012-10-0%3', 7, "
                                     "%4, 1, 5, 12, 2010, '10:1%3:00', 101, 1, 1, 2.5, 31.25, 0, 4242, 1, 0)")
                          .arg(db, QString::number(row), QString::number(row), vagNo);
    }
    statements << QStringLiteral("INSERT INTO %1.graphics (VagNo, DetNo, ZavNo, ProdYear, `Date`, "
                                 "DefectoscopistID, DetTypeId, `Time`, DataType, FieldType, GradientType, "
                                 "CountType, CRC32, Graphic, Device, Picture, DetParameter, DataId, Synced, "
                                 "Errors) VALUES (%2, 5, 12, 2010, '2012-10-01', 7, 1, '11:00:00', 1, 1, 0, 0, "
                                 "99, x'00FF10', 1, 'p.png', 3, %2, 0, 0)")
                      .arg(db, QString::number(number));
    statements << QStringLiteral("INSERT INTO %1.results (ID, Short, Name) VALUES (1, 'OK', 'Passed')").arg(db)
               << QStringLiteral("INSERT INTO %1.dettypes (ID, Short, Name) VALUES (1, 'AX', 'Axle')").arg(db)
               << QStringLiteral("INSERT INTO %1.zones (DetTypeZone, ID, DetTypeId, Name) VALUES (101, 1, 1, 'Neck')")
                      .arg(db)
               << QStringLiteral("INSERT INTO %1.device (ID, Name) VALUES (1, 'KVT-1')").arg(db)
               << QStringLiteral("INSERT INTO %1.humans (ID, Famname, FstName, SecName, FullName, TabNo) "
                                 "VALUES (7, 'Ivanov', 'Ivan', 'I.', 'Ivanov I. I.', 700)")
                      .arg(db);
    return execAll(statements);
}

int count(const QString &database, const QString &table)
{
    return TestDatabase::scalar(QStringLiteral("SELECT COUNT(*) FROM %1.%2").arg(q(database), table),
                                fixtureConnection())
        .toInt();
}

QStringList rows(const QString &query)
{
    QStringList result;
    QSqlQuery sql(QSqlDatabase::database(fixtureConnection()));
    if (!sql.exec(query)) {
        result << QStringLiteral("error");
        return result;
    }
    while (sql.next()) {
        QStringList values;
        for (int i = 0; i < sql.record().count(); ++i)
            values << sql.value(i).toString();
        result << values.join(QLatin1Char('|'));
    }
    return result;
}

void drop(const QStringList &databases)
{
    for (const QString &name : databases)
        TestDatabase::dropDatabase(name, fixtureConnection());
}

void setFields(QWidget &window, const QStringList &sources, const QString &destination)
{
    child<QSpinBox>(&window, "spinTableSource")->setValue(sources.size());
    const QList<QLineEdit *> fields = sourceFields(&window);
    for (int i = 0; i < fields.size(); ++i)
        fields.at(i)->setText(sources.at(i));
    child<QLineEdit>(&window, "edToTable")->setText(destination);
}

QString newKvt(const QString &prefix, QStringList &created)
{
    const QString name = TestDatabase::uniqueName(prefix);
    created << name;
    const QString error = createKvt(name);
    if (!error.isEmpty())
        qWarning("%s", qPrintable(error));
    return name;
}

} // namespace ShellTest
