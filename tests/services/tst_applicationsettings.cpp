#include "IsolatedHome.h"

#include "PApplicationSettings.h"
#include "PArchiveMode.h"
#include "PFirstRunApplication.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTest>

class tst_ApplicationSettings : public QObject
{
    Q_OBJECT
public:
    explicit tst_ApplicationSettings(const QString &configHome)
        : m_configHome(configHome)
    {
    }

private slots:
    void storeIsTheUsersNativeConfigFile();
    void withoutInitNothingIsStoredOrRead();
    void valueComesBackAsText_data();
    void valueComesBackAsText();
    void boolConversion_data();
    void boolConversion();
    void absentKeyOrGroupIsEmpty();
    void groupsKeepTheirOwnValues();
    void initReplacesTheStoreAndWritesTheOldOne();
    void modeFlags();

private:
    QString confFile(const QString &organization, const QString &application) const;
    QStringList filesUnderConfig() const;
    static QString uniqueName(const char *base);

    QString m_configHome;
};

QString tst_ApplicationSettings::confFile(const QString &organization, const QString &application) const
{
    return m_configHome + QLatin1Char('/') + organization + QLatin1Char('/') + application
        + QStringLiteral(".conf");
}

QStringList tst_ApplicationSettings::filesUnderConfig() const
{
    QStringList files;
    QDirIterator it(m_configHome, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

QString tst_ApplicationSettings::uniqueName(const char *base)
{
    static int n = 0;
    return QString::fromLatin1(base) + QString::number(++n);
}

void tst_ApplicationSettings::storeIsTheUsersNativeConfigFile()
{
    const QString app = uniqueName("store");
    {
        PApplicationSettings settings;
        settings.initSettingsGroup(QStringLiteral("PelmoraTest"), app);
        settings.setSettingProperty(QStringLiteral("window"), QStringLiteral("title"),
                                    QStringLiteral("Main"));
    }
    QVERIFY(QFile::exists(confFile(QStringLiteral("PelmoraTest"), app)));

    PApplicationSettings reopened;
    reopened.initSettingsGroup(QStringLiteral("PelmoraTest"), app);
    QCOMPARE(reopened.getSettingProperty(QStringLiteral("window"), QStringLiteral("title")),
             QStringLiteral("Main"));
}

void tst_ApplicationSettings::withoutInitNothingIsStoredOrRead()
{
    const QStringList before = filesUnderConfig();
    PApplicationSettings settings;
    settings.setSettingProperty(QStringLiteral("g"), QStringLiteral("k"), 5);
    QCOMPARE(settings.getSettingProperty(QStringLiteral("g"), QStringLiteral("k")), QString());
    QCOMPARE(settings.getSettingPropertyBool(QStringLiteral("g"), QStringLiteral("k")), false);
    QCOMPARE(filesUnderConfig(), before);
}

void tst_ApplicationSettings::valueComesBackAsText_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("int") << QVariant(42) << "42";
    QTest::newRow("negative int") << QVariant(-7) << "-7";
    QTest::newRow("64-bit int") << QVariant(qint64(9000000000LL)) << "9000000000";
    QTest::newRow("double") << QVariant(2.5) << "2.5";
    QTest::newRow("bool") << QVariant(true) << "true";
    QTest::newRow("string with separators") << QVariant(QStringLiteral("a=b; c, d # e"))
                                            << "a=b; c, d # e";
    QTest::newRow("cyrillic") << QVariant(QStringLiteral("Значение")) << "Значение";
}

// The value must come back the same from the live store and from the file after reopening.
void tst_ApplicationSettings::valueComesBackAsText()
{
    QFETCH(QVariant, value);
    QFETCH(QString, text);
    const QString app = uniqueName("text");
    {
        PApplicationSettings settings;
        settings.initSettingsGroup(QStringLiteral("PelmoraTest"), app);
        settings.setSettingProperty(QStringLiteral("numbers"), QStringLiteral("value"), value);
        QCOMPARE(settings.getSettingProperty(QStringLiteral("numbers"), QStringLiteral("value")), text);
    }
    PApplicationSettings reopened;
    reopened.initSettingsGroup(QStringLiteral("PelmoraTest"), app);
    QCOMPARE(reopened.getSettingProperty(QStringLiteral("numbers"), QStringLiteral("value")), text);
}

void tst_ApplicationSettings::boolConversion_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<bool>("expected");
    QTest::newRow("\"true\"") << QVariant(QStringLiteral("true")) << true;
    QTest::newRow("\"TRUE\"") << QVariant(QStringLiteral("TRUE")) << true;
    QTest::newRow("\"1\"") << QVariant(QStringLiteral("1")) << true;
    QTest::newRow("\"yes\"") << QVariant(QStringLiteral("yes")) << true;
    QTest::newRow("\"no\"") << QVariant(QStringLiteral("no")) << true;
    QTest::newRow("\"false\"") << QVariant(QStringLiteral("false")) << false;
    QTest::newRow("\"False\"") << QVariant(QStringLiteral("False")) << false;
    QTest::newRow("\"0\"") << QVariant(QStringLiteral("0")) << false;
    QTest::newRow("empty string") << QVariant(QString()) << false;
    QTest::newRow("bool true") << QVariant(true) << true;
    QTest::newRow("bool false") << QVariant(false) << false;
    QTest::newRow("int 0") << QVariant(0) << false;
    QTest::newRow("int 2") << QVariant(2) << true;
}

