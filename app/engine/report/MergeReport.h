#ifndef MERGEREPORT_H
#define MERGEREPORT_H

#include "global_vars.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

// What one merge did, or what a preview expects it to do: per named source database and
// merged table the rows read, inserted, already present and in conflict, how each
// conflict was settled, the errors, and when and how the run ended.
//
// Every named source gets its nine table entries, also the ones the merge skips (the
// destination's own name, a repeat). The worker fills the counts as it goes; the owner
// of the report writes it (MergeReportWriter) when the run has ended.
class MergeReport
{
public:
    enum class RunStatus { Running, Done, Stopped, Failed, Preview };
    enum class TableStatus { NotReached, Running, Done, Stopped, Failed, Skipped, Preview };
    enum class Decision { Replaced, AddedNewKey, LeftOut };
    enum class DecidedBy { Operator, StandingChoice, Policy, DeviceRule };
    enum class Mode { Plain, KeepReferences };

    struct TableCounts {
        kvtTableName table = tnDefects;
        qint64 rows = 0;
        qint64 inserted = 0;
        qint64 present = 0;
        qint64 conflicts = 0;
        qint64 replaced = 0;
        qint64 addedNewKey = 0;
        qint64 leftOut = 0;
        qint64 referencesTranslated = 0;
        qint64 referencesMismatched = 0;
        TableStatus status = TableStatus::NotReached;
    };

    struct Source {
        QString name;
        bool skipped = false;
        QVector<TableCounts> tables; // the nine tables, in merge order
    };

    struct Conflict {
        QString source;
        kvtTableName table = tnDefectRef;
        QString key;
        Decision decision = Decision::LeftOut;
        DecidedBy decidedBy = DecidedBy::Operator;
        QString newKey; // the key of an added record, else empty
    };

    // The nine merged tables in the order the merge visits them.
    static const QVector<kvtTableName> &tableOrder();
    // Positions in `sources` of the databases a merge into `destination` visits, in order:
    // every name once, the destination's own name never (exact, case-sensitive texts).
    static QVector<int> mergedSources(const QString &destination, const QStringList &sources);

    MergeReport() = default;
    // A report of a run that starts now; every table of every merged source is
    // NotReached (Preview for a preview), those of the others Skipped.
    MergeReport(const QString &destination, const QStringList &sources, bool preview = false);

    QString destination() const { return m_destination; }
    QStringList sourceNames() const;
    const QVector<Source> &sources() const { return m_sources; }
    // Counts of a table of the source at position `source` of the named list.
    TableCounts &table(int source, kvtTableName table);
    const TableCounts &table(int source, kvtTableName table) const;

    // Adds a settled conflict to its table's counts and to the list of conflicts.
    void addConflict(int source, const Conflict &conflict);
    const QVector<Conflict> &conflicts() const { return m_conflicts; }

    void addError(const QString &text);
    QStringList errors() const { return m_errors; }

    // Ends the run: every table still Running takes the run's end (Stopped or Failed;
    // Done for a finished run). Tables never reached stay NotReached.
    void finish(RunStatus status, const QDateTime &end = QDateTime::currentDateTime());

    RunStatus status() const { return m_status; }
    QDateTime start() const { return m_start; }
    QDateTime end() const { return m_end; }
    void setStart(const QDateTime &start) { m_start = start; }

    Mode mode() const { return m_mode; }
    void setMode(Mode mode) { m_mode = mode; }
    // How the measurement tables were copied (for example "set_based").
    QString copyVariant() const { return m_copyVariant; }
    void setCopyVariant(const QString &variant) { m_copyVariant = variant; }
    // The server as host:port.
    QString server() const { return m_server; }
    void setServer(const QString &server) { m_server = server; }

    // The texts of the report's files.
    static QString statusText(RunStatus status);
    static QString statusText(TableStatus status);
    static QString decisionText(Decision decision);
    static QString decidedByText(DecidedBy decidedBy);
    static QString modeText(Mode mode);

private:
    QString m_destination;
    QVector<Source> m_sources;
    QVector<Conflict> m_conflicts;
    QStringList m_errors;
    RunStatus m_status = RunStatus::Running;
    QDateTime m_start;
    QDateTime m_end;
    Mode m_mode = Mode::Plain;
    QString m_copyVariant;
    QString m_server;
};

#endif // MERGEREPORT_H
