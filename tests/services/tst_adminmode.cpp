#include "IsolatedHome.h"

#include "ModalAnswerer.h"
#include "PAdminMode.h"
#include "ProgramEncoding.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

#include <unistd.h>

namespace {

const QString notFoundText = QStringLiteral("Password file is not found.\nApplication mode: \"Without password\"");
const QString unreadableText = QStringLiteral("Error reading the password file.\nApplication mode: \"Without password\"");

// Translates every text of the context QObject by marking it, to show which texts
// pass through translation.
class MarkingTranslator : public QTranslator
{
public:
    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        if (qstrcmp(context, "QObject") != 0)
            return QString();
        return QStringLiteral("[ru] ") + QString::fromUtf8(sourceText);
    }
};

} // namespace

class tst_AdminMode : public QObject
{
    Q_OBJECT
public:
    explicit tst_AdminMode(const QString &) {}

private slots:
    void init();
    void flagStartsFalseAndFollowsTheSetter();
    void hashIsTheLastLineAsStored_data();
    void hashIsTheLastLineAsStored();
    void hashIsReadInTheProgramsEncoding_data();
    void hashIsReadInTheProgramsEncoding();
    void unreadablePathsGiveAnEmptyHash_data();
    void unreadablePathsGiveAnEmptyHash();
    void findPasswordFile_data();
    void findPasswordFile();
    void warningTextsAreTranslated();
    void fileOperationsLeaveTheFlagAlone();

private:
    QString makePath(const QString &kind);
    QString writeFile(const QByteArray &content);

    QScopedPointer<QTemporaryDir> m_dir;
};

void tst_AdminMode::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

QString tst_AdminMode::writeFile(const QByteArray &content)
{
    const QString path = m_dir->filePath(QStringLiteral("admin.pwd"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// A path of the given kind: a readable file, no file at all, a directory (which exists
// but cannot be opened as a file, even for root), or a file without read permission.
QString tst_AdminMode::makePath(const QString &kind)
{
    if (kind == QLatin1String("readable"))
        return writeFile("d41d8cd98f00b204e9800998ecf8427e\n");
    const QString path = m_dir->filePath(QStringLiteral("admin.pwd"));
    if (kind == QLatin1String("directory"))
        QDir(m_dir->path()).mkdir(QStringLiteral("admin.pwd"));
    if (kind == QLatin1String("no permission")) {
        writeFile("hash\n");
        QFile::setPermissions(path, QFileDevice::WriteOwner);
    }
    return path;
}

void tst_AdminMode::flagStartsFalseAndFollowsTheSetter()
{
    PAdminMode mode;
    QCOMPARE(mode.isAdminMode(), false);
    mode.setAdminMode(true);
    QCOMPARE(mode.isAdminMode(), true);
    mode.setAdminMode(false);
    QCOMPARE(mode.isAdminMode(), false);
}

void tst_AdminMode::hashIsTheLastLineAsStored_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("expected");
    QTest::newRow("one line, no line end") << QByteArray("5f4dcc3b5aa765d61d8327deb882cf99")
                                           << "5f4dcc3b5aa765d61d8327deb882cf99";
    QTest::newRow("one line with \\n") << QByteArray("abc\n") << "abc\n";
    QTest::newRow("two lines with \\n") << QByteArray("first\nsecond\n") << "second\n";
    QTest::newRow("two lines with \\r\\n") << QByteArray("first\r\nsecond\r\n") << "second\r\n";
    QTest::newRow("last line without end") << QByteArray("first\r\nsecond") << "second";
    QTest::newRow("trailing empty line") << QByteArray("hash\n\n") << "\n";
    QTest::newRow("spaces kept") << QByteArray("old\n  new hash  \n") << "  new hash  \n";
    QTest::newRow("empty file") << QByteArray() << "";
    QTest::newRow("line stops at a zero byte") << QByteArray("first\nab\0cd\n", 12) << "ab";
}

void tst_AdminMode::hashIsTheLastLineAsStored()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, expected);
    ModalAnswerer answerer;
    QCOMPARE(PAdminMode().readPwdHashFromFile(writeFile(content)), expected);
    QCOMPARE(answerer.answered(), 0);
}

