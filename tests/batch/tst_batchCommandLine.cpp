// The batch mode's command line, password rule, progress and summary texts, without a
// server.

#include "AlignedTable.h"
#include "BatchCommandLine.h"
#include "BatchMain.h"
#include "BatchProgress.h"
#include "ProgramEncoding.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

#include <sys/stat.h>

Q_DECLARE_METATYPE(BatchCommandLine::Request)

namespace {

const QStringList connection{"kvtmerge", "--batch", "--host", "127.0.0.1", "--user", "u",
                             "--destination", "dest"};

QProcessEnvironment withPassword()
{
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("KVT_DB_PASSWORD"), QStringLiteral("secret"));
    return environment;
}

} // namespace

class tst_BatchCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void requests_data();
    void requests();
    void optionsOfARun();
    void forgettingTakesTheStartOfTheDay();
    void passwordFile_data();
    void passwordFile();
    void textInTheProgramsEncoding_data();
    void textInTheProgramsEncoding();
    void windowOrConsole_data();
    void windowOrConsole();
    void helpNamesEveryOptionAndStatus();
    void progressTexts();
    void alignedTable();

private:
    QTemporaryDir m_dir;
};

void tst_BatchCommandLine::requests_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("password");
    QTest::addColumn<BatchCommandLine::Request>("request");
    QTest::addColumn<QString>("error");

    using R = BatchCommandLine::Request;
    const QStringList run = connection + QStringList{"--source", "a"};
    QTest::newRow("run") << run << true << R::RunBatch << "";
    QTest::newRow("help") << QStringList{"kvtmerge", "--help"} << false << R::ShowHelp << "";
    QTest::newRow("help with batch") << QStringList{"kvtmerge", "--batch", "-h"} << false << R::ShowHelp << "";
    QTest::newRow("version") << QStringList{"kvtmerge", "--version"} << false << R::ShowVersion << "";
    QTest::newRow("version with batch") << QStringList{"kvtmerge", "--batch", "--version"} << false
                                        << R::ShowVersion << "";
    QTest::newRow("unknown option") << QStringList{"kvtmerge", "--colour"} << true << R::Invalid << "colour";
    QTest::newRow("unknown option with batch") << run + QStringList{"--password", "x"} << true
                                               << R::Invalid << "password";
    QTest::newRow("batch option without batch") << QStringList{"kvtmerge", "--host", "h"} << true
                                                << R::Invalid << "needs --batch";
    QTest::newRow("missing value") << connection + QStringList{"--source"} << true << R::Invalid
                                   << "Missing value";
    QTest::newRow("missing host") << QStringList{"kvtmerge", "--batch", "--user", "u", "--destination", "d",
                                                 "--source", "a"}
                                  << true << R::Invalid << "--host";
    QTest::newRow("no source") << connection << true << R::Invalid << "No source";
    QTest::newRow("destination is the only source") << connection + QStringList{"--source", "dest"} << true
                                                    << R::Invalid << "only source";
    QTest::newRow("destination and its repeat") << connection + QStringList{"--source", "dest", "--source", "dest"}
                                                << true << R::Invalid << "only source";
    QTest::newRow("no password") << run << false << R::Invalid << "KVT_DB_PASSWORD";
    QTest::newRow("bad policy") << run + QStringList{"--on-conflict", "ask"} << true << R::Invalid << "ask";
    QTest::newRow("bad port") << run + QStringList{"--port", "70000"} << true << R::Invalid << "70000";
    QTest::newRow("host twice") << run + QStringList{"--host", "other"} << true << R::Invalid << "more than once";
    QTest::newRow("client key without CA") << run + QStringList{"--ssl-key", "k.pem"} << true << R::Invalid
                                           << "--ssl-ca";
    QTest::newRow("unreadable CA") << run + QStringList{"--ssl-ca", "/no/such/ca.pem"} << true << R::Invalid
                                   << "/no/such/ca.pem";
    QTest::newRow("stray argument") << run + QStringList{"extra"} << true << R::Invalid << "extra";
    const QStringList server{"kvtmerge", "--batch", "--host", "127.0.0.1", "--user", "u"};
    QTest::newRow("list runs") << server + QStringList{"--list-runs"} << true << R::RunBatch << "";
    QTest::newRow("undo") << server + QStringList{"--undo", "12", "--journal", "j.sqlite"} << true << R::RunBatch << "";
    QTest::newRow("undo without password") << server + QStringList{"--undo", "12"} << false << R::Invalid
                                           << "KVT_DB_PASSWORD";
    QTest::newRow("undo and a source") << server + QStringList{"--undo", "12", "--source", "a"} << true
                                       << R::Invalid << "--undo takes no --source";
    QTest::newRow("list and a destination") << connection + QStringList{"--list-runs"} << true << R::Invalid
                                            << "--list-runs takes no --destination";
    QTest::newRow("list and undo") << server + QStringList{"--list-runs", "--undo", "1"} << true << R::Invalid
                                   << "not both";
    QTest::newRow("undo of no run") << server + QStringList{"--undo", "x1"} << true << R::Invalid << "x1";
    QTest::newRow("undo of run 0") << server + QStringList{"--undo", "0"} << true << R::Invalid << "run number";
    QTest::newRow("forget runs") << server + QStringList{"--forget-runs-before", "2026-06-01"} << true << R::RunBatch
                                 << "";
    QTest::newRow("forget runs before no date") << server + QStringList{"--forget-runs-before", "2026-13-01"}
                                                << true << R::Invalid << "'2026-13-01' is not a date";
    QTest::newRow("forget runs and a source") << server + QStringList{"--forget-runs-before", "2026-06-01", "--source", "a"}
                                              << true << R::Invalid << "--forget-runs-before takes no --source";
    QTest::newRow("forget and undo") << server + QStringList{"--undo", "1", "--forget-runs-before", "2026-06-01"}
                                     << true << R::Invalid << "not both";
    QTest::newRow("all three journal commands")
        << server + QStringList{"--list-runs", "--undo", "1", "--forget-runs-before", "2026-06-01"} << true
        << R::Invalid << "not all of them";
}

