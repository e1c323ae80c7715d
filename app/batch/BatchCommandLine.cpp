#include "BatchCommandLine.h"

#include "version.h"

#include <QObject>
#include <QPair>
#include <QVector>

namespace {

const QString optBatch = QStringLiteral("batch");
const QString optHost = QStringLiteral("host");
const QString optPort = QStringLiteral("port");
const QString optUser = QStringLiteral("user");
const QString optDestination = QStringLiteral("destination");
const QString optSource = QStringLiteral("source");
const QString optOnConflict = QStringLiteral("on-conflict");
const QString optReport = QStringLiteral("report");
const QString optPasswordFile = QStringLiteral("password-file");
const QString optSslCa = QStringLiteral("ssl-ca");
const QString optSslCert = QStringLiteral("ssl-cert");
const QString optSslKey = QStringLiteral("ssl-key");
const QString optQuiet = QStringLiteral("quiet");
const QString optDryRun = QStringLiteral("dry-run");
const QString optKeepReferences = QStringLiteral("keep-references");
const QString optJournal = QStringLiteral("journal");
const QString optListRuns = QStringLiteral("list-runs");
const QString optUndo = QStringLiteral("undo");
const QString optForgetRunsBefore = QStringLiteral("forget-runs-before");
const QString optHelp = QStringLiteral("help");
const QString optVersion = QStringLiteral("version");

// Options QGuiApplication and QApplication take from the command line; those with a
// value take it as the next argument or after '='.
const char *const qtWindowOptionsWithValue[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
    "qwindowicon", "qwindowtitle", "session", "display", "geometry", "style", "stylesheet",
};
const char *const qtWindowFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync",
                                     "qmljsdebugger"};

bool isQtOption(const QString &argument, bool &takesNextArgument)
{
    takesNextArgument = false;
    if (!argument.startsWith(QLatin1Char('-')) || argument.startsWith(QLatin1String("--")))
        return false;
    const QString name = argument.mid(1).section(QLatin1Char('='), 0, 0);
    for (const char *option : qtWindowFlags)
        if (name == QLatin1String(option))
            return true;
    for (const char *option : qtWindowOptionsWithValue) {
        if (name == QLatin1String(option)) {
            takesNextArgument = !argument.contains(QLatin1Char('='));
            return true;
        }
    }
    return false;
}

} // namespace

const char *const BatchCommandLine::passwordVariable = "KVT_DB_PASSWORD";

BatchCommandLine::BatchCommandLine()
{
    m_parser.setApplicationDescription(QStringLiteral(
        "Merges KVT inspection databases. Without options it opens its window; with --batch "
        "it merges the sources into the destination without a window and prints a summary:\n"
        "  kvtmerge --batch --host H [--port P] --user U --destination DB --source DB\n"
        "           [--source DB ...] [--on-conflict POLICY] [--keep-references]\n"
        "           [--dry-run] [--report FILE]\n"
        "           [--password-file FILE] [--ssl-ca FILE ...] [--journal FILE] [--quiet]\n"
        "  kvtmerge --batch --host H [--port P] --user U --list-runs | --undo RUN_ID\n"
        "           | --forget-runs-before DATE\n"
        "           [--password-file FILE] [--ssl-ca FILE ...] [--journal FILE]"));
    m_parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    m_parser.addOptions({
        {optBatch, QStringLiteral("Merge without a window.")},
        {optHost, QStringLiteral("Server host name or address."), QStringLiteral("host")},
        {optPort, QStringLiteral("Server port (default 3306)."), QStringLiteral("port")},
        {optUser, QStringLiteral("Database user."), QStringLiteral("user")},
        {optDestination, QStringLiteral("Destination database; it must hold the KVT tables."),
         QStringLiteral("database")},
        {optSource, QStringLiteral("Source database; repeat for more, merged in the order given. "
                                "The destination's own name and repeats are skipped."),
         QStringLiteral("database")},
        {optOnConflict,
         QStringLiteral("What a conflicting reference record gets: ask-fail (default: stop at the "
                     "first conflict), leave (keep the destination's record), replace (take "
                     "the source's values), new-key (add it under the next free key; a zone "
                     "under the next zone number of its part type). Device conflicts are "
                     "always replaced."),
         QStringLiteral("policy"), QStringLiteral("ask-fail")},
        {optReport, QStringLiteral("Write the report's tables to this file, its conflicts and "
                                   "run files beside it (default: the log folder's reports/)."),
         QStringLiteral("file")},
        {optPasswordFile, QStringLiteral("Read the password from the first line of this file, "
                                      "which only its owner may read."),
         QStringLiteral("file")},
        {optSslCa, QStringLiteral("Connect with TLS, checking the server's certificate "
                               "against this CA file."),
         QStringLiteral("file")},
        {optSslCert, QStringLiteral("Client certificate for TLS (with --ssl-ca)."), QStringLiteral("file")},
        {optSslKey, QStringLiteral("Client key for TLS (with --ssl-ca)."), QStringLiteral("file")},
        {optKeepReferences, QStringLiteral("Keep references consistent: merge each source's reference "
                                           "tables first and write its measurement rows with the "
                                           "identifiers their people, part types, zones, results, "
                                           "defect references and devices have in the destination.")},
        {optDryRun, QStringLiteral("Write nothing: compute what the merge would do (the preview) "
                                "and print and write its report.")},
        {optJournal, QStringLiteral("The merge journal to record into and undo from (default: "
                                    "~/.local/share/kvtMergeDB/journal.sqlite); several users "
                                    "can share one file."),
         QStringLiteral("file")},
        {optListRuns, QStringLiteral("List the journal's runs on this server, newest first: run, "
                                     "start, status, destination, sources (tab-separated).")},
        {optUndo, QStringLiteral("Undo a run of the journal: delete the rows it inserted and "
                                 "restore the records it replaced, where nobody changed them since."),
         QStringLiteral("run")},
        {optForgetRunsBefore, QStringLiteral("Forget the journal's runs on this server that started before "
                                             "this day (YYYY-MM-DD, local time): they can no longer be "
                                             "undone, and the journal file shrinks."),
         QStringLiteral("date")},
        {optQuiet, QStringLiteral("No progress lines; the summary is printed all the same.")},
        {{QStringLiteral("h"), optHelp}, QStringLiteral("Show this help and exit.")},
        {{QStringLiteral("v"), optVersion}, QStringLiteral("Show the version and exit.")},
    });
}

