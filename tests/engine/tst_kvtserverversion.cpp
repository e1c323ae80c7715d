// What the merge makes of a server's VERSION(): the servers people run, and the ones it
// refuses.

#include "KvtServerVersion.h"

#include <QtTest>

class tst_KvtServerVersion : public QObject
{
    Q_OBJECT

private slots:
    void decisionFollowsTheVersion_data();
    void decisionFollowsTheVersion();
    void textWithoutVersionIsRejected();
};

void tst_KvtServerVersion::decisionFollowsTheVersion_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("described");
    QTest::addColumn<bool>("supported");
    QTest::addColumn<bool>("windowFunctions");

    QTest::newRow("MySQL 5.0") << "5.0.96-community-nt" << "MySQL 5.0.96" << false << false;
    QTest::newRow("MySQL 5.5.2") << "5.5.2-m2" << "MySQL 5.5.2" << false << false;
    QTest::newRow("MySQL 5.5.3") << "5.5.3-m3-log" << "MySQL 5.5.3" << true << false;
    QTest::newRow("MySQL 5.7") << "5.7.44-log" << "MySQL 5.7.44" << true << false;
    QTest::newRow("MySQL 8.0") << "8.0.36-0ubuntu0.22.04.1" << "MySQL 8.0.36" << true << true;
    QTest::newRow("MySQL 8.4") << "8.4.0" << "MySQL 8.4.0" << true << true;
    QTest::newRow("Percona 8.0") << "8.0.35-27" << "MySQL 8.0.35" << true << true;
    QTest::newRow("MariaDB 5.3") << "5.3.12-MariaDB" << "MariaDB 5.3.12" << false << false;
    QTest::newRow("MariaDB 10.1") << "10.1.48-MariaDB-0+deb9u2" << "MariaDB 10.1.48" << true << false;
    QTest::newRow("MariaDB 10.2") << "10.2.0-MariaDB" << "MariaDB 10.2.0" << true << true;
    QTest::newRow("MariaDB 10.11") << "10.11.19-MariaDB-0+deb12u1" << "MariaDB 10.11.19" << true << true;
    QTest::newRow("MariaDB 11.x") << "11.4.2-MariaDB-ubu2404" << "MariaDB 11.4.2" << true << true;
    QTest::newRow("MariaDB behind the handshake prefix")
        << "5.5.5-10.1.48-MariaDB" << "MariaDB 10.1.48" << true << false;
}

void tst_KvtServerVersion::decisionFollowsTheVersion()
{
    QFETCH(QString, text);
    QFETCH(QString, described);
    QFETCH(bool, supported);
    QFETCH(bool, windowFunctions);
    KvtServerVersion version;
    QVERIFY(KvtServerVersion::parse(text, version));
    QCOMPARE(version.describe(), described);
    QCOMPARE(version.isSupported(), supported);
    QCOMPARE(version.hasWindowFunctions(), windowFunctions);
    if (!supported)
        QVERIFY2(version.tooOldMessage().contains(described)
                     && version.tooOldMessage().contains("MySQL 5.5.3 or MariaDB 5.5"),
                 qPrintable(version.tooOldMessage()));
}

void tst_KvtServerVersion::textWithoutVersionIsRejected()
{
    KvtServerVersion version;
    QVERIFY(!KvtServerVersion::parse(QString(), version));
    QVERIFY(!KvtServerVersion::parse("MariaDB", version));
    QVERIFY(!KvtServerVersion::parse("8.0", version));
}

QTEST_GUILESS_MAIN(tst_KvtServerVersion)
#include "tst_kvtserverversion.moc"
