#include "IsolatedHome.h"

#include "PIniFormat.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>

class tst_IniFormat : public QObject
{
    Q_OBJECT
public:
    explicit tst_IniFormat(const QString &) {}

private slots:
    void init();
    void writeToMissingFileCreatesNothing_data();
    void writeToMissingFileCreatesNothing();
    void roundTrip_data();
    void roundTrip();
    void valueIsStoredInTheChosenEncoding_data();
    void valueIsStoredInTheChosenEncoding();
    void handWrittenFileIsRead_data();
    void handWrittenFileIsRead();
    void absentPropertiesAreEmpty();
    void writeKeepsTheOtherProperties();
    void setFileWorkingWithSwitchesTheFile();
    void windows1251FileKeepsItsBytes();

private:
    QString newIniFile(const QByteArray &content = QByteArray());

    QScopedPointer<QTemporaryDir> m_dir;
};

void tst_IniFormat::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

QString tst_IniFormat::newIniFile(const QByteArray &content)
{
    static int n = 0;
    const QString path = m_dir->filePath(QStringLiteral("file%1.ini").arg(++n));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void tst_IniFormat::writeToMissingFileCreatesNothing_data()
{
    QTest::addColumn<QString>("codec");
    QTest::newRow("Windows-1251") << "Windows-1251";
    QTest::newRow("no codec") << "";
}

void tst_IniFormat::writeToMissingFileCreatesNothing()
{
    QFETCH(QString, codec);
    const QString missing = m_dir->filePath(QStringLiteral("missing.ini"));
    PIniFormat ini(missing, codec);
    ini.setIniProperty(QStringLiteral("group"), QStringLiteral("key"), QStringLiteral("value"));

    QVERIFY(!QFile::exists(missing));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
    QCOMPARE(ini.getIniProperty(QStringLiteral("group"), QStringLiteral("key")), QString());

    PIniFormat noFile;
    noFile.setIniProperty(QStringLiteral("group"), QStringLiteral("key"), QStringLiteral("value"));
    QCOMPARE(noFile.getIniProperty(QStringLiteral("group"), QStringLiteral("key")), QString());
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
}

void tst_IniFormat::roundTrip_data()
{
    QTest::addColumn<QString>("codec");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");

    const QStringList codecs = {QStringLiteral("Windows-1251"), QStringLiteral("UTF-8"),
                                QString(), QStringLiteral("no-such-codec")};
    for (const QString &codec : codecs) {
        const QByteArray c = codec.isEmpty() ? QByteArray("none") : codec.toLatin1();
        QTest::newRow(c + ": ascii") << codec << "main" << "path" << "C:\\data\\base.db";
        QTest::newRow(c + ": separators in value") << codec << "main" << "expr" << "a=b;c#d,e";
        QTest::newRow(c + ": separators in key") << codec << "main" << "a=b;c#d" << "value";
        QTest::newRow(c + ": line break") << codec << "main" << "line\nkey" << "first\r\nsecond\nthird";
        QTest::newRow(c + ": quotes and spaces") << codec << "main" << "quoted"
                                                 << "  \"padded\" value  ";
        QTest::newRow(c + ": cyrillic value") << codec << "main" << "name" << "Проверка связи";
        QTest::newRow(c + ": cyrillic key") << codec << "main" << "Ключ" << "value";
        QTest::newRow(c + ": cyrillic group") << codec << "Раздел" << "Ключ" << "Значение";
        QTest::newRow(c + ": empty value") << codec << "main" << "empty" << "";
        QTest::newRow(c + ": key with slash") << codec << "main" << "a/b" << "nested";
    }
}

void tst_IniFormat::roundTrip()
{
    QFETCH(QString, codec);
    QFETCH(QString, group);
    QFETCH(QString, key);
    QFETCH(QString, value);
    const QString path = newIniFile();
    {
        PIniFormat writer(path, codec);
        writer.setIniProperty(group, key, value);
        QCOMPARE(writer.getIniProperty(group, key), value);
    }
    PIniFormat reader(path, codec);
    QCOMPARE(reader.getIniProperty(group, key), value);
}

void tst_IniFormat::valueIsStoredInTheChosenEncoding_data()
{
    QTest::addColumn<QString>("codec");
    QTest::newRow("Windows-1251") << "Windows-1251";
    QTest::newRow("UTF-8") << "UTF-8";
    QTest::newRow("KOI8-R") << "KOI8-R";
}

void tst_IniFormat::valueIsStoredInTheChosenEncoding()
{
    QFETCH(QString, codec);
    const QString value = QStringLiteral("Значение");
    const QString path = newIniFile();
    PIniFormat(path, codec).setIniProperty(QStringLiteral("main"), QStringLiteral("key"), value);

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY2(bytes.contains("key=" + QTextCodec::codecForName(codec.toLatin1())->fromUnicode(value)),
             bytes.constData());
}

// Files that people edit by hand hold keys as plain bytes of the file's encoding.
void tst_IniFormat::handWrittenFileIsRead_data()
{
    QTest::addColumn<QString>("codec");
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    QTest::newRow("cp1251 key and value")
        << "Windows-1251" << "[Общие]\nКлюч=Значение\n" << "Общие" << "Ключ" << "Значение";
    QTest::newRow("utf-8 key and value")
        << "UTF-8" << "[main]\nКлюч=Значение\n" << "main" << "Ключ" << "Значение";
    QTest::newRow("windows line ends")
        << "Windows-1251" << "[main]\r\nkey=value\r\nnext=2\r\n" << "main" << "key" << "value";
    QTest::newRow("spaces around equals")
        << "Windows-1251" << "[main]\nkey = some value \n" << "main" << "key" << "some value";
    QTest::newRow("comment lines")
        << "Windows-1251" << "; comment\n[main]\n; key=wrong\nkey=right\n" << "main" << "key" << "right";
    QTest::newRow("unquoted commas")
        << "Windows-1251" << "[main]\nlist=a, b, c\n" << "main" << "list" << "a, b, c";
    QTest::newRow("quoted value")
        << "Windows-1251" << "[main]\nq=\"a;b\"\n" << "main" << "q" << "a;b";
    QTest::newRow("top-level keys")
        << "Windows-1251" << "[General]\nkey=top\n" << "" << "key" << "top";
}

void tst_IniFormat::handWrittenFileIsRead()
{
    QFETCH(QString, codec);
    QFETCH(QString, content);
    QFETCH(QString, group);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    const QString path = newIniFile(QTextCodec::codecForName(codec.toLatin1())->fromUnicode(content));
    QCOMPARE(PIniFormat(path, codec).getIniProperty(group, key), expected);
}

void tst_IniFormat::absentPropertiesAreEmpty()
{
    const QString path = newIniFile("[main]\nkey=value\n");
    PIniFormat ini(path, QStringLiteral("Windows-1251"));
    QCOMPARE(ini.getIniProperty(QStringLiteral("main"), QStringLiteral("other")), QString());
    QCOMPARE(ini.getIniProperty(QStringLiteral("other"), QStringLiteral("key")), QString());
    QCOMPARE(ini.getIniProperty(QStringLiteral("main"), QString()), QString());
    QCOMPARE(ini.getIniProperty(QStringLiteral("main"), QStringLiteral("Ключ")), QString());
    QCOMPARE(ini.getIniProperty(QStringLiteral("main"), QStringLiteral("key")), QStringLiteral("value"));
}

void tst_IniFormat::writeKeepsTheOtherProperties()
{
    const QByteArray cp1251 = QTextCodec::codecForName("Windows-1251")->fromUnicode(
        QStringLiteral("[main]\nkeep=1\nchange=old\n[other]\nИмя=Иван\n"));
    const QString path = newIniFile(cp1251);
    PIniFormat ini(path, QStringLiteral("Windows-1251"));
    ini.setIniProperty(QStringLiteral("main"), QStringLiteral("change"), QStringLiteral("new"));
    ini.setIniProperty(QStringLiteral("added"), QStringLiteral("key"), QStringLiteral("x"));

    PIniFormat reader(path, QStringLiteral("Windows-1251"));
    QCOMPARE(reader.getIniProperty(QStringLiteral("main"), QStringLiteral("keep")), QStringLiteral("1"));
    QCOMPARE(reader.getIniProperty(QStringLiteral("main"), QStringLiteral("change")), QStringLiteral("new"));
    QCOMPARE(reader.getIniProperty(QStringLiteral("other"), QStringLiteral("Имя")), QStringLiteral("Иван"));
    QCOMPARE(reader.getIniProperty(QStringLiteral("added"), QStringLiteral("key")), QStringLiteral("x"));
}

void tst_IniFormat::setFileWorkingWithSwitchesTheFile()
{
    const QString first = newIniFile("[g]\nk=first\n");
    const QString second = newIniFile("[g]\nk=second\n");
    PIniFormat ini(first, QStringLiteral("UTF-8"));
    QCOMPARE(ini.getIniProperty(QStringLiteral("g"), QStringLiteral("k")), QStringLiteral("first"));

    ini.setFileWorkingWith(second);
    ini.setIniProperty(QStringLiteral("g"), QStringLiteral("k"), QStringLiteral("changed"));
    QCOMPARE(ini.getIniProperty(QStringLiteral("g"), QStringLiteral("k")), QStringLiteral("changed"));
    QCOMPARE(PIniFormat(first, QStringLiteral("UTF-8")).getIniProperty(QStringLiteral("g"), QStringLiteral("k")),
             QStringLiteral("first"));

    PIniFormat withoutFile;
    withoutFile.setFileWorkingWith(second);
    QCOMPARE(withoutFile.getIniProperty(QStringLiteral("g"), QStringLiteral("k")), QStringLiteral("changed"));
}

// A Windows-1251 file edited by hand (Cyrillic section, keys and values) reads the same,
// and a write leaves exactly the bytes that the Qt 5 build leaves, whichever Qt the
// library is built with (Qt 6's QSettings alone reads and writes only UTF-8).
void tst_IniFormat::windows1251FileKeepsItsBytes()
{
    const QString codec = QStringLiteral("Windows-1251");
    const QString path = newIniFile(QTextCodec::codecForName("Windows-1251")->fromUnicode(QStringLiteral(
        "; заметка\n[Общие]\nИмя=Иван Петрович\nkeep=1, 2\n[main]\nпуть=/данные/база.db\n")));
    PIniFormat ini(path, codec);
    QCOMPARE(ini.getIniProperty(QStringLiteral("Общие"), QStringLiteral("Имя")), QStringLiteral("Иван Петрович"));
    QCOMPARE(ini.getIniProperty(QStringLiteral("main"), QStringLiteral("путь")), QStringLiteral("/данные/база.db"));

    ini.setIniProperty(QStringLiteral("Раздел"), QStringLiteral("Ключ"), QStringLiteral("Значение; ещё \"в кавычках\""));
    ini.setIniProperty(QStringLiteral("main"), QStringLiteral("euro"), QStringLiteral("5 €"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray expected =
        "[main]\n"
        "euro=5 \x88\n"
        "%EF%F3%F2%FC=/\xe4\xe0\xed\xed\xfb\xe5/\xe1\xe0\xe7\xe0.db\n"
        "\n"
        "[%CE%E1%F9%E8%E5]\n"
        "keep=1, 2\n"
        "%C8%EC%FF=\xc8\xe2\xe0\xed \xcf\xe5\xf2\xf0\xee\xe2\xe8\xf7\n"
        "\n"
        "[%U0420%U0430%U0437%U0434%U0435%U043B]\n"
        "%U041A%U043B%U044E%U0447=\"\xc7\xed\xe0\xf7\xe5\xed\xe8\xe5; \xe5\xf9\xb8 "
        "\\\"\xe2 \xea\xe0\xe2\xfb\xf7\xea\xe0\xf5\\\"\"\n";
    QCOMPARE(file.readAll(), expected);

    PIniFormat reader(path, codec);
    QCOMPARE(reader.getIniProperty(QStringLiteral("Общие"), QStringLiteral("Имя")), QStringLiteral("Иван Петрович"));
    QCOMPARE(reader.getIniProperty(QStringLiteral("Общие"), QStringLiteral("keep")), QStringLiteral("1, 2"));
    QCOMPARE(reader.getIniProperty(QStringLiteral("main"), QStringLiteral("путь")), QStringLiteral("/данные/база.db"));
    QCOMPARE(reader.getIniProperty(QStringLiteral("Раздел"), QStringLiteral("Ключ")),
             QStringLiteral("Значение; ещё \"в кавычках\""));
    QCOMPARE(reader.getIniProperty(QStringLiteral("main"), QStringLiteral("euro")), QStringLiteral("5 €"));
}

SERVICES_TEST_MAIN(tst_IniFormat)
#include "tst_iniformat.moc"
