#include "PMD5.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

class tst_MD5 : public QObject
{
    Q_OBJECT

private slots:
    void rfcSuite_data();
    void rfcSuite();
    void paddingBoundaries_data();
    void paddingBoundaries();
    void piecesEqualOneUpdate();
    void objectsKeepTheirOwnContext();
    void textDigestsWholeUtf8();
    void differentialAgainstQt();
    void twoThreadsAtOnce();
};

static QString qtMd5(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

// Digest through MD5Init / MD5Update / MD5Final into a buffer full of garbage, so that a
// missing terminator shows as a wrong text.
static QString stepwiseMd5(PMD5 &md5, const QByteArray &data)
{
    char out[PMD5::digestTextSize + 8];
    std::fill(std::begin(out), std::end(out), 'x');
    QByteArray copy = data;
    md5.MD5Init();
    md5.MD5Update(reinterpret_cast<unsigned char *>(copy.data()), uint(copy.size()));
    return QString::fromLatin1(md5.MD5Final(out));
}

static QString oneCallMd5(const PMD5 &md5, const QByteArray &data)
{
    char out[PMD5::digestTextSize + 8];
    std::fill(std::begin(out), std::end(out), 'x');
    return QString::fromLatin1(md5.GetMD5(data.constData(), uint(data.size()), out));
}

static QByteArray randomBytes(QRandomGenerator &random, int length)
{
    QByteArray data(length, '\0');
    for (char &c : data)
        c = char(random.bounded(256));
    return data;
}

static QString randomText(QRandomGenerator &random, int length, bool cyrillic)
{
    QString text;
    for (int i = 0; i < length; ++i) {
        const bool pickCyrillic = cyrillic && random.bounded(4) != 0;
        text += pickCyrillic ? QChar(0x0410 + random.bounded(0x40)) : QChar(0x20 + random.bounded(0x5f));
    }
    return text;
}

void tst_MD5::rfcSuite_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("digest");

    QTest::newRow("empty") << QByteArray("") << QStringLiteral("d41d8cd98f00b204e9800998ecf8427e");
    QTest::newRow("a") << QByteArray("a") << QStringLiteral("0cc175b9c0f1b6a831c399e269772661");
    QTest::newRow("abc") << QByteArray("abc") << QStringLiteral("900150983cd24fb0d6963f7d28e17f72");
    QTest::newRow("message digest") << QByteArray("message digest")
                                    << QStringLiteral("f96b697d7cb7938d525a2f31aaf161d0");
    QTest::newRow("alphabet") << QByteArray("abcdefghijklmnopqrstuvwxyz")
                              << QStringLiteral("c3fcd3d76192e4007dfb496cca67e13b");
    QTest::newRow("alphanumerics")
        << QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789")
        << QStringLiteral("d174ab98d277d9f5a5611c2c9f419d9f");
    QTest::newRow("digits x 8") << QByteArray("1234567890").repeated(8)
                                << QStringLiteral("57edf4a22be3c955ac49da2e2107b67a");
    QTest::newRow("million a") << QByteArray(1000000, 'a')
                               << QStringLiteral("7707d6ae4e027c70eea2a935c2296f21");
}

void tst_MD5::rfcSuite()
{
    QFETCH(QByteArray, message);
    QFETCH(QString, digest);

    PMD5 md5;
    QCOMPARE(oneCallMd5(md5, message), digest);
    QCOMPARE(stepwiseMd5(md5, message), digest);
    QCOMPARE(md5.MD5(QString::fromLatin1(message)), digest);
}

void tst_MD5::paddingBoundaries_data()
{
    QTest::addColumn<int>("length");
    for (int length : {55, 56, 57, 63, 64, 65, 119, 120, 127, 128, 129})
        QTest::addRow("%d bytes", length) << length;
}

void tst_MD5::paddingBoundaries()
{
    QFETCH(int, length);
    QRandomGenerator random{quint32(length)};
    const QByteArray data = randomBytes(random, length);
    PMD5 md5;
    QCOMPARE(oneCallMd5(md5, data), qtMd5(data));
    QCOMPARE(stepwiseMd5(md5, data), qtMd5(data));
}

