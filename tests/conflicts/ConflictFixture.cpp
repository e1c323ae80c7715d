#include "ConflictFixture.h"

#include "TestDatabase.h"
#include "dbAccess.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

int ConflictFixture::connect()
{
    const TestDatabase::Server s = TestDatabase::server();
    return DBAccess::instance()->connectToDB(QStringLiteral("QMYSQL"), QStringLiteral("mysql"), s.host,
                                             s.user, s.password, QString::number(s.port));
}

bool ConflictFixture::create()
{
    if (connect() != 0)
        return false;
    src = TestDatabase::uniqueName(QStringLiteral("cfsrc"));
    dest = TestDatabase::uniqueName(QStringLiteral("cfdest"));
    return TestDatabase::createKvtDatabase(src).isEmpty() && TestDatabase::createKvtDatabase(dest).isEmpty();
}

void ConflictFixture::drop()
{
    // Nothing was created without a server; connecting would only show an error box.
    if (src.isEmpty() || !TestDatabase::configured())
        return;
    connect();
    TestDatabase::dropDatabase(src);
    TestDatabase::dropDatabase(dest);
}

QString ConflictFixture::reset()
{
    static const QStringList tables{"defectref", "dettypes", "results", "device", "factory", "humans", "zones"};
    QStringList statements;
    for (const QString &db : {src, dest}) {
        for (const QString &table : tables)
            statements << "DELETE FROM " + db + "." + table;
    }
    statements
        << "INSERT INTO " + src + ".defectref VALUES (7, 'A', 'B')"
        << "INSERT INTO " + src + ".dettypes VALUES (3, 'T3', 'Type three'), (4, 'T4', 'Type four')"
        << "INSERT INTO " + src + ".results VALUES (5, 'R', 'Result src')"
        << "INSERT INTO " + src + ".device VALUES (2, 'Device src')"
        << "INSERT INTO " + src + ".factory VALUES (1, 50, 'F', 'Factory src')"
        << "INSERT INTO " + src + ".humans VALUES (1, 'Ivanov', 'Ivan', 'Ivanovich', 'Ivanov I.I.', 100)"
        << "INSERT INTO " + src + ".zones VALUES (301, 1, 3, 'Front'), (305, 5, 3, 'Left wheel'),"
                                  " (307, 7, 3, 'Rear')"
        << "INSERT INTO " + dest + ".defectref VALUES (7, 'X', 'Y'), (8, 'K', 'L')"
        << "INSERT INTO " + dest + ".dettypes VALUES (3, 'T3', 'Type three')"
        << "INSERT INTO " + dest + ".results VALUES (5, 'Q', 'Result dest'), (12, 'M', 'Largest')"
        << "INSERT INTO " + dest + ".device VALUES (2, 'Device dest'), (3, 'Other device')"
        << "INSERT INTO " + dest + ".factory VALUES (1, 50, 'G', 'Factory dest'), (2, 61, 'H', 'Other factory')"
        << "INSERT INTO " + dest + ".humans VALUES (35, 'Petrov', 'Petr', 'Petrovich', 'Petrov P.P.', 100),"
                                   " (3, 'Sidorov', 'Sidor', 'Sidorovich', 'Sidorov S.S.', 110)"
        << "INSERT INTO " + dest + ".zones VALUES (305, 5, 3, 'Axle'), (306, 6, 3, 'Middle')";
    return TestDatabase::exec(statements);
}

QString ConflictFixture::select(const QString &database, kvtTableName table, const QString &key)
{
    switch (table) {
    case tnDefectRef: return "SELECT ID, Short, Name FROM " + database + ".defectref WHERE ID=" + key;
    case tnDetTypes: return "SELECT ID, Short, Name FROM " + database + ".dettypes WHERE ID=" + key;
    case tnResults: return "SELECT ID, Short, Name FROM " + database + ".results WHERE ID=" + key;
    case tnDevice: return "SELECT ID, Name FROM " + database + ".device WHERE ID=" + key;
    case tnFactory: return "SELECT ID, Cod, Short, Name FROM " + database + ".factory WHERE Cod=" + key;
    case tnHumans:
        return "SELECT ID, Famname, FstName, SecName, FullName, TabNo FROM " + database
               + ".humans WHERE TabNo=" + key;
    case tnZones:
        return "SELECT DetTypeZone, ID, DetTypeId, Name FROM " + database + ".zones WHERE DetTypeZone=" + key;
    case tnDefects:
    case tnGraphics: break;
    }
    return QString();
}

QStringList ConflictFixture::rows(const QString &database, const QString &table)
{
    QStringList result;
    QSqlQuery query;
    if (!query.exec("SELECT * FROM " + database + "." + table + " ORDER BY 1"))
        return {QStringLiteral("<error>")};
    while (query.next()) {
        QStringList columns;
        for (int i = 0; i < query.record().count(); ++i)
            columns << (query.isNull(i) ? QStringLiteral("<null>") : query.value(i).toString());
        result << columns.join('|');
    }
    return result;
}
