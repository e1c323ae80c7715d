#ifndef BATCHJOURNALCOMMANDS_H
#define BATCHJOURNALCOMMANDS_H

#include "BatchOptions.h"

#include <QString>

class MergeJournal;
class QTextStream;

// The journal's commands of the batch mode, on the server the options name:
//   --list-runs     one line per run of that server, newest first, tab-separated:
//                   RUN_ID, start (ISO 8601), status, destination, sources joined by ","
//                   (the status of an undone run is "undone" or "partly undone");
//   --undo RUN_ID   takes the run back (MergeUndo); what is left is listed on stdout, one
//                   line each: "left", table, identifier, reason (tab-separated);
//   --forget-runs-before DATE
//                   drops that server's runs that started before the day (local time) with
//                   what they wrote, and shrinks the file; a line on stderr says how much.
// Exit statuses: 0 listed, forgotten, or everything undone; 5 something left; 2 a run the
// journal does not hold for this server; 3 the connection, the journal or a statement failed.
class BatchJournalCommands
{
public:
    BatchJournalCommands(const BatchOptions &options, QTextStream &out, QTextStream &err);

    BatchExit run();

private:
    BatchExit listRuns(MergeJournal &journal, const QString &server);
    BatchExit undo(MergeJournal &journal, const QString &server);
    BatchExit forgetRuns(MergeJournal &journal, const QString &server);
    BatchExit fail(BatchExit status, const QString &message);

    const BatchOptions &m_options;
    QTextStream &m_out;
    QTextStream &m_err;
};

#endif // BATCHJOURNALCOMMANDS_H
