// The merge report's files: names, columns, texts and quoting, and how the end of a run
// settles the tables' statuses.

#include "MergeReport.h"
#include "MergeReportWriter.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("missing");
}

// A report of two named sources, the second one the destination itself.
MergeReport sampleReport()
{
    MergeReport report(QStringLiteral("merged"), {QStringLiteral("plant;1"), QStringLiteral("merged")});
    report.setStart(QDateTime(QDate(2026, 3, 1), QTime(8, 5, 9), Qt::OffsetFromUTC, 3 * 3600));
    report.setCopyVariant(QStringLiteral("set_based"));
    report.setServer(QStringLiteral("127.0.0.1:3306"));
    MergeReport::TableCounts &defects = report.table(0, tnDefects);
    defects.rows = 10;
    defects.inserted = 7;
    defects.present = 3;
    defects.status = MergeReport::TableStatus::Done;
    MergeReport::TableCounts &humans = report.table(0, tnHumans);
    humans.rows = 3;
    humans.conflicts = 2;
    humans.status = MergeReport::TableStatus::Running;
    report.addConflict(0, {QStringLiteral("plant;1"), tnHumans, QStringLiteral("120"),
                           MergeReport::Decision::AddedNewKey, MergeReport::DecidedBy::Operator,
                           QStringLiteral("121")});
    report.addConflict(0, {QStringLiteral("plant;1"), tnHumans, QStringLiteral("7"),
                           MergeReport::Decision::LeftOut, MergeReport::DecidedBy::StandingChoice, {}});
    report.addError(QStringLiteral("Lost connection; \"server\" gone"));
    report.finish(MergeReport::RunStatus::Failed,
                  QDateTime(QDate(2026, 3, 1), QTime(8, 6, 0), Qt::OffsetFromUTC, 3 * 3600));
    return report;
}

} // namespace

class tst_MergeReport : public QObject
{
    Q_OBJECT

private slots:
    void filesHoldTheReport();
    void takenNamesGetANumber();
    void endOfRunSettlesStatuses_data();
    void endOfRunSettlesStatuses();
};

void tst_MergeReport::filesHoldTheReport()
{
    QTemporaryDir dir;
    const MergeReportWriter::Result result =
        MergeReportWriter::write(sampleReport(), dir.filePath("log/reports"));
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.basePath, dir.filePath("log/reports/merge_2026-03-01_08-05-09"));

    const QList<QByteArray> tables = contentOf(result.basePath + ".csv").split('\n');
    QCOMPARE(tables.size(), 1 + 18 + 1); // header, nine rows per named source, last line end
    QCOMPARE(tables.at(0), QByteArray("source;table;rows;inserted;present;conflicts;replaced;"
                                      "added_new_key;left_out;references_translated;"
                                      "references_mismatched;status"));
    QCOMPARE(tables.at(1), QByteArray("\"plant;1\";defects;10;7;3;0;0;0;0;0;0;done"));
    QCOMPARE(tables.at(2), QByteArray("\"plant;1\";graphics;0;0;0;0;0;0;0;0;0;not_reached"));
    QCOMPARE(tables.at(8), QByteArray("\"plant;1\";humans;3;0;0;2;0;1;1;0;0;failed"));
    QCOMPARE(tables.at(10), QByteArray("merged;defects;0;0;0;0;0;0;0;0;0;skipped"));
    QCOMPARE(tables.at(18), QByteArray("merged;zones;0;0;0;0;0;0;0;0;0;skipped"));

    QCOMPARE(contentOf(result.basePath + "_conflicts.csv"),
             QByteArray("source;table;key;decision;decided_by;new_key\n"
                        "\"plant;1\";humans;120;added_new_key;operator;121\n"
                        "\"plant;1\";humans;7;left_out;standing_choice;\n"));
    QCOMPARE(contentOf(result.basePath + "_run.csv"),
             QByteArray("key;value\n"
                        "start;2026-03-01T08:05:09+03:00\n"
                        "end;2026-03-01T08:06:00+03:00\n"
                        "status;failed\n"
                        "mode;plain\n"
                        "copy_variant;set_based\n"
                        "server;127.0.0.1:3306\n"
                        "destination;merged\n"
                        "sources;\"plant;1,merged\"\n"
                        "error;\"Lost connection; \"\"server\"\" gone\"\n"));
}

void tst_MergeReport::takenNamesGetANumber()
{
    QTemporaryDir dir;
    MergeReport report(QStringLiteral("d"), {QString::fromUtf8("завод")});
    report.finish(MergeReport::RunStatus::Done);
    QFile stray(dir.filePath(report.start().toString("'merge_'yyyy-MM-dd_HH-mm-ss'_2_run.csv'")));
    QVERIFY(stray.open(QIODevice::WriteOnly)); // a leftover of another run takes _2 as well
    stray.close();
    QStringList bases;
    for (int i = 0; i < 3; ++i)
        bases << QFileInfo(MergeReportWriter::write(report, dir.path()).basePath).fileName();
    const QString stem = report.start().toString("'merge_'yyyy-MM-dd_HH-mm-ss");
    QCOMPARE(bases, QStringList({stem, stem + "_3", stem + "_4"}));
    const QByteArray bytes = contentOf(dir.filePath(stem + ".csv"));
    QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
    QVERIFY(bytes.contains(QString::fromUtf8("завод;defects").toUtf8()));
    QVERIFY(!MergeReportWriter::write(report, dir.filePath(stem + ".csv/sub")).ok);
}

void tst_MergeReport::endOfRunSettlesStatuses_data()
{
    QTest::addColumn<int>("end");
    QTest::addColumn<QString>("running");
    QTest::newRow("finished") << int(MergeReport::RunStatus::Done) << "done";
    QTest::newRow("stopped") << int(MergeReport::RunStatus::Stopped) << "stopped";
    QTest::newRow("failed") << int(MergeReport::RunStatus::Failed) << "failed";
}

void tst_MergeReport::endOfRunSettlesStatuses()
{
    QFETCH(int, end);
    QFETCH(QString, running);
    MergeReport report("d", {"a", "a", "d", "b"});
    QCOMPARE(MergeReport::mergedSources("d", {"a", "a", "d", "b"}), QVector<int>({0, 3}));
    report.table(0, tnDefects).status = MergeReport::TableStatus::Done;
    report.table(0, tnGraphics).status = MergeReport::TableStatus::Running;
    report.finish(MergeReport::RunStatus(end));
    QCOMPARE(MergeReport::statusText(report.table(0, tnDefects).status), QString("done"));
    QCOMPARE(MergeReport::statusText(report.table(0, tnGraphics).status), running);
    QCOMPARE(MergeReport::statusText(report.table(0, tnZones).status), QString("not_reached"));
    QCOMPARE(MergeReport::statusText(report.table(1, tnDefects).status), QString("skipped"));
    QCOMPARE(MergeReport::statusText(report.table(2, tnZones).status), QString("skipped"));
    QCOMPARE(MergeReport::statusText(report.table(3, tnZones).status), QString("not_reached"));
}

QTEST_MAIN(tst_MergeReport)
#include "tst_mergereport.moc"
