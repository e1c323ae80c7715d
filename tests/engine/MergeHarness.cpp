#include "MergeHarness.h"

#include <QSignalSpy>

MergeHarness::MergeHarness(QObject *parent)
    : QObject(parent)
{
    const auto queued = Qt::QueuedConnection;
    connect(&m_merger, &KvtMerger::sendCurrentDB, this,
            [this](const QString &db) { events << QStringLiteral("db:") + db; }, queued);
    connect(&m_merger, &KvtMerger::setStatusText, this,
            [this](const QString &text) { events << QStringLiteral("status:") + text; }, queued);
    connect(&m_merger, &KvtMerger::sendProgressBarMaxValue, this, [this](int rows) {
        events << QStringLiteral("max:%1").arg(rows);
        progress.append(QVector<int>());
    }, queued);
    connect(&m_merger, &KvtMerger::sendProgressBarCurrentValue, this, &MergeHarness::onProgress,
            queued);
    connect(&m_merger, &KvtMerger::sendCurrentFinishedDB, this,
            [this](const QString &db) { events << QStringLiteral("done:") + db; }, queued);
    connect(&m_merger, &KvtMerger::sqlErr, this, [this](const QString &msg, const QString &code) {
        events << QStringLiteral("sqlErr:") + code;
        errorTexts << msg;
    }, queued);
    connect(&m_merger, &KvtMerger::errHasOccured, this,
            [this]() { events << QStringLiteral("err"); }, queued);
    connect(&m_merger, &KvtMerger::conflictHandedOver, this, &MergeHarness::onConflict, queued);
    connect(&m_merger, &QThread::finished, this, &MergeHarness::runFinished, queued);
}

MergeHarness::~MergeHarness()
{
    m_merger.wait();
}

bool MergeHarness::run(const QString &destination, const QStringList &sources, int timeoutMs)
{
    events.clear();
    errorTexts.clear();
    conflicts.clear();
    progress.clear();
    QSignalSpy finished(this, &MergeHarness::runFinished);
    m_merger.setStopFlag(false);
    m_merger.setStandingChoice(m_standingChoice);
    m_merger.setCurrentDataBaseDestination(destination);
    m_merger.setDBList(sources);
    m_merger.start();
    m_merger.setPriority(QThread::LowestPriority);
    const bool ended = finished.wait(timeoutMs);
    m_merger.wait();
    return ended;
}

void MergeHarness::onConflict(const MergeConflict &conflict)
{
    conflicts << Conflict{conflict.table, conflict.sourceSelect, conflict.destinationSelect, m_merger.isPaused(),
                          conflict};
    events << QStringLiteral("conflict:%1").arg(int(conflict.table));
    ConflictHandOver::answer(m_merger, *this, conflict);
}

// The handler records its decision itself (settleConflict), or arranges the resume.
ConflictSettlement MergeHarness::settle(const MergeConflict &)
{
    const bool resumeNow = m_conflictHandler ? m_conflictHandler(conflicts.last()) : true;
    return ConflictSettlement::of(resumeNow ? ConflictSettlement::Outcome::Unrecorded
                                            : ConflictSettlement::Outcome::Deferred);
}

void MergeHarness::onProgress(int value)
{
    if (!progress.isEmpty())
        progress.last().append(value);
    if (m_progressHook)
        m_progressHook(value);
}

QStringList cleanDatabaseEvents(const QString &name, const QVector<int> &rowsPerTable)
{
    static const char *const tables[] = {"defects", "graphics", "defectref", "dettypes", "device",
                                         "factory", "results",  "humans",    "zones"};
    QStringList events{QStringLiteral("db:") + name};
    for (int i = 0; i < 9; ++i) {
        events << QStringLiteral("status:%1.%2").arg(name, QLatin1String(tables[i]));
        events << QStringLiteral("max:%1").arg(rowsPerTable.value(i));
    }
    events << QStringLiteral("done:") + name;
    return events;
}
