#include "PTranslationLanguage.h"

#include <QCoreApplication>
#include <QTest>

// Two compiled fixture translations in I18N_FIXTURE_DIR translate the QObject text
// "Hello": i18nfixture_ru.qm to "Привет", i18nfixture_de.qm to "Hallo".
namespace {

const QString fixtureDir = QStringLiteral(I18N_FIXTURE_DIR);

QString fixture(const QString &name)
{
    return fixtureDir + QLatin1Char('/') + name;
}

QString hello(QTranslator *translator)
{
    const QString text = translator->translate("QObject", "Hello");
    return text.isEmpty() ? QStringLiteral("Hello") : text;
}

} // namespace

class tst_TranslationLanguage : public QObject
{
    Q_OBJECT

private slots:
    void languageOfFileName_data();
    void languageOfFileName();
    void addAndRemoveTranslation();
    void findAndLoadTranslation();
    void loadFallsBack_data();
    void loadFallsBack();
    void namedLoads();
    void languageNamesFollowInstalledTranslator();
};

void tst_TranslationLanguage::languageOfFileName_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("language");
    QTest::newRow("program file") << "kvtMergeDB_ru" << "Russian";
    QTest::newRow("upper-case suffix") << "kvtMergeDB_RU" << "";
    QTest::newRow("first underscore wins") << "my_files_ru" << "Finnish";
    QTest::newRow("english has no entry") << "app_en" << "";
    QTest::newRow("no suffix") << "app" << "";
    QTest::newRow("underscore not followed by two letters") << "a_b_de" << "German";
    QTest::newRow("digits are no language") << "app_12_sv" << "Swedish";
    QTest::newRow("unknown first suffix ends the search") << "app_xx_ru" << "";
    QTest::newRow("country part follows") << "kvtMergeDB_ru_RU" << "Russian";
    QTest::newRow("with extension") << "kvtMergeDB_uk.qm" << "Ukrainian";
    QTest::newRow("hebrew is iw") << "app_iw" << "Hebrew";
    QTest::newRow("he is not listed") << "app_he" << "";
    QTest::newRow("indonesian is in") << "app_in" << "Indonesian";
    QTest::newRow("id is not listed") << "app_id" << "";
    QTest::newRow("norwegian is nb") << "app_nb" << "Norwegian";
    QTest::newRow("empty") << "" << "";
}

void tst_TranslationLanguage::languageOfFileName()
{
    QFETCH(QString, fileName);
    QFETCH(QString, language);
    PTranslationLanguage loader;
    QCOMPARE(loader.findAndLoadEquivalenceLang(fileName), language);
    QVERIFY(loader.getTranslator()->isEmpty());
}

void tst_TranslationLanguage::addAndRemoveTranslation()
{
    PTranslationLanguage loader;
    loader.addTranslation(QString(), QStringLiteral("/t/app.qm"));
    QVERIFY(loader.translations().isEmpty());

    loader.addTranslation(QStringLiteral("Russian"), QStringLiteral("/t/app_ru.qm"));
    loader.addTranslation(QStringLiteral("German"), QStringLiteral("/t/app_de.qm"));
    loader.addTranslation(QStringLiteral("Russian"), QStringLiteral("/u/other_ru.qm"));
    QMap<QString, QString> expected{{QStringLiteral("German"), QStringLiteral("/t/app_de.qm")},
                                    {QStringLiteral("Russian"), QStringLiteral("/u/other_ru.qm")}};
    QCOMPARE(loader.translations(), expected);

    loader.removeTranslation(QStringLiteral("French"));
    QCOMPARE(loader.translations(), expected);
    loader.removeTranslation(QStringLiteral("Russian"));
    expected.remove(QStringLiteral("Russian"));
    QCOMPARE(loader.translations(), expected);
}