bool BatchCommandLine::wantsConsole(const QStringList &arguments)
{
    for (int i = 1; i < arguments.size(); ++i) {
        bool takesNext = false;
        if (!isQtOption(arguments.at(i), takesNext))
            return true;
        if (takesNext)
            ++i;
    }
    return false;
}

BatchCommandLine::Request BatchCommandLine::parse(const QStringList &arguments,
                                                  const QProcessEnvironment &environment)
{
    m_options = BatchOptions();
    m_error.clear();
    if (!m_parser.parse(arguments))
        return fail(m_parser.errorText());
    if (m_parser.isSet(optHelp))
        return Request::ShowHelp;
    if (m_parser.isSet(optVersion))
        return Request::ShowVersion;
    if (!m_parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("Unexpected argument '%1'.").arg(m_parser.positionalArguments().constFirst()));
    if (!m_parser.isSet(optBatch)) {
        const QStringList given = m_parser.optionNames();
        return fail(given.isEmpty() ? QStringLiteral("Nothing to do.")
                                    : QStringLiteral("Option '%1' needs --batch.").arg(given.constFirst()));
    }
    return readOptions(environment);
}

BatchCommandLine::Request BatchCommandLine::readOptions(const QProcessEnvironment &environment)
{
    // A value given twice would be silently overridden: refuse it instead.
    for (const QString &single : {optHost, optPort, optUser, optDestination, optOnConflict, optReport,
                                  optJournal, optUndo, optPasswordFile, optSslCa, optSslCert, optSslKey})
        if (m_parser.values(single).size() > 1)
            return fail(QStringLiteral("Option '%1' is given more than once.").arg(single));
    if (!readCommand())
        return Request::Invalid;
    const bool merging = m_options.command == BatchCommand::Merge;
    for (const QString &required : {optHost, optUser, optDestination})
        if (m_parser.value(required).isEmpty() && (merging || required != optDestination))
            return fail(QStringLiteral("Missing option '--%1'.").arg(required));

    BatchOptions &o = m_options;
    o.host = m_parser.value(optHost);
    o.user = m_parser.value(optUser);
    o.destination = m_parser.value(optDestination);
    o.sources = m_parser.values(optSource);
    o.reportFile = m_parser.value(optReport);
    o.journalFile = m_parser.value(optJournal);
    o.security.useTls = m_parser.isSet(optSslCa);
    o.security.caFile = m_parser.value(optSslCa);
    o.security.certFile = m_parser.value(optSslCert);
    o.security.keyFile = m_parser.value(optSslKey);
    o.quiet = m_parser.isSet(optQuiet);
    o.dryRun = m_parser.isSet(optDryRun);
    o.keepReferences = m_parser.isSet(optKeepReferences);
    if (m_parser.isSet(optPort)) {
        bool ok = false;
        o.port = m_parser.value(optPort).toInt(&ok, 10);
        if (!ok || o.port < 1 || o.port > 65535)
            return fail(QStringLiteral("'%1' is not a port number.").arg(m_parser.value(optPort)));
    }
    if (!conflictPolicyFromName(m_parser.value(optOnConflict), o.onConflict))
        return fail(QStringLiteral("Unknown --on-conflict value '%1': use ask-fail, leave, replace "
                                "or new-key.").arg(m_parser.value(optOnConflict)));
    if (!o.security.useTls && (m_parser.isSet(optSslCert) || m_parser.isSet(optSslKey)))
        return fail(QStringLiteral("--ssl-cert and --ssl-key need --ssl-ca."));
    QString tlsProblem;
    if (!o.security.isUsable(&tlsProblem))
        return fail(tlsProblem);
    if (!merging) {
        // The journal's commands take the connection options only.
        return readPassword(environment) ? Request::RunBatch : Request::Invalid;
    }
    if (o.sources.isEmpty())
        return fail(QStringLiteral("No source database: give at least one --source."));
    if (o.sourcesToMerge().isEmpty())
        return fail(QStringLiteral("Nothing to merge: the destination %1 is its only source.")
                        .arg(o.destination));
    if (!readPassword(environment))
        return Request::Invalid;
    return Request::RunBatch;
}

