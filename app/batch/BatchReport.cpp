#include "BatchReport.h"

#include "KvtPaths.h"
#include "MergeReport.h"
#include "MergeReportWriter.h"

#include <QDir>
#include <QFileInfo>
#include <QObject>
#include <QSaveFile>

namespace {

bool replaceFile(const QString &path, const QString &text, QString &error)
{
    QSaveFile file(path);
    const QByteArray bytes = text.toUtf8();
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    error = QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
    return false;
}

} // namespace

QString writeBatchReport(const MergeReport &report, const QString &tablesFile, QString &error)
{
    if (tablesFile.isEmpty()) {
        const MergeReportWriter::Result written =
            MergeReportWriter::write(report, KvtPaths::reportsFolder());
        error = written.error;
        return written.ok ? written.basePath + QStringLiteral(".csv") : QString();
    }
    const QFileInfo info(tablesFile);
    const QString base = info.dir().filePath(info.suffix().isEmpty() ? info.fileName()
                                                                      : info.completeBaseName());
    if (!replaceFile(tablesFile, MergeReportWriter::tablesText(report), error)
        || !replaceFile(base + QStringLiteral("_conflicts.csv"), MergeReportWriter::conflictsText(report), error)
        || !replaceFile(base + QStringLiteral("_run.csv"), MergeReportWriter::runText(report), error))
        return QString();
    return tablesFile;
}