void tst_TranslationLanguage::findAndLoadTranslation()
{
    PTranslationLanguage loader;
    loader.addTranslation(QStringLiteral("Russian"), fixture(QStringLiteral("i18nfixture_ru.qm")));
    loader.addTranslation(QStringLiteral("German"), fixture(QStringLiteral("i18nfixture_de.qm")));

    QCOMPARE(loader.findAndLoadTranslation(QStringLiteral("German")),
             fixture(QStringLiteral("i18nfixture_de.qm")));
    QCOMPARE(hello(loader.getTranslator()), QStringLiteral("Hallo"));

    // An unknown language leaves the loaded translation alone.
    QCOMPARE(loader.findAndLoadTranslation(QStringLiteral("French")), QString());
    QCOMPARE(loader.findAndLoadTranslation(QStringLiteral("russian")), QString());
    QCOMPARE(hello(loader.getTranslator()), QStringLiteral("Hallo"));

    QCOMPARE(loader.findAndLoadTranslation(QStringLiteral("Russian")),
             fixture(QStringLiteral("i18nfixture_ru.qm")));
    QCOMPARE(hello(loader.getTranslator()), QStringLiteral("Привет"));
}

void tst_TranslationLanguage::loadFallsBack_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("expected");
    QTest::newRow("exact") << "i18nfixture_ru.qm" << "Привет";
    QTest::newRow(".qm appended") << "i18nfixture_ru" << "Привет";
    QTest::newRow("country cut off") << "i18nfixture_ru_RU.qm" << "Привет";
    QTest::newRow("country cut off, no extension") << "i18nfixture_de_AT" << "Hallo";
    QTest::newRow("missing file empties") << "missing_fr.qm" << "Hello";
    QTest::newRow("missing folder empties") << "no/such/folder/i18nfixture_ru.qm" << "Hello";
}

void tst_TranslationLanguage::loadFallsBack()
{
    QFETCH(QString, fileName);
    QFETCH(QString, expected);
    PTranslationLanguage loader;
    // Start from a loaded translation, so that a failed load has to empty it.
    loader.setLocaleFromFile(fixture(QStringLiteral("i18nfixture_de.qm")));
    QVERIFY(!loader.getTranslator()->isEmpty());

    loader.setLocaleFromFile(fixture(fileName));
    QCOMPARE(hello(loader.getTranslator()), expected);
    QCOMPARE(loader.getTranslator()->isEmpty(), expected == QLatin1String("Hello"));
}

void tst_TranslationLanguage::namedLoads()
{
    // main() makes the system locale de_AT, so the default file is i18nfixture_de_AT.qm,
    // which falls back to i18nfixture_de.qm.
    PTranslationLanguage loader;
    loader.setAppName(QStringLiteral("i18nfixture"));
    loader.setTranslationsFolder(fixtureDir);

    loader.setRusLocale();
    QCOMPARE(hello(loader.getTranslator()), QStringLiteral("Привет"));
    loader.setEngLocale();
    QVERIFY(loader.getTranslator()->isEmpty());
    loader.setDefaultLocale();
    QCOMPARE(hello(loader.getTranslator()), QStringLiteral("Hallo"));

    loader.setAppName(QStringLiteral("otherApp"));
    loader.setRusLocale();
    QVERIFY(loader.getTranslator()->isEmpty());
}

void tst_TranslationLanguage::languageNamesFollowInstalledTranslator()
{
    PTranslationLanguage russian;
    russian.setLocaleFromFile(fixture(QStringLiteral("i18nfixture_ru.qm")));
    QVERIFY(QCoreApplication::installTranslator(russian.getTranslator()));

    const PTranslationLanguage builtWithRussian;
    QVERIFY(QCoreApplication::removeTranslator(russian.getTranslator()));
    const PTranslationLanguage builtWithout;

    QCOMPARE(builtWithRussian.findAndLoadEquivalenceLang(QStringLiteral("app_ru")),
             QStringLiteral("Русский"));
    QCOMPARE(builtWithout.findAndLoadEquivalenceLang(QStringLiteral("app_ru")),
             QStringLiteral("Russian"));
}

int main(int argc, char *argv[])
{
    // A fixed system locale for setDefaultLocale(); read when the application starts.
    qputenv("LC_ALL", "de_AT.UTF-8");
    QCoreApplication app(argc, argv);
    tst_TranslationLanguage test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_translationLanguage.moc"
