// How the journal packs a write's rows: identifiers as runs that give back exactly the
// identifiers listed, in their order (never a range over rows of other writers), and
// fingerprints as bytes that unpack to the same texts.

#include "JournalPacking.h"

#include <QtTest>

using JournalPacking::IdRun;

Q_DECLARE_METATYPE(QVector<qlonglong>)
Q_DECLARE_METATYPE(QVector<IdRun>)

class tst_JournalPacking : public QObject
{
    Q_OBJECT

private slots:
    void identifiers_data();
    void identifiers();
    void fingerprints_data();
    void fingerprints();
    void damagedRecordsAreRefused_data();
    void damagedRecordsAreRefused();
};

void tst_JournalPacking::identifiers_data()
{
    QTest::addColumn<QVector<qlonglong>>("ids");
    QTest::addColumn<QVector<IdRun>>("runs");
    QTest::newRow("none") << QVector<qlonglong>{} << QVector<IdRun>{};
    QTest::newRow("one") << QVector<qlonglong>{42} << QVector<IdRun>{{42, 1, 0}};
    QTest::newRow("consecutive") << QVector<qlonglong>{5, 6, 7, 8} << QVector<IdRun>{{5, 4, 1}};
    QTest::newRow("Galera steps by 3") << QVector<qlonglong>{2, 5, 8, 11, 14} << QVector<IdRun>{{2, 5, 3}};
    // Another writer's rows 4 to 6 sit between ours: they are not ours.
    QTest::newRow("a gap of another writer") << QVector<qlonglong>{1, 2, 3, 7, 8, 9}
                                             << QVector<IdRun>{{1, 3, 1}, {7, 3, 1}};
    QTest::newRow("a lone row between runs") << QVector<qlonglong>{1, 2, 3, 10, 20, 21, 22}
                                             << QVector<IdRun>{{1, 3, 1}, {10, 2, 10}, {21, 2, 1}};
    QTest::newRow("descending") << QVector<qlonglong>{9, 8, 7} << QVector<IdRun>{{9, 3, -1}};
    QTest::newRow("repeated") << QVector<qlonglong>{4, 4, 4} << QVector<IdRun>{{4, 1, 0}, {4, 1, 0}, {4, 1, 0}};
    const qlonglong largest = std::numeric_limits<qlonglong>::max();
    QTest::newRow("largest and negative") << QVector<qlonglong>{largest - 1, largest, -3, 0}
                                          << QVector<IdRun>{{largest - 1, 2, 1}, {-3, 2, 3}};
    QTest::newRow("steps beyond the range") << QVector<qlonglong>{largest, -largest, 5} << QVector<IdRun>{};
}

void tst_JournalPacking::identifiers()
{
    QFETCH(QVector<qlonglong>, ids);
    QFETCH(QVector<IdRun>, runs);
    if (!runs.isEmpty() || ids.isEmpty())
        QCOMPARE(JournalPacking::runsOf(ids), runs);
    QVector<qlonglong> unpacked{-1};
    QVERIFY(JournalPacking::unpackIds(JournalPacking::packIds(ids), unpacked));
    QCOMPARE(unpacked, ids);
}

void tst_JournalPacking::fingerprints_data()
{
    QTest::addColumn<QStringList>("prints");
    QTest::addColumn<int>("packedSize"); // -1: not checked
    QTest::newRow("MD5s as bytes") << QStringList{"0123456789abcdef0123456789abcdef", "ffffffffffffffffffffffffffffffff"}
                                   << 1 + 1 + 2 * 16;
    QTest::newRow("64 bits as bytes") << QStringList{"00000000000000ff", "8000000000000000"} << 1 + 1 + 2 * 8;
    QTest::newRow("upper case stays text") << QStringList{"ABCDEF01"} << -1;
    QTest::newRow("lengths differ") << QStringList{"abcd", "abcdef"} << -1;
    QTest::newRow("odd length") << QStringList{"abc"} << -1;
    QTest::newRow("an empty one (a row not found)") << QStringList{"0123", ""} << -1;
    QTest::newRow("not hexadecimal") << QStringList{"42", "-17", "zähler"} << -1;
    QTest::newRow("none") << QStringList{} << -1;
}

void tst_JournalPacking::fingerprints()
{
    QFETCH(QStringList, prints);
    QFETCH(int, packedSize);
    const QByteArray packed = JournalPacking::packFingerprints(prints);
    if (packedSize >= 0)
        QCOMPARE(packed.size(), packedSize);
    QStringList unpacked{"left over"};
    QVERIFY(JournalPacking::unpackFingerprints(packed, unpacked));
    QCOMPARE(unpacked, prints);
}

void tst_JournalPacking::damagedRecordsAreRefused_data()
{
    QTest::addColumn<QByteArray>("ids");
    QTest::addColumn<QByteArray>("prints");
    QTest::newRow("a run cut short") << JournalPacking::packIds({1, 2, 3}).chopped(1) << QByteArray();
    QTest::newRow("a run of no rows") << QByteArray("\x02\x00\x02", 3) << QByteArray();
    QTest::newRow("a number that never ends") << QByteArray(11, char(0x80)) << QByteArray();
    QTest::newRow("bytes not a whole fingerprint")
        << QByteArray() << JournalPacking::packFingerprints({"0123456789abcdef"}).chopped(1);
    QTest::newRow("a text longer than the record") << QByteArray() << QByteArray("\x00\x09" "abc", 5);
    QTest::newRow("an unknown format") << QByteArray() << QByteArray("\x07" "abc", 4);
}

void tst_JournalPacking::damagedRecordsAreRefused()
{
    QFETCH(QByteArray, ids);
    QFETCH(QByteArray, prints);
    QVector<qlonglong> unpackedIds;
    QStringList unpackedPrints;
    QVERIFY(!JournalPacking::unpackIds(ids, unpackedIds) || !JournalPacking::unpackFingerprints(prints, unpackedPrints));
}

QTEST_APPLESS_MAIN(tst_JournalPacking)
#include "tst_journalpacking.moc"
