// "Merge ▸ Preview merge…" and "Merge ▸ Merge report…" in the main window, headless and
// against the test server: the preview fills its views, exports the visible one, starts
// the merge, and the report of that merge shows the same numbers and lies in the log
// folder's reports/. Cancel stops a preview.

#include "MergePreview.h"
#include "ModalAnswerer.h"
#include "ShellTestSupport.h"
#include "TestDatabase.h"
#include "dlgMergePreview.h"
#include "dlgMergeReport.h"
#include "mainwin.h"

#include <QAction>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QState>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace ShellTest;

namespace {

QStringList rowOf(const QAbstractItemModel *model, int row)
{
    QStringList values;
    for (int c = 0; c < model->columnCount(); ++c)
        values << model->index(row, c).data().toString();
    return values;
}

QStringList headersOf(const QAbstractItemModel *model)
{
    QStringList headers;
    for (int c = 0; c < model->columnCount(); ++c)
        headers << model->headerData(c, Qt::Horizontal).toString();
    return headers;
}

QStringList linesOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {QStringLiteral("missing ") + path};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

} // namespace

class tst_MergePreviewDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void previewExportMergeAndReport();
    void cancelStopsThePreview();

private:
    bool m_server = false;
    QTemporaryDir m_home;
    QStringList m_databases;
};

void tst_MergePreviewDialog::initTestCase()
{
    m_server = TestDatabase::requireServer();
    if (!m_server)
        return;
    // The log, and with it the reports, go to a folder of the test's own.
    QVERIFY(openFixtureLoggingInto(m_home.path()));
}

void tst_MergePreviewDialog::init()
{
    if (!m_server)
        QSKIP("no server");
}

void tst_MergePreviewDialog::cleanup()
{
    drop(m_databases);
    m_databases.clear();
}