void tst_BatchCommandLine::requests()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, password);
    QFETCH(BatchCommandLine::Request, request);
    QFETCH(QString, error);

    BatchCommandLine commandLine;
    QCOMPARE(commandLine.parse(arguments, password ? withPassword() : QProcessEnvironment()), request);
    QVERIFY2(commandLine.errorText().contains(error), qPrintable(commandLine.errorText()));
    QCOMPARE(commandLine.errorText().isEmpty(), request != BatchCommandLine::Request::Invalid);
}

// Runs of the whole day given stay: the limit is its first moment, local time.
void tst_BatchCommandLine::forgettingTakesTheStartOfTheDay()
{
    BatchCommandLine commandLine;
    QCOMPARE(commandLine.parse({"kvtmerge", "--batch", "--host", "h", "--user", "u", "--forget-runs-before", "2026-06-01"},
                               withPassword()),
             BatchCommandLine::Request::RunBatch);
    QCOMPARE(commandLine.options().command, BatchCommand::ForgetRuns);
    QCOMPARE(commandLine.options().forgetBefore, QDateTime(QDate(2026, 6, 1), QTime(0, 0), Qt::LocalTime));
}

void tst_BatchCommandLine::optionsOfARun()
{
    BatchCommandLine commandLine;
    QProcessEnvironment environment = withPassword();
    environment.insert(QStringLiteral("KVT_DB_PASSWORD"), QString()); // an empty password is one
    QCOMPARE(commandLine.parse(connection + QStringList{"--port", "3307", "--source", "a", "--source", "dest",
                                                        "--source", "b", "--source", "a", "--on-conflict",
                                                        "new-key", "--quiet", "--dry-run", "--keep-references", "--report", "r.csv"},
                               environment),
             BatchCommandLine::Request::RunBatch);
    const BatchOptions &o = commandLine.options();
    QCOMPARE(o.port, 3307);
    QCOMPARE(o.password, QString());
    QCOMPARE(o.onConflict, ConflictPolicy::NewKey);
    QVERIFY(o.quiet);
    QVERIFY(o.dryRun);
    QVERIFY(o.keepReferences);
    QVERIFY(!o.security.useTls);
    QCOMPARE(o.reportFile, QStringLiteral("r.csv"));
    QStringList skipped;
    QCOMPARE(o.sourcesToMerge(&skipped), (QStringList{"a", "b"}));
    QCOMPARE(skipped, (QStringList{"dest", "a"}));

    QCOMPARE(commandLine.parse(connection + QStringList{"--source", "a"}, withPassword()),
             BatchCommandLine::Request::RunBatch);
    QCOMPARE(commandLine.options().onConflict, ConflictPolicy::AskFail);
    QCOMPARE(commandLine.options().port, 3306);
    QCOMPARE(commandLine.options().password, QStringLiteral("secret"));
}

