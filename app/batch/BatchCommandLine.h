#ifndef BATCHCOMMANDLINE_H
#define BATCHCOMMANDLINE_H

#include "BatchOptions.h"

#include <QCommandLineParser>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// The program's command line. Without arguments (or with only Qt's own window options)
// the program opens its window; --batch merges without one:
//
//     kvtmerge --batch --host H [--port P] --user U --destination DB --source DB
//              [--source DB ...] [--on-conflict ask-fail|leave|replace|new-key]
//              [--keep-references] [--dry-run] [--report FILE] [--password-file FILE] [--ssl-ca FILE ...]
//              [--journal FILE] [--quiet]
//     kvtmerge --batch --host H [--port P] --user U --list-runs | --undo RUN_ID
//              | --forget-runs-before DATE [--journal FILE] ...
//     kvtmerge --help | --version
//
// The password comes from KVT_DB_PASSWORD or the first line of --password-file; there is
// no password option, since a command line is visible to every user.
class BatchCommandLine
{
public:
    enum class Request { RunBatch, ShowHelp, ShowVersion, Invalid };

    // The environment variable holding the password.
    static const char *const passwordVariable;

    BatchCommandLine();

    // True when the arguments (argv[0] first) are for the window-less path: --batch,
    // --help, --version, or anything the window does not take, which that path then
    // refuses. Qt's own window options (-platform, -style, ...) are the window's.
    static bool wantsConsole(const QStringList &arguments);

    // Parses the arguments (argv[0] first); the password is looked up in `environment`
    // and, for --password-file, read from the file. On Invalid, errorText() says why.
    Request parse(const QStringList &arguments, const QProcessEnvironment &environment);

    const BatchOptions &options() const { return m_options; }
    QString errorText() const { return m_error; }
    // Usage, every option, the password rule and the exit statuses. Needs the
    // application object (for the program's name in the usage line).
    QString helpText() const;
    static QString versionText();

private:
    Request fail(const QString &error);
    Request readOptions(const QProcessEnvironment &environment);
    bool readCommand();
    bool readPassword(const QProcessEnvironment &environment);

    QCommandLineParser m_parser;
    BatchOptions m_options;
    QString m_error;
};

#endif // BATCHCOMMANDLINE_H