void tst_ApplicationSettings::boolConversion()
{
    QFETCH(QVariant, stored);
    QFETCH(bool, expected);
    const QString app = uniqueName("bool");
    {
        PApplicationSettings settings;
        settings.initSettingsGroup(QStringLiteral("PelmoraTest"), app);
        settings.setSettingProperty(QStringLiteral("flags"), QStringLiteral("flag"), stored);
        QCOMPARE(settings.getSettingPropertyBool(QStringLiteral("flags"), QStringLiteral("flag")), expected);
    }
    PApplicationSettings reopened;
    reopened.initSettingsGroup(QStringLiteral("PelmoraTest"), app);
    QCOMPARE(reopened.getSettingPropertyBool(QStringLiteral("flags"), QStringLiteral("flag")), expected);
}

void tst_ApplicationSettings::absentKeyOrGroupIsEmpty()
{
    PApplicationSettings settings;
    settings.initSettingsGroup(QStringLiteral("PelmoraTest"), uniqueName("absent"));
    settings.setSettingProperty(QStringLiteral("present"), QStringLiteral("key"), true);

    QCOMPARE(settings.getSettingProperty(QStringLiteral("present"), QStringLiteral("other")), QString());
    QCOMPARE(settings.getSettingProperty(QStringLiteral("missing"), QStringLiteral("key")), QString());
    QCOMPARE(settings.getSettingPropertyBool(QStringLiteral("present"), QStringLiteral("other")), false);
    QCOMPARE(settings.getSettingPropertyBool(QStringLiteral("missing"), QStringLiteral("key")), false);
    QCOMPARE(settings.getSettingPropertyBool(QStringLiteral("present"), QStringLiteral("key")), true);
}

void tst_ApplicationSettings::groupsKeepTheirOwnValues()
{
    PApplicationSettings settings;
    settings.initSettingsGroup(QStringLiteral("PelmoraTest"), uniqueName("groups"));
    settings.setSettingProperty(QStringLiteral("first"), QStringLiteral("key"), 1);
    settings.setSettingProperty(QStringLiteral("second"), QStringLiteral("key"), 2);
    settings.setSettingProperty(QString(), QStringLiteral("key"), 3);

    QCOMPARE(settings.getSettingProperty(QStringLiteral("first"), QStringLiteral("key")), QStringLiteral("1"));
    QCOMPARE(settings.getSettingProperty(QStringLiteral("second"), QStringLiteral("key")), QStringLiteral("2"));
    // A later write must not leave the store inside the group it wrote to.
    QCOMPARE(settings.getSettingProperty(QStringLiteral("first"), QStringLiteral("key")), QStringLiteral("1"));
}

void tst_ApplicationSettings::initReplacesTheStoreAndWritesTheOldOne()
{
    const QString first = uniqueName("first");
    const QString second = uniqueName("second");
    PApplicationSettings settings;
    settings.initSettingsGroup(QStringLiteral("PelmoraTest"), first);
    settings.setSettingProperty(QStringLiteral("g"), QStringLiteral("k"), QStringLiteral("one"));

    settings.initSettingsGroup(QStringLiteral("PelmoraTest"), second);
    QFile written(confFile(QStringLiteral("PelmoraTest"), first));
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.readAll().contains("k=one"));
    QCOMPARE(settings.getSettingProperty(QStringLiteral("g"), QStringLiteral("k")), QString());

    settings.setSettingProperty(QStringLiteral("g"), QStringLiteral("k"), QStringLiteral("two"));
    settings.initSettingsGroup(QStringLiteral("PelmoraTest"), first);
    QCOMPARE(settings.getSettingProperty(QStringLiteral("g"), QStringLiteral("k")), QStringLiteral("one"));
}

void tst_ApplicationSettings::modeFlags()
{
    PFirstRunApplication firstRun;
    PArchiveMode archive;
    QCOMPARE(firstRun.isFirstRun(), false);
    QCOMPARE(archive.isArchiveMode(), false);

    firstRun.setFirstRunProperty(true);
    archive.setArchiveMode(true);
    QCOMPARE(firstRun.isFirstRun(), true);
    QCOMPARE(archive.isArchiveMode(), true);
    QCOMPARE(PFirstRunApplication().isFirstRun(), false);
    QCOMPARE(PArchiveMode().isArchiveMode(), false);

    firstRun.setFirstRunProperty(false);
    archive.setArchiveMode(false);
    QCOMPARE(firstRun.isFirstRun(), false);
    QCOMPARE(archive.isArchiveMode(), false);
}

SERVICES_TEST_MAIN(tst_ApplicationSettings)
#include "tst_applicationsettings.moc"