void tst_MergePreviewDialog::previewExportMergeAndReport()
{
    const QString src1 = TestDatabase::uniqueName("previewdlg_src");
    const QString src2 = TestDatabase::uniqueName("previewdlg_src");
    const QString dest = TestDatabase::uniqueName("previewdlg_dest");
    m_databases = QStringList{src1, src2, dest};
    for (const QString &db : qAsConst(m_databases))
        QCOMPARE(createKvt(db), QString());
    QCOMPARE(fillSmall(src1, 1), QString());
    QCOMPARE(fillSmall(src2, 2), QString());
    // One conflict: the second source's result has another name.
    QCOMPARE(execAll({QStringLiteral("UPDATE %1.results SET Name = 'Другой'").arg(q(src2))}), QString());

    MainWin window;
    window.show();
    connectPanel(&window);
    setFields(window, {src1, src2}, dest);
    auto *menu = child<QMenu>(&window, "menuMerge");
    QCOMPARE(menu->title(), QStringLiteral("Merge"));
    auto *previewAction = child<QAction>(&window, "actionPreview");
    auto *reportAction = child<QAction>(&window, "actionMergeReport");
    QVERIFY(menu->actions().contains(previewAction) && menu->actions().contains(reportAction));
    QCOMPARE(previewAction->text(), QStringLiteral("Preview merge…"));
    QCOMPARE(previewAction->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));

    auto *dialog = window.findChild<dlgMergePreview *>();
    QSignalSpy ended(dialog, &dlgMergePreview::previewEnded);
    previewAction->trigger();
    QVERIFY(dialog->isVisible());
    QVERIFY(ended.wait(60000));
    QVERIFY(!child<QProgressBar>(dialog, "pbPreview")->isVisible());

    const QAbstractItemModel *tables = child<QTableView>(dialog, "tvPreview")->model();
    QCOMPARE(headersOf(tables), QStringList({"Source", "Table", "Rows", "To insert", "Present", "Conflicts", "Misattributed"}));
    QCOMPARE(tables->rowCount(), 18);
    // Person 7 gets another ID in the destination, and zone 101 or defect kind 1 names
    // nothing: every measurement row is misattributed without keeping references.
    QCOMPARE(rowOf(tables, 0), QStringList({src1, "defects", "2", "2", "0", "0", "2"}));
    QCOMPARE(rowOf(tables, 1), QStringList({src1, "graphics", "1", "1", "0", "0", "1"}));
    QCOMPARE(rowOf(tables, 15), QStringList({src2, "results", "1", "0", "0", "1", "0"}));
    QCOMPARE(rowOf(tables, 16), QStringList({src2, "humans", "1", "0", "1", "0", "0"}));
    auto *warning = child<QLabel>(dialog, "lbMisattributed");
    QVERIFY(warning->isVisible());
    QVERIFY2(warning->text().startsWith("Warning: 6 row(s) to insert name a person")
                 && warning->text().contains("\"Keep references consistent\""),
             qPrintable(warning->text()));
    const QAbstractItemModel *conflicts = child<QTableView>(dialog, "tvConflicts")->model();
    QCOMPARE(conflicts->rowCount(), 1);
    QCOMPARE(conflicts->index(0, 1).data().toString(), QStringLiteral("results"));
    QCOMPARE(conflicts->index(0, 5).data().toString(), src1);

    // The visible table to a CSV file chosen in the file dialog.
    const QString csv = m_home.filePath("preview.csv");
    ModalAnswerer answerer;
    answerer.handle([&](QWidget *modal) {
        auto *files = qobject_cast<QFileDialog *>(modal);
        QVERIFY(files);
        // selectFile() leaves a focused name field as it is (Qt 6's dialog has the focus there).
        if (QWidget *focused = files->focusWidget())
            focused->clearFocus();
        files->selectFile(csv);
        QMetaObject::invokeMethod(files, "accept");
    });
    child<QPushButton>(dialog, "btnExportCsv")->click();
    QCOMPARE(answerer.titles(), QStringList{"Export to CSV"});
    const QStringList exported = linesOf(csv);
    QCOMPARE(exported.size(), 19);
    QCOMPARE(exported.at(0), QStringLiteral("Source;Table;Rows;To insert;Present;Conflicts;Misattributed;"));
    QCOMPARE(exported.at(1), QStringLiteral("\"%1\";\"defects\";\"2\";\"2\";\"0\";\"0\";\"2\"").arg(src1));

    // The merge from the preview; the conflict is left out by the operator.
    auto *idle = window.findChild<QState *>(QStringLiteral("btnStartMerge"));
    QTRY_VERIFY(idle->active());
    bool previewEnabledInConflict = true;
    answerer.clear();
    answerer.handle([&](QWidget *modal) {
        previewEnabledInConflict = previewAction->isEnabled() || reportAction->isEnabled();
        QTimer::singleShot(0, child<QPushButton>(modal, "btnDontMergeCurrentRec"), &QPushButton::click);
    });
    QSignalSpy finished(&window, &MainWin::mergeFinished);
    child<QPushButton>(dialog, "btnMergeFromPreview")->click();
    QVERIFY(!dialog->isVisible());
    QVERIFY(finished.wait(120000));
    QCOMPARE(answerer.titles(), QStringList{"Records with the same ID/Code"});
    QVERIFY(!previewEnabledInConflict);
    QVERIFY(previewAction->isEnabled());

    // The report shows the preview's numbers, and so do its files.
    reportAction->trigger();
    auto *report = window.findChild<dlgMergeReport *>();
    QVERIFY(report->isVisible());
    const QAbstractItemModel *reported = child<QTableView>(report, "tvReport")->model();
    QCOMPARE(reported->rowCount(), 18);
    QCOMPARE(rowOf(reported, 0).mid(0, 5), rowOf(tables, 0).mid(0, 5));
    QCOMPARE(rowOf(reported, 15).mid(0, 9), QStringList({src2, "results", "1", "0", "0", "1", "0", "0", "1"}));
    // The merge's check finds the rows the preview warned of.
    QCOMPARE(rowOf(reported, 0).mid(9), QStringList({"0", "2", "done"}));
    QVERIFY(child<QLabel>(report, "lbReportInfo")->text().contains(dest));

    const QString files = window.lastMergeReportFiles();
    QVERIFY2(files.startsWith(m_home.filePath("log/reports/merge_")), qPrintable(files));
    const QStringList lines = linesOf(files + ".csv");
    QCOMPARE(lines.size(), 19);
    // (the two references_ columns are the reference check's business)
    QVERIFY2(lines.at(1).startsWith(src1 + ";defects;2;2;0;0;0;0;0;") && lines.at(1).endsWith(";done"),
             qPrintable(lines.at(1)));
    QCOMPARE(lines.at(16), QStringLiteral("%1;results;1;0;0;1;0;0;1;0;0;done").arg(src2));
    const QStringList settled = linesOf(files + "_conflicts.csv");
    QCOMPARE(settled.size(), 2);
    QVERIFY2(settled.at(1).startsWith(src2 + ";results;") && settled.at(1).endsWith(";left_out;operator;"),
             qPrintable(settled.at(1)));
    QVERIFY(linesOf(files + "_run.csv").contains("status;done"));
}

void tst_MergePreviewDialog::cancelStopsThePreview()
{
    const QString src = TestDatabase::uniqueName("previewdlg_src");
    const QString dest = TestDatabase::uniqueName("previewdlg_dest");
    m_databases = QStringList{src, dest};
    for (const QString &db : qAsConst(m_databases))
        QCOMPARE(createKvt(db), QString());
    QCOMPARE(fillSmall(src, 1), QString());

    MainWin window;
    connectPanel(&window);
    setFields(window, {src}, dest);
    auto *dialog = window.findChild<dlgMergePreview *>();
    QSignalSpy ended(dialog, &dlgMergePreview::previewEnded);
    child<QAction>(&window, "actionPreview")->trigger();
    auto *cancel = child<QPushButton>(dialog, "btnCancelPreview");
    QVERIFY(cancel->isVisible() && cancel->isEnabled());
    QVERIFY(!child<QPushButton>(dialog, "btnMergeFromPreview")->isEnabled());
    cancel->click();
    QVERIFY(ended.wait(60000));
    QVERIFY(!cancel->isVisible());
    QVERIFY2(child<QLabel>(dialog, "lbPreviewStatus")->text().contains("cancelled"),
             qPrintable(child<QLabel>(dialog, "lbPreviewStatus")->text()));
    QCOMPARE(dialog->preview()->report().status(), MergeReport::RunStatus::Stopped);

    // Without a destination the preview does not start, as the merge would not.
    child<QLineEdit>(&window, "edToTable")->clear();
    dialog->hide();
    child<QAction>(&window, "actionPreview")->trigger();
    QVERIFY(!dialog->isVisible());
}

QTEST_MAIN(tst_MergePreviewDialog)
#include "tst_mergepreviewdialog.moc"
