#include "BatchJournalCommands.h"

#include "KvtTables.h"
#include "MergeJournal.h"
#include "MergeUndo.h"
#include "PLog.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QTextStream>

BatchJournalCommands::BatchJournalCommands(const BatchOptions &options, QTextStream &out, QTextStream &err)
    : m_options(options)
    , m_out(out)
    , m_err(err)
{
}

BatchExit BatchJournalCommands::run()
{
    QString error;
    if (!openBatchConnection(m_options, error))
        return fail(BatchExit::Failed, error);
    MergeJournal journal(m_options.journalFile);
    if (!journal.open())
        return fail(BatchExit::Failed, QStringLiteral("merge journal %1: %2")
                                           .arg(QDir::toNativeSeparators(journal.file()), journal.lastError()));
    const QString server = MergeJournal::serverOf(QSqlDatabase::database());
    const BatchExit status = m_options.command == BatchCommand::ListRuns ? listRuns(journal, server)
                             : m_options.command == BatchCommand::Undo   ? undo(journal, server)
                                                                         : forgetRuns(journal, server);
    journal.releaseConnection();
    return status;
}

BatchExit BatchJournalCommands::listRuns(MergeJournal &journal, const QString &server)
{
    QVector<MergeJournal::Run> runs;
    if (!journal.runs(server, runs))
        return fail(BatchExit::Failed, QStringLiteral("merge journal: %1").arg(journal.lastError()));
    for (const MergeJournal::Run &run : qAsConst(runs))
        m_out << run.id << '\t' << run.started.toOffsetFromUtc(run.started.offsetFromUtc()).toString(Qt::ISODate)
              << '\t' << (run.undoStatus.isEmpty() ? run.status : run.undoStatus) << '\t' << run.destination
              << '\t' << run.sources.join(QLatin1Char(',')) << '\n';
    m_out.flush();
    return BatchExit::Merged;
}

BatchExit BatchJournalCommands::undo(MergeJournal &journal, const QString &server)
{
    const qlonglong id = m_options.undoRun;
    MergeJournal::Run run;
    if (!journal.run(id, run)) {
        if (!journal.lastError().isEmpty())
            return fail(BatchExit::Failed, QStringLiteral("merge journal: %1").arg(journal.lastError()));
        return fail(BatchExit::Usage, QStringLiteral("The journal holds no run %1: --list-runs shows them.").arg(id));
    }
    if (run.server != server)
        return fail(BatchExit::Usage, QStringLiteral("Run %1 merged into %2 on %3, not on %4.")
                                          .arg(QString::number(id), run.destination, run.server, server));
    MergeUndo undo(journal, QSqlDatabase::database());
    MergeUndo::Plan plan;
    if (!undo.plan(id, plan))
        return fail(BatchExit::Failed, QStringLiteral("undo of run %1: %2").arg(QString::number(id), undo.error()));
    PLOG_INFO << "batch undo of run" << id << "into" << run.destination << ":" << plan.deletes() << "to delete,"
              << plan.restores() << "to restore," << plan.left() << "to leave";
    const MergeUndo::Result result = undo.execute(plan);
    if (result.busy)
        return fail(BatchExit::Failed, result.error);
    for (const MergeUndo::Left &left : result.left)
        m_out << "left\t" << KvtTable::of(left.table).name << '\t' << left.id << '\t'
              << MergeUndo::reasonText(left.reason) << '\n';
    m_out.flush();
    if (!m_options.quiet)
        m_err << QStringLiteral("run %1: %2 rows deleted, %3 records restored, %4 left; report: %5")
                     .arg(QString::number(id), QString::number(result.deleted), QString::number(result.restored),
                          QString::number(result.left.size()), QDir::toNativeSeparators(result.reportFile))
              << '\n';
    m_err.flush();
    if (!result.ok)
        return fail(BatchExit::Failed, QStringLiteral("undo of run %1 stopped: %2").arg(QString::number(id), result.error));
    return result.complete ? BatchExit::Merged : BatchExit::PartlyUndone;
}

BatchExit BatchJournalCommands::forgetRuns(MergeJournal &journal, const QString &server)
{
    const qint64 size = QFileInfo(journal.file()).size();
    int forgotten = 0;
    if (!journal.forgetRuns(server, m_options.forgetBefore, forgotten))
        return fail(BatchExit::Failed, QStringLiteral("merge journal: %1").arg(journal.lastError()));
    const QString text = QStringLiteral("%1 runs on %2 that started before %3 forgotten; journal %4: %5 KiB, was %6 KiB")
                             .arg(QString::number(forgotten), server,
                                  m_options.forgetBefore.toString(Qt::ISODate),
                                  QDir::toNativeSeparators(journal.file()),
                                  QString::number(QFileInfo(journal.file()).size() / 1024),
                                  QString::number(size / 1024));
    PLOG_INFO << text;
    if (!m_options.quiet)
        m_err << text << '\n';
    m_err.flush();
    return BatchExit::Merged;
}

BatchExit BatchJournalCommands::fail(BatchExit status, const QString &message)
{
    PLOG_ERROR << message;
    m_err << "kvtmerge: " << message << '\n';
    m_err.flush();
    return status;
}
