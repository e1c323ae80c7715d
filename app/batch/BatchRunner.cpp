#include "BatchRunner.h"

#include "AlignedTable.h"
#include "KvtConnection.h"
#include "PLog.h"

#include <QSqlDatabase>
#include <QTextStream>

namespace {

QString keyOfConflict(const QString &conflictQuery)
{
    return conflictQuery.mid(conflictQuery.lastIndexOf(QLatin1Char('=')) + 1);
}

QString decisionText(const BatchConflicts &conflicts)
{
    switch (conflicts.decision()) {
    case BatchConflicts::Decision::Replaced: return QStringLiteral("replaced");
    case BatchConflicts::Decision::AddedNewKey: return QStringLiteral("added under key ") + conflicts.newKey();
    case BatchConflicts::Decision::LeftOut: break;
    }
    return QStringLiteral("left out");
}

} // namespace

BatchRunner::BatchRunner(const BatchOptions &options, QTextStream &out, QTextStream &err,
                         BatchProgress::Style progressStyle, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_out(out)
    , m_err(err)
    , m_progress(err, options.quiet ? BatchProgress::Style::Silent : progressStyle)
    , m_conflicts(options.onConflict)
{
    const auto queued = Qt::QueuedConnection;
    connect(&m_merger, &KvtMerger::sendCurrentDB, this,
            [this](const QString &db) { m_currentSource = db; }, queued);
    connect(&m_merger, &KvtMerger::setStatusText, this, &BatchRunner::stepStarted, queued);
    connect(&m_merger, &KvtMerger::sendProgressBarMaxValue, this, [this](int rows) {
        m_progress.stepSize(rows);
        if (!m_steps.isEmpty())
            m_steps.last()[2] = QString::number(rows);
    }, queued);
    connect(&m_merger, &KvtMerger::sendProgressBarCurrentValue, this,
            [this](int rows) { m_progress.rowsHandled(rows); }, queued);
    connect(&m_merger, &KvtMerger::sqlErr, this, &BatchRunner::onSqlError, queued);
    connect(&m_merger, &KvtMerger::differentRecordsInTbs, this, &BatchRunner::onConflict, queued);
    connect(&m_merger, &QThread::finished, &m_loop, &QEventLoop::quit, queued);
}

BatchRunner::~BatchRunner()
{
    m_merger.wait();
}

BatchExit BatchRunner::run()
{
    QStringList skipped;
    const QStringList sources = m_options.sourcesToMerge(&skipped);
    reportSkippedSources(skipped);
    if (!connectToServer())
        return m_status;
    PLOG_INFO << "batch merge into" << m_options.destination << "of" << sources.join(QLatin1String(", "))
              << ", on conflict:" << conflictPolicyName(m_options.onConflict);

    m_merger.setStopFlag(false);
    m_merger.setCurrentDataBaseDestination(m_options.destination);
    m_merger.setDBList(sources);
    m_merger.start();
    m_merger.setPriority(QThread::LowestPriority);
    m_loop.exec();
    m_merger.wait();
    m_progress.finish();
    if (m_interrupted)
        m_status = BatchExit::Interrupted;
    printSummary();
    PLOG_INFO << "batch merge ended with status" << int(m_status);
    return m_status;
}

bool BatchRunner::connectToServer()
{
    KvtConnectionSettings settings;
    settings.host = m_options.host;
    settings.port = m_options.port;
    settings.user = m_options.user;
    settings.password = m_options.password;
    settings.security = m_options.security;
    const KvtSqlStatus status = openKvtConnection(settings);
    if (status)
        return true;
    fail(BatchExit::Failed, QStringLiteral("cannot connect to %1:%2 as %3: %4")
                                .arg(m_options.host, QString::number(m_options.port), m_options.user,
                                     status.text().trimmed()));
    return false;
}

void BatchRunner::reportSkippedSources(const QStringList &skipped)
{
    for (const QString &name : skipped) {
        const QString text = name == m_options.destination
                                 ? QStringLiteral("source %1 skipped: it is the destination").arg(name)
                                 : QStringLiteral("source %1 skipped: it is named more than once").arg(name);
        PLOG_WARN << text;
        m_err << "kvtmerge: " << text << '\n';
    }
    m_err.flush();
}

void BatchRunner::interrupt()
{
    if (m_interrupted)
        return;
    m_interrupted = true;
    PLOG_WARN << "batch merge interrupted: stopping at the next step";
    stopWorker();
}

void BatchRunner::stopWorker()
{
    m_merger.requestStop();
}

void BatchRunner::onSqlError(const QString &text, const QString &code)
{
    fail(BatchExit::Failed, code.isEmpty() || code == QLatin1String("0")
                                ? text
                                : QStringLiteral("%1 (code %2)").arg(text, code));
}

void BatchRunner::onConflict(kvtTableName table, const QString &srcQuery, const QString &destQuery)
{
    Q_UNUSED(destQuery)
    if (m_merger.stopFlag()) {
        m_merger.resumeThread(); // the run is ending: the record is left out
        return;
    }
    const BatchConflicts::Outcome outcome =
        m_conflicts.settle(table, m_currentSource, m_options.destination, srcQuery);
    const QString where = QStringLiteral("%1.%2, key %3")
                              .arg(m_currentSource, m_conflicts.tableName(), keyOfConflict(srcQuery));
    switch (outcome) {
    case BatchConflicts::Outcome::Settled:
        PLOG_INFO << "conflict in" << where << "settled:" << decisionText(m_conflicts) ;
        m_merger.resumeThread();
        return;
    case BatchConflicts::Outcome::Unsettled:
        fail(BatchExit::Conflict, QStringLiteral("conflict in %1: the destination holds another record; stopped "
                                     "(--on-conflict leave, replace or new-key settle conflicts)")
                                      .arg(where));
        break;
    case BatchConflicts::Outcome::Failed:
        fail(BatchExit::Failed, QStringLiteral("conflict in %1 not settled: %2").arg(where, m_conflicts.message()));
        break;
    }
    stopWorker();
}

// The first failure decides the status; later ones are still reported.
void BatchRunner::fail(BatchExit status, const QString &message)
{
    if (m_status == BatchExit::Merged)
        m_status = status;
    PLOG_ERROR << message;
    m_progress.finish();
    m_err << "kvtmerge: " << message << '\n';
    m_err.flush();
}

void BatchRunner::stepStarted(const QString &step)
{
    m_progress.stepStarted(m_currentSource, step);
    if (!m_steps.isEmpty())
        m_steps.last()[3] = QStringLiteral("done");
    const QString prefix = m_currentSource + QLatin1Char('.');
    m_steps.append({m_currentSource, step.startsWith(prefix) ? step.mid(prefix.size()) : step,
                    QStringLiteral("0"), QString()});
}

// The table steps of the run in aligned columns; the last one ended as the run did.
void BatchRunner::printSummary()
{
    if (!m_steps.isEmpty()) {
        m_steps.last()[3] = m_status == BatchExit::Merged ? QStringLiteral("done")
                            : m_status == BatchExit::Failed ? QStringLiteral("failed")
                                                            : QStringLiteral("stopped");
    }
    m_out << alignedTable(QList<QStringList>{{QStringLiteral("source"), QStringLiteral("table"),
                                              QStringLiteral("rows"), QStringLiteral("status")}}
                          + m_steps);
    m_out.flush();
}
