#include "PTransliteration.h"

#include <QTest>

class tst_Transliteration : public QObject
{
    Q_OBJECT

private slots:
    void createLatin_data();
    void createLatin();
    void createCyrillic_data();
    void createCyrillic();
    void lengthLimit_data();
    void lengthLimit();
    void everyCyrillicLetterRoundTrips();

private:
    PTransliteration m_tr;
};

void tst_Transliteration::createLatin_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("four-letter value upper-cased") << QStringLiteral("Щука") << QStringLiteral("SHCHuka");
    QTest::newRow("two-letter value upper-cased") << QStringLiteral("Жуков") << QStringLiteral("ZHukov");
    QTest::newRow("yo") << QStringLiteral("Ёж") << QStringLiteral("YOzh");
    QTest::newRow("kha same as ka, ye") << QStringLiteral("хлеб") << QStringLiteral("klyeb");
    QTest::newRow("hard sign") << QStringLiteral("объём") << QStringLiteral("ob#yom");
    QTest::newRow("capital hard sign") << QStringLiteral("ОБЪЁМ") << QStringLiteral("OB#YOM");
    QTest::newRow("soft sign and e") << QStringLiteral("Эль") << QStringLiteral("El'");
    QTest::newRow("digits and punctuation") << QStringLiteral("1-й") << QStringLiteral("1-j");
    QTest::newRow("all capitals") << QStringLiteral("МОСКВА") << QStringLiteral("MOSKVA");
    QTest::newRow("latin unchanged") << QStringLiteral("Hello, World! 42") << QStringLiteral("Hello, World! 42");
    QTest::newRow("other scripts unchanged") << QStringLiteral("Ωmega їжак") << QStringLiteral("Ωmega їzhak");
    QTest::newRow("surrogate pair unchanged") << QStringLiteral("я😀я") << QStringLiteral("ya😀ya");
}

void tst_Transliteration::createLatin()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(m_tr.createLatin(text), expected);
}

void tst_Transliteration::createCyrillic_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("two-letter group") << QStringLiteral("Zhukov") << QStringLiteral("Жуков");
    QTest::newRow("four-letter group") << QStringLiteral("shchuka") << QStringLiteral("щука");
    QTest::newRow("four-letter group capital") << QStringLiteral("Shchuka") << QStringLiteral("Щука");
    QTest::newRow("all capitals") << QStringLiteral("SHCHUKA") << QStringLiteral("ЩУКА");
    QTest::newRow("mixed case group") << QStringLiteral("sHch") << QStringLiteral("Щ");
    QTest::newRow("yo") << QStringLiteral("yolka") << QStringLiteral("ёлка");
    QTest::newRow("single letters") << QStringLiteral("Moskva") << QStringLiteral("Москва");
    QTest::newRow("group not all lower case") << QStringLiteral("Ay") << QStringLiteral("АЙ");
    QTest::newRow("greedy from the left") << QStringLiteral("maya") << QStringLiteral("майа");
    QTest::newRow("ey") << QStringLiteral("Sergey") << QStringLiteral("Сэргэй");
    QTest::newRow("ej") << QStringLiteral("Sergej") << QStringLiteral("Сэргэй");
    QTest::newRow("h is kha") << QStringLiteral("khleb") << QStringLiteral("кхлэб");
    QTest::newRow("no three-letter group") << QStringLiteral("shc") << QStringLiteral("шц");
    QTest::newRow("four letters at the very end") << QStringLiteral("borshch") << QStringLiteral("борщ");
    QTest::newRow("signs") << QStringLiteral("ob#yom, sol'") << QStringLiteral("объём, соль");
    QTest::newRow("x q w digits unchanged") << QStringLiteral("xqw 1-2 XQW") << QStringLiteral("xqw 1-2 XQW");
    QTest::newRow("cyrillic unchanged") << QStringLiteral("да") << QStringLiteral("да");
}

void tst_Transliteration::createCyrillic()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(m_tr.createCyrillic(text), expected);
}

void tst_Transliteration::lengthLimit_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<bool>("toLatin");
    QTest::addColumn<QString>("convertedUnit");

    QTest::newRow("latin") << QStringLiteral("ж") << true << QStringLiteral("zh");
    QTest::newRow("cyrillic") << QStringLiteral("z") << false << QStringLiteral("з");
}

void tst_Transliteration::lengthLimit()
{
    QFETCH(QString, unit);
    QFETCH(bool, toLatin);
    QFETCH(QString, convertedUnit);

    const auto convert = [&](const QString &text) {
        return toLatin ? m_tr.createLatin(text) : m_tr.createCyrillic(text);
    };
    const int limit = PTransliteration::maxTextLength;
    QCOMPARE(limit, 2048);
    QCOMPARE(convert(unit.repeated(limit)), convertedUnit.repeated(limit));
    QVERIFY(convert(unit.repeated(limit + 1)).isEmpty());
}

void tst_Transliteration::everyCyrillicLetterRoundTrips()
{
    // Every letter comes back from its Latin form when written alone, in both cases, but
    // х (which shares "k" with к) and the signs ъ and ь (whose Latin forms have no case).
    const QString letters = QStringLiteral("абвгдеёжзийклмнопрстуфцчшщыэюя");
    for (const QChar letter : letters) {
        for (const QString &piece : {QString(letter), QString(letter).toUpper()}) {
            const QString latin = m_tr.createLatin(piece);
            QVERIFY2(latin != piece, qPrintable(piece));
            QCOMPARE(m_tr.createCyrillic(latin), piece);
        }
    }
    QCOMPARE(m_tr.createLatin(QStringLiteral("х")), QStringLiteral("k"));
}

QTEST_APPLESS_MAIN(tst_Transliteration)
#include "tst_transliteration.moc"
