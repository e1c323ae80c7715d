#ifndef BATCHOPTIONS_H
#define BATCHOPTIONS_H

#include "ConnectionSecurity.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

// What a batch run does with a conflicting reference record (a source record whose key
// the destination holds with other content). A device conflict is always replaced.
enum class ConflictPolicy {
    AskFail, // stop at the first conflict: there is no operator to ask
    Leave,   // the destination keeps its record
    Replace, // the destination record takes the source values
    NewKey   // the source record is added under the key the new-ID dialog would propose
};

// Exit statuses of the program on the command line; scripts rely on these numbers.
enum class BatchExit : int {
    Merged = 0,      // ran to the end (a dry run too, conflicts or not)
    Conflict = 1,    // stopped at an unsettled conflict (--on-conflict ask-fail)
    Usage = 2,       // bad command line, no password, or an unsafe password file
    Failed = 3,      // the connection or an SQL statement failed
    Interrupted = 4, // stopped by SIGINT or SIGTERM
    PartlyUndone = 5 // an undo left something (listed on stdout)
};

// What a batch run does.
enum class BatchCommand {
    Merge,    // merge the sources into the destination (or preview it: dryRun)
    ListRuns, // list the journal's runs of the server
    Undo,     // undo one run of the journal
    ForgetRuns // drop the journal's runs of the server that started before a date
};

// Everything a batch run needs, taken from the command line and the environment.
struct BatchOptions
{
    BatchCommand command = BatchCommand::Merge;
    qint64 undoRun = 0;         // the run to undo (BatchCommand::Undo)
    QDateTime forgetBefore;     // runs that started before it are forgotten (BatchCommand::ForgetRuns)
    QString journalFile;        // empty: the user's journal
    QString host;
    int port = 3306;
    QString user;
    QString password;
    QString destination;
    QStringList sources;        // as given, in order; repeats and the destination included
    ConflictPolicy onConflict = ConflictPolicy::AskFail;
    QString reportFile;         // empty: the log folder's reports/
    ConnectionSecurity security; // TLS: on with --ssl-ca
    bool quiet = false;
    bool dryRun = false;        // compute what the merge would do, write nothing
    bool keepReferences = false; // translate the measurement rows' references

    // The sources a run merges: the destination's own name and repeats left out, in
    // order. The names left out are appended to `skipped` when it is given.
    QStringList sourcesToMerge(QStringList *skipped = nullptr) const;
};

// Opens Qt's default connection to the server the options name, without a window; false
// with the reason in `error`.
bool openBatchConnection(const BatchOptions &options, QString &error);

// Keyword of each policy as --on-conflict takes it ("ask-fail", "leave", ...).
QString conflictPolicyName(ConflictPolicy policy);
// False when the text names no policy.
bool conflictPolicyFromName(const QString &name, ConflictPolicy &policy);

// The first line of a password file, without its line end. Refused (false, with the
// reason in `error`) when the file cannot be read or its group or others may read it:
// a password there is as public as one on the command line.
bool readPasswordFile(const QString &path, QString &password, QString &error);

#endif // BATCHOPTIONS_H