// The file is text in the program's 8-bit encoding (kvtmerge: Windows-1251), under Qt 6
// as under Qt 5.
void tst_AdminMode::hashIsReadInTheProgramsEncoding_data()
{
    ProgramEncoding::addRows();
}

void tst_AdminMode::hashIsReadInTheProgramsEncoding()
{
    QFETCH(QByteArray, codec);
    QFETCH(QByteArray, bytes);
    const ProgramEncoding::Scope scope(codec);
    QCOMPARE(PAdminMode().readPwdHashFromFile(writeFile(bytes + '\n')), ProgramEncoding::text + '\n');
}

void tst_AdminMode::unreadablePathsGiveAnEmptyHash_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << "missing";
    QTest::newRow("directory") << "directory";
    if (geteuid() != 0)
        QTest::newRow("no permission") << "no permission";
}

void tst_AdminMode::unreadablePathsGiveAnEmptyHash()
{
    QFETCH(QString, kind);
    ModalAnswerer answerer;
    QCOMPARE(PAdminMode().readPwdHashFromFile(makePath(kind)), QString());
    QCOMPARE(PAdminMode().readPwdHashFromFile(QString()), QString());
    QCOMPARE(answerer.answered(), 0);
}

void tst_AdminMode::findPasswordFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("boxText");
    QTest::newRow("readable file") << "readable" << true << "";
    QTest::newRow("missing file") << "missing" << false << notFoundText;
    QTest::newRow("directory of that name") << "directory" << false << unreadableText;
    if (geteuid() != 0)
        QTest::newRow("no read permission") << "no permission" << false << unreadableText;
}

void tst_AdminMode::findPasswordFile()
{
    QFETCH(QString, kind);
    QFETCH(bool, found);
    QFETCH(QString, boxText);
    const QString path = makePath(kind);

    QMessageBox::StandardButtons buttons;
    ModalAnswerer answerer;
    answerer.handle([&buttons](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        buttons = box->standardButtons();
        QCOMPARE(box->icon(), QMessageBox::Warning);
        QCOMPARE(box->parentWidget(), nullptr);
        box->button(QMessageBox::Ok)->click();
    });

    QCOMPARE(PAdminMode().findAdminPasswordFile(path), found);
    if (boxText.isEmpty()) {
        QCOMPARE(answerer.answered(), 0);
        return;
    }
    QCOMPARE(answerer.titles(), QStringList{QStringLiteral("Admin password")});
    QCOMPARE(answerer.texts(), QStringList{boxText});
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

void tst_AdminMode::warningTextsAreTranslated()
{
    MarkingTranslator translator;
    QVERIFY(QCoreApplication::installTranslator(&translator));
    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    answerer.clickButton(QMessageBox::Ok);

    PAdminMode().findAdminPasswordFile(makePath(QStringLiteral("missing")));
    PAdminMode().findAdminPasswordFile(makePath(QStringLiteral("directory")));
    QCoreApplication::removeTranslator(&translator);

    QCOMPARE(answerer.titles(),
             QStringList({QStringLiteral("[ru] Admin password"), QStringLiteral("[ru] Admin password")}));
    QCOMPARE(answerer.texts(),
             QStringList({QStringLiteral("[ru] ") + notFoundText, QStringLiteral("[ru] ") + unreadableText}));
}

void tst_AdminMode::fileOperationsLeaveTheFlagAlone()
{
    ModalAnswerer answerer;
    answerer.clickButton(QMessageBox::Ok);
    PAdminMode mode;
    mode.setAdminMode(true);
    QVERIFY(mode.findAdminPasswordFile(makePath(QStringLiteral("readable"))));
    QVERIFY(!mode.readPwdHashFromFile(makePath(QStringLiteral("readable"))).isEmpty());
    QVERIFY(QFile::remove(m_dir->filePath(QStringLiteral("admin.pwd"))));
    QVERIFY(!mode.findAdminPasswordFile(makePath(QStringLiteral("missing"))));
    QCOMPARE(answerer.answered(), 1);
    QCOMPARE(mode.isAdminMode(), true);
}

SERVICES_TEST_MAIN(tst_AdminMode)
#include "tst_adminmode.moc"