void tst_BatchCommandLine::passwordFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("password");

    QTest::newRow("owner only") << QByteArray("pa ss;word\nsecond line\n") << 0600 << true << "pa ss;word";
    QTest::newRow("owner read-only, CRLF") << QByteArray("pw\r\n") << 0400 << true << "pw";
    QTest::newRow("no line end") << QByteArray("pw") << 0600 << true << "pw";
    QTest::newRow("others can read") << QByteArray("pw\n") << 0644 << false << "";
    QTest::newRow("group can read") << QByteArray("pw\n") << 0640 << false << "";
    QTest::newRow("group can write") << QByteArray("pw\n") << 0620 << false << "";
    QTest::newRow("others can write") << QByteArray("pw\n") << 0602 << false << "";
}

void tst_BatchCommandLine::passwordFile()
{
    QFETCH(QByteArray, content);
    QFETCH(int, mode);
    QFETCH(bool, accepted);
    QFETCH(QString, password);

    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0);

    BatchCommandLine commandLine;
    // The file wins over the environment, and an unsafe file is not passed over for it.
    const auto request = commandLine.parse(connection + QStringList{"--source", "a", "--password-file", path},
                                           withPassword());
    QCOMPARE(request == BatchCommandLine::Request::RunBatch, accepted);
    if (accepted)
        QCOMPARE(commandLine.options().password, password);
    else
        QVERIFY2(commandLine.errorText().contains("other users"), qPrintable(commandLine.errorText()));

    QCOMPARE(commandLine.parse(connection + QStringList{"--source", "a", "--password-file",
                                                        m_dir.filePath("missing")},
                               withPassword()),
             BatchCommandLine::Request::Invalid);
}

// The command line and the password file are read in the program's 8-bit encoding at
// that moment (the system's, UTF-8, before the start-up makes it Windows-1251), under
// Qt 6 as under Qt 5.
void tst_BatchCommandLine::textInTheProgramsEncoding_data()
{
    ProgramEncoding::addRows();
}

void tst_BatchCommandLine::textInTheProgramsEncoding()
{
    QFETCH(QByteArray, codec);
    QFETCH(QByteArray, bytes);
    const ProgramEncoding::Scope scope(codec);

    QByteArray program("kvtmerge");
    QByteArray argument = "--source=" + bytes;
    char *argv[] = {program.data(), argument.data(), nullptr};
    QCOMPARE(commandLineArguments(2, argv), (QStringList{"kvtmerge", "--source=" + ProgramEncoding::text}));

    const QString path = m_dir.filePath(QString::fromLatin1("password-" + codec));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes + '\n');
    file.close();
    QVERIFY(::chmod(QFile::encodeName(path).constData(), 0600) == 0);
    BatchCommandLine commandLine;
    QCOMPARE(commandLine.parse(connection + QStringList{"--source", "a", "--password-file", path}, withPassword()),
             BatchCommandLine::Request::RunBatch);
    QCOMPARE(commandLine.options().password, ProgramEncoding::text);
}

void tst_BatchCommandLine::windowOrConsole_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("console");

    QTest::newRow("no arguments") << QStringList{"kvtmerge"} << false;
    QTest::newRow("Qt's window options") << QStringList{"kvtmerge", "-platform", "offscreen", "-style=fusion",
                                                         "-reverse"}
                                         << false;
    QTest::newRow("batch") << QStringList{"kvtmerge", "--batch"} << true;
    QTest::newRow("help") << QStringList{"kvtmerge", "-h"} << true;
    QTest::newRow("version after a Qt option") << QStringList{"kvtmerge", "-style", "fusion", "--version"} << true;
    QTest::newRow("unknown option") << QStringList{"kvtmerge", "-x"} << true;
    QTest::newRow("stray argument") << QStringList{"kvtmerge", "file"} << true;
}