void tst_MD5::piecesEqualOneUpdate()
{
    QRandomGenerator random(55);
    PMD5 md5;
    for (int round = 0; round < 200; ++round) {
        QByteArray data = randomBytes(random, random.bounded(0, 400));
        md5.MD5Init();
        int done = 0;
        while (done < data.size()) {
            const int piece = random.bounded(0, qMin(130, data.size() - done) + 1);
            md5.MD5Update(reinterpret_cast<unsigned char *>(data.data()) + done, uint(piece));
            done += piece;
        }
        char out[PMD5::digestTextSize];
        const QString inPieces = QString::fromLatin1(md5.MD5Final(out));
        QCOMPARE(inPieces, stepwiseMd5(md5, data));
        QCOMPARE(inPieces, qtMd5(data));
    }
}

void tst_MD5::objectsKeepTheirOwnContext()
{
    unsigned char abc[] = {'a', 'b', 'c'};
    unsigned char message[] = {'m', 'e', 's', 's', 'a', 'g', 'e'};
    PMD5 first;
    PMD5 second;
    // A new object is ready for a message without MD5Init.
    first.MD5Update(abc, sizeof(abc));
    second.MD5Init();
    second.MD5Update(message, sizeof(message));
    // One-call digests between the steps leave the object's message alone.
    char out[PMD5::digestTextSize];
    QCOMPARE(QString::fromLatin1(first.GetMD5("x", 1, out)), qtMd5("x"));
    QCOMPARE(second.MD5(QStringLiteral("y")), qtMd5("y"));

    QCOMPARE(QString::fromLatin1(first.MD5Final(out)), qtMd5("abc"));
    QCOMPARE(QString::fromLatin1(second.MD5Final(out)), qtMd5("message"));
}

void tst_MD5::textDigestsWholeUtf8()
{
    PMD5 md5;
    // Same length and the same first three letters: their UTF-8 forms differ only
    // beyond the text's length in UTF-16 units.
    const QString first = QStringLiteral("секрет");
    const QString second = QStringLiteral("секунд");
    QCOMPARE(md5.MD5(first), qtMd5(first.toUtf8()));
    QCOMPARE(md5.MD5(second), qtMd5(second.toUtf8()));
    QVERIFY(md5.MD5(first) != md5.MD5(second));
    QCOMPARE(md5.MD5(QStringLiteral("пароль")), QStringLiteral("e242f36f4f95f12966da8fa2efd59992"));
}

void tst_MD5::differentialAgainstQt()
{
    QRandomGenerator random(1321);
    PMD5 md5;
    for (int round = 0; round < 3000; ++round) {
        const QString text = randomText(random, random.bounded(0, 150), round % 2 == 1);
        QCOMPARE(md5.MD5(text), qtMd5(text.toUtf8()));
        const QByteArray data = randomBytes(random, random.bounded(0, 150));
        QCOMPARE(oneCallMd5(md5, data), qtMd5(data));
    }
}

void tst_MD5::twoThreadsAtOnce()
{
    PMD5 shared;
    std::atomic<int> mismatches{0};
    std::atomic<int> digests{0};
    const auto work = [&](quint32 seed) {
        QRandomGenerator random(seed);
        PMD5 own;
        for (int round = 0; round < 2000; ++round) {
            const QString text = randomText(random, random.bounded(0, 200), true);
            const QByteArray utf8 = text.toUtf8();
            const QString expected = qtMd5(utf8);
            if (shared.MD5(text) != expected)
                ++mismatches;
            if (stepwiseMd5(own, utf8) != expected)
                ++mismatches;
            digests += 2;
        }
    };
    std::unique_ptr<QThread> one(QThread::create(work, 1u));
    std::unique_ptr<QThread> two(QThread::create(work, 2u));
    one->start();
    two->start();
    QVERIFY(one->wait());
    QVERIFY(two->wait());
    QCOMPARE(digests.load(), 8000);
    QCOMPARE(mismatches.load(), 0);
}

QTEST_APPLESS_MAIN(tst_MD5)
#include "tst_md5.moc"
