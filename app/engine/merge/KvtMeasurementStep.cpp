#include "KvtMeasurementStep.h"

#include "KvtChunkedCopy.h"
#include "KvtKeyMapStep.h"
#include "KvtRowMerge.h"
#include "KvtRunJournal.h"
#include "KvtRunReport.h"
#include "KvtSourceKey.h"
#include "PLog.h"

KvtStepResult KvtMeasurementStep::merge()
{
    const kvtTableName table = m_run.sql().table();
    if (!m_keyMap && !m_report.insertedBefore(m_run, table))
        return KvtStepResult::RowError;
    m_report.startTableLog();
    std::optional<KvtStepResult> result;
    if (m_run.options.setBasedMeasurements && m_run.sourceKey().usable())
        result = copyOnServer();
    if (!result)
        result = copyPerRow();
    if (*result == KvtStepResult::Done && !m_keyMap)
        m_report.insertedAfter(m_run, table);
    return *result;
}

KvtStepResult KvtMeasurementStep::copyPerRow()
{
    if (m_keyMap && !m_keyMap->startRows())
        return KvtStepResult::RowError;
    KvtStepResult result = m_rows.readSourceTable();
    if (!m_rows.flushJournal() && result == KvtStepResult::Done)
        result = KvtStepResult::RowError;
    if (m_keyMap)
        m_keyMap->endRows();
    return result;
}

// Progress counts the source rows handled, once per chunk; a stop is taken between
// chunks.
std::optional<KvtStepResult> KvtMeasurementStep::copyOnServer()
{
    const KvtTableSql &sql = m_run.sql();
    KvtSourceKey &key = m_run.sourceKey();
    // Window functions only where every compared column is partitioned exactly.
    bool window = m_run.options.windowFunctions;
    for (const QString &column : sql.comparedColumns()) {
        const QString type = key.dataType(column);
        window = window && (type.isEmpty() || KvtChunkSql::isFixedSizeType(type));
    }
    KvtChunkedCopy copy(m_run.db, sql, m_run.source, m_run.destination, key.columns(),
                        window ? KvtChunkSql::EarlierDuplicates::Window : KvtChunkSql::EarlierDuplicates::Probe);
    if (m_journal.journaling())
        copy.setJournal(m_journal.journal(), m_journal.run(),
                        m_journal.ids() == KvtRunJournal::Ids::Returning ? KvtChunkedCopy::InsertedIds::Returning
                                                                          : KvtChunkedCopy::InsertedIds::ReadBack);
    if (m_keyMap)
        copy.setTranslation(KvtReferenceSql::translation(m_keyMap->map(), KvtRelations::among(sql.copiedColumns()),
                                                         QStringLiteral("s")));
    switch (copy.open(m_run.options.chunkRows, m_run.options.chunkBytes)) {
    case KvtChunkedCopy::OpenResult::NotUsable:
        return std::nullopt;
    case KvtChunkedCopy::OpenResult::Failed:
        m_run.fail(copy.error());
        return KvtStepResult::SourceError;
    case KvtChunkedCopy::OpenResult::Ready:
        break;
    }
    PLOG_INFO << tr(sql.description().processMessage);
    PLOG_DEBUG << "copied on the server, " << copy.chunkRows() << " rows a chunk, "
               << (window ? "window functions" : "earlier-row probe");
    copy.setFirstMismatchedRows(KvtRunReport::loggedRows);
    KvtStepResult result = KvtStepResult::Done;
    int handled = 0;
    while (!copy.atEnd()) {
        if (m_run.stopped()) {
            result = KvtStepResult::Stopped;
            break;
        }
        int rows = 0;
        if (!copy.copyNext(rows)) {
            m_run.fail(copy.error());
            result = KvtStepResult::RowError;
            break;
        }
        handled += rows;
        m_run.counts().inserted += copy.copiedRows();
        m_run.counts().present += rows - copy.copiedRows();
        m_run.events.progress(handled);
    }
    // The references of the rows inserted, counted chunk by chunk.
    if (m_keyMap) {
        for (const qlonglong id : copy.firstMismatched())
            m_report.logMismatch(m_run, sql.table(), tr("source ID %1").arg(id), QString(), QString(),
                                 KvtReferenceSql::Mismatch::OtherContent);
        m_report.addReferenceCounts(m_run, sql.table(), copy.translatedRows(), copy.mismatchedRows());
    }
    return result;
}
