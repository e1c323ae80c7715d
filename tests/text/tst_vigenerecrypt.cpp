#include "PVigenereCrypt.h"

#include <QRandomGenerator>
#include <QTest>

#include <cctype>
#include <string>

class tst_VigenereCrypt : public QObject
{
    Q_OBJECT

private slots:
    void cipher_data();
    void cipher();
    void resultsDependOnlyOnTextAndKey();
    void randomRoundTrips();
};

static std::string str(const QByteArray &bytes)
{
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

static QByteArray bytes(const std::string &s)
{
    return QByteArray(s.data(), int(s.size()));
}

void tst_VigenereCrypt::cipher_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("cipherText");

    QTest::newRow("empty text, empty key") << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("empty text") << QByteArray() << QByteArray("key") << QByteArray();
    QTest::newRow("empty key keeps text") << QByteArray("Abc z!") << QByteArray() << QByteArray("Abc z!");
    QTest::newRow("key a keeps letters") << QByteArray("Hello, World!") << QByteArray("a")
                                         << QByteArray("Hello, World!");
    QTest::newRow("key b shifts by one and wraps") << QByteArray("az AZ") << QByteArray("b")
                                                   << QByteArray("ba BA");
    QTest::newRow("classic example") << QByteArray("ATTACKATDAWN") << QByteArray("lemon")
                                     << QByteArray("LXFOPVEFRNHR");
    QTest::newRow("case kept") << QByteArray("AbCxYz") << QByteArray("c") << QByteArray("CdEzAb");
    QTest::newRow("space uses its key position") << QByteArray("a a") << QByteArray("abc")
                                                 << QByteArray("a c");
    QTest::newRow("high bytes and controls unchanged")
        << QByteArray("\xC0z\xFF\x01\x7F" "a", 6) << QByteArray("bbbbbb")
        << QByteArray("\xC0" "a\xFF\x01\x7F" "b", 6);
    QTest::newRow("zero byte unchanged") << QByteArray("a\0a", 3) << QByteArray("bcd")
                                         << QByteArray("b\0d", 3);
    QTest::newRow("short key repeats") << QByteArray("aaaaa") << QByteArray("bc") << QByteArray("bcbcb");
    QTest::newRow("long key cut") << QByteArray("abc") << QByteArray("bcdefgh") << QByteArray("bdf");
    QTest::newRow("upper-case key letters") << QByteArray("abc") << QByteArray("BCD") << QByteArray("bdf");
    QTest::newRow("other key characters shift by 0") << QByteArray("abcd") << QByteArray("1b!\xE0")
                                                     << QByteArray("accd");
    QTest::newRow("brackets next to letter codes") << QByteArray("[`{@") << QByteArray("zzzz")
                                                   << QByteArray("[`{@");
}

void tst_VigenereCrypt::cipher()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, cipherText);

    PVigenereCrypt crypt;
    QCOMPARE(bytes(crypt.encryptString(str(text), str(key))), cipherText);
    QCOMPARE(bytes(crypt.decryptionStr(str(cipherText), str(key))), text);
}

void tst_VigenereCrypt::resultsDependOnlyOnTextAndKey()
{
    const std::string text = "Mixed Text, 123";
    const std::string oddKey = "Q1?x";
    PVigenereCrypt fresh;
    const std::string expected = fresh.encryptString(text, oddKey);

    PVigenereCrypt used;
    used.encryptString("zzzz", "yyyy");
    used.decryptionStr("abc", "mno");
    QCOMPARE(used.encryptString(text, oddKey), expected);
    used.encryptString("zzzz", "kkkk");
    QCOMPARE(used.decryptionStr(expected, oddKey), text);

    used.initVigenereTable();
    QCOMPARE(used.encryptString(text, oddKey), expected);
}

void tst_VigenereCrypt::randomRoundTrips()
{
    QRandomGenerator random(20261207);
    PVigenereCrypt crypt;
    for (int round = 0; round < 500; ++round) {
        std::string text(random.bounded(0, 200), '\0');
        for (char &c : text)
            c = char(random.bounded(256));
        std::string key(random.bounded(1, 30), 'a');
        for (char &c : key)
            c = char('a' + random.bounded(26));

        const std::string cipherText = crypt.encryptString(text, key);
        QCOMPARE(cipherText.size(), text.size());
        for (std::size_t j = 0; j < text.size(); ++j) {
            const uchar in = uchar(text[j]);
            const uchar out = uchar(cipherText[j]);
            QCOMPARE(bool(std::islower(in)), bool(std::islower(out)));
            QCOMPARE(bool(std::isupper(in)), bool(std::isupper(out)));
            if (!std::isalpha(in))
                QCOMPARE(out, in);
        }
        QCOMPARE(bytes(crypt.decryptionStr(cipherText, key)), bytes(text));
    }
}

QTEST_APPLESS_MAIN(tst_VigenereCrypt)
#include "tst_vigenerecrypt.moc"