void tst_BatchCommandLine::windowOrConsole()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, console);
    QCOMPARE(BatchCommandLine::wantsConsole(arguments), console);
}

void tst_BatchCommandLine::helpNamesEveryOptionAndStatus()
{
    const QString help = BatchCommandLine().helpText();
    for (const char *option : {"--batch", "--host", "--port", "--user", "--destination", "--source",
                               "--on-conflict", "--report", "--password-file", "--ssl-ca", "--ssl-cert",
                               "--ssl-key", "--quiet", "--dry-run", "--keep-references", "--journal", "--list-runs", "--undo", "--forget-runs-before", "--help", "--version", "KVT_DB_PASSWORD",
                               "process list"})
        QVERIFY2(help.contains(QLatin1String(option)), option);
    for (int status = 0; status <= 5; ++status)
        QVERIFY(help.contains(QStringLiteral("\n  %1  ").arg(status)));
    QVERIFY(QRegularExpression(QStringLiteral("^kvtmerge \\d+\\.\\d+\\.\\d+"))
                .match(BatchCommandLine::versionText())
                .hasMatch());
}

void tst_BatchCommandLine::progressTexts()
{
    QCOMPARE(BatchProgress::updatingText("plant1", "defects", 250, 1000, 0.5),
             QStringLiteral("plant1  defects  25%  500 rows/s"));
    QCOMPARE(BatchProgress::updatingText("plant1", "zones", 0, 0, 0.0),
             QStringLiteral("plant1  zones  100%  0 rows/s"));
    QCOMPARE(BatchProgress::stepLine("plant1", "graphics", 12000, 2.0),
             QStringLiteral("plant1.graphics: 12000 rows in 2.0 s, 6000 rows/s"));

    // Without a terminal: one line per step, none for a step that has not ended.
    QString text;
    QTextStream stream(&text);
    BatchProgress lines(stream, BatchProgress::Style::Lines);
    lines.stepStarted("s", "s.defects");
    lines.stepSize(3);
    lines.rowsHandled(2);
    lines.stepStarted("s", "s.graphics");
    lines.stepSize(0);
    QCOMPARE(text.count('\n'), 1);
    QVERIFY(text.startsWith("s.defects: 3 rows in "));
    lines.finish();
    QCOMPARE(text.count('\n'), 2);

    // On a terminal: the line is redrawn in place and ended once.
    QString terminal;
    QTextStream terminalStream(&terminal);
    BatchProgress updating(terminalStream, BatchProgress::Style::Updating);
    updating.stepStarted("source", "source.defectref");
    updating.stepStarted("s", "s.zones");
    updating.finish();
    QVERIFY(terminal.startsWith("\rsource  defectref  100%"));
    QVERIFY(terminal.contains("\rs  zones  100%  0 rows/s      "));
    QCOMPARE(terminal.count('\n'), 1);
    QVERIFY(terminal.endsWith('\n'));

    QString silent;
    QTextStream silentStream(&silent);
    BatchProgress quiet(silentStream, BatchProgress::Style::Silent);
    quiet.stepStarted("s", "s.defects");
    quiet.finish();
    QVERIFY(silent.isEmpty());
}

void tst_BatchCommandLine::alignedTable()
{
    QCOMPARE(::alignedTable({{"source", "table", "rows"}, {"plant1", "defects", "1200"}, {"p2", "zones", "7"}}),
             QStringLiteral("source  table    rows\n"
                            "plant1  defects  1200\n"
                            "p2      zones       7\n"));
    // A column with a text below its header stays left-aligned; short rows are filled.
    QCOMPARE(::alignedTable({{"a", "n"}, {"x", "-"}, {"yy"}}), QStringLiteral("a   n\nx   -\nyy\n"));
}

QTEST_GUILESS_MAIN(tst_BatchCommandLine)
#include "tst_batchCommandLine.moc"