// --list-runs, --undo RUN_ID or --forget-runs-before DATE instead of a merge; none takes
// what only a merge uses.
bool BatchCommandLine::readCommand()
{
    const QVector<QPair<QString, BatchCommand>> commands{{optListRuns, BatchCommand::ListRuns},
                                                         {optUndo, BatchCommand::Undo},
                                                         {optForgetRunsBefore, BatchCommand::ForgetRuns}};
    QStringList given;
    for (const auto &c : commands)
        if (m_parser.isSet(c.first)) {
            given << QStringLiteral("--") + c.first;
            m_options.command = c.second;
        }
    if (given.size() == 2) {
        fail(QStringLiteral("Give either %1 or %2, not both.").arg(given.at(0), given.at(1)));
        return false;
    }
    if (given.size() > 2) {
        fail(QStringLiteral("Give one of %1, not all of them.").arg(given.join(QStringLiteral(", "))));
        return false;
    }
    if (given.isEmpty())
        return true;
    const QString &command = given.first();
    for (const QString &mergeOnly : {optDestination, optSource, optOnConflict, optReport, optDryRun,
                                     optKeepReferences})
        if (m_parser.isSet(mergeOnly)) {
            fail(QStringLiteral("%1 takes no --%2.").arg(command, mergeOnly));
            return false;
        }
    if (m_options.command == BatchCommand::Undo) {
        bool ok = false;
        m_options.undoRun = m_parser.value(optUndo).toLongLong(&ok, 10);
        if (!ok || m_options.undoRun < 1) {
            fail(QStringLiteral("'%1' is not a run number: --list-runs shows them.").arg(m_parser.value(optUndo)));
            return false;
        }
    }
    if (m_options.command == BatchCommand::ForgetRuns) {
        const QDate day = QDate::fromString(m_parser.value(optForgetRunsBefore), Qt::ISODate);
        if (!day.isValid()) {
            fail(QStringLiteral("'%1' is not a date: give it as YYYY-MM-DD.").arg(m_parser.value(optForgetRunsBefore)));
            return false;
        }
        m_options.forgetBefore = QDateTime(day, QTime(0, 0));
    }
    return true;
}

bool BatchCommandLine::readPassword(const QProcessEnvironment &environment)
{
    if (m_parser.isSet(optPasswordFile)) {
        QString error;
        if (readPasswordFile(m_parser.value(optPasswordFile), m_options.password, error))
            return true;
        fail(error);
        return false;
    }
    const QString variable = QLatin1String(passwordVariable);
    if (environment.contains(variable)) {
        m_options.password = environment.value(variable);
        return true;
    }
    fail(QStringLiteral("No password: set %1 or give --password-file.").arg(variable));
    return false;
}

BatchCommandLine::Request BatchCommandLine::fail(const QString &error)
{
    m_error = error;
    return Request::Invalid;
}

QString BatchCommandLine::helpText() const
{
    return m_parser.helpText() + QLatin1Char('\n')
           + QStringLiteral(
               "Password:\n"
               "  Taken from the environment variable %1, or from the first line of\n"
               "  --password-file, which is refused when group or others can read it.\n"
               "  There is no --password option: a command line is visible to every\n"
               "  user in the process list.\n"
               "\n"
               "Exit status:\n"
               "  0  merged to the end; a dry run that ran to the end, conflicts or not;\n"
               "     an undo that undid everything\n"
               "  1  stopped at a conflict under --on-conflict ask-fail\n"
               "  2  bad usage: unknown option, missing value, no source, the destination\n"
               "     as the only source, no password, a password file others can read\n"
               "  3  the connection or an SQL statement failed (message on stderr)\n"
               "  4  interrupted by SIGINT or SIGTERM; rows already merged stay\n"
               "  5  an undo left something (changed since the merge, or needed by\n"
               "     other rows); what was left is listed on stdout\n"
               "  (--undo also ends with 0 when everything was undone and 2 for an\n"
               "  unknown run; --list-runs and --forget-runs-before end with 0 when\n"
               "  done, 2 for a bad date and 3 when the journal cannot be written.)\n")
                 .arg(QLatin1String(passwordVariable));
}

QString BatchCommandLine::versionText()
{
    return QStringLiteral("kvtmerge ") + kvtVersionNumbers();
}
