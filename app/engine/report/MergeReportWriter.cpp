#include "MergeReportWriter.h"

#include "KvtTables.h"

#include <QDir>
#include <QFile>

namespace {

const QChar separator = QLatin1Char(';');
const QString lineEnd = QStringLiteral("\n");

QString field(const QString &text)
{
    if (!text.contains(separator) && !text.contains(QLatin1Char('"'))
        && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString line(const QStringList &fields)
{
    QStringList quoted;
    for (const QString &text : fields)
        quoted << field(text);
    return quoted.join(separator) + lineEnd;
}

QString tableName(kvtTableName table)
{
    return KvtTable::of(table).name;
}

QString number(qint64 value)
{
    return QString::number(value);
}

QString isoTime(const QDateTime &time)
{
    return time.isValid() ? time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate)
                          : QString();
}

const char *const suffixes[] = {".csv", "_conflicts.csv", "_run.csv"};

// Creates the three files of one base name, none of which may exist yet. On failure
// removes what it created and tells whether the name was taken.
bool writeAll(const QString &base, const QString (&texts)[3], bool &taken, QString &error)
{
    QStringList created;
    for (int i = 0; i < 3; ++i) {
        QFile file(base + QLatin1String(suffixes[i]));
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            taken = file.exists();
            error = file.errorString();
            for (const QString &path : qAsConst(created))
                QFile::remove(path);
            return false;
        }
        created << file.fileName();
        const QByteArray bytes = texts[i].toUtf8();
        if (file.write(bytes) != bytes.size() || !file.flush()) {
            taken = false;
            error = file.errorString();
            file.close();
            for (const QString &path : qAsConst(created))
                QFile::remove(path);
            return false;
        }
    }
    return true;
}

} // namespace

QList<QStringList> MergeReportWriter::tablesRows(const MergeReport &report)
{
    QList<QStringList> rows{{QStringLiteral("source"), QStringLiteral("table"), QStringLiteral("rows"),
                             QStringLiteral("inserted"), QStringLiteral("present"),
                             QStringLiteral("conflicts"), QStringLiteral("replaced"),
                             QStringLiteral("added_new_key"), QStringLiteral("left_out"),
                             QStringLiteral("references_translated"),
                             QStringLiteral("references_mismatched"), QStringLiteral("status")}};
    for (const MergeReport::Source &source : report.sources())
        for (const MergeReport::TableCounts &t : source.tables)
            rows.append({source.name, tableName(t.table), number(t.rows), number(t.inserted),
                         number(t.present), number(t.conflicts), number(t.replaced),
                         number(t.addedNewKey), number(t.leftOut), number(t.referencesTranslated),
                         number(t.referencesMismatched), MergeReport::statusText(t.status)});
    return rows;
}

QString MergeReportWriter::tablesText(const MergeReport &report)
{
    QString text;
    for (const QStringList &row : tablesRows(report))
        text += line(row);
    return text;
}

QString MergeReportWriter::conflictsText(const MergeReport &report)
{
    QString text = line({QStringLiteral("source"), QStringLiteral("table"), QStringLiteral("key"),
                         QStringLiteral("decision"), QStringLiteral("decided_by"),
                         QStringLiteral("new_key")});
    for (const MergeReport::Conflict &c : report.conflicts())
        text += line({c.source, tableName(c.table), c.key, MergeReport::decisionText(c.decision),
                      MergeReport::decidedByText(c.decidedBy), c.newKey});
    return text;
}

QString MergeReportWriter::runText(const MergeReport &report)
{
    QString text = line({QStringLiteral("key"), QStringLiteral("value")});
    text += line({QStringLiteral("start"), isoTime(report.start())});
    text += line({QStringLiteral("end"), isoTime(report.end())});
    text += line({QStringLiteral("status"), MergeReport::statusText(report.status())});
    text += line({QStringLiteral("mode"), MergeReport::modeText(report.mode())});
    text += line({QStringLiteral("copy_variant"), report.copyVariant()});
    text += line({QStringLiteral("server"), report.server()});
    text += line({QStringLiteral("destination"), report.destination()});
    text += line({QStringLiteral("sources"), report.sourceNames().join(QLatin1Char(','))});
    for (const QString &error : report.errors())
        text += line({QStringLiteral("error"), error});
    return text;
}

MergeReportWriter::Result MergeReportWriter::write(const MergeReport &report, const QString &folder)
{
    Result result;
    if (!QDir().mkpath(folder)) {
        result.error = QStringLiteral("cannot create the folder %1").arg(QDir::toNativeSeparators(folder));
        return result;
    }
    const QString texts[3] = {tablesText(report), conflictsText(report), runText(report)};
    const QDateTime start = report.start().isValid() ? report.start() : QDateTime::currentDateTime();
    const QString stem = QDir(folder).filePath(
        QStringLiteral("merge_") + start.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")));
    for (int n = 1; n < 10000; ++n) {
        const QString base = n == 1 ? stem : stem + QLatin1Char('_') + QString::number(n);
        bool taken = false;
        if (writeAll(base, texts, taken, result.error)) {
            result.ok = true;
            result.basePath = base;
            result.error.clear();
            return result;
        }
        if (!taken)
            return result;
    }
    return result;
}
