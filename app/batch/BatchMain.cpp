#include "BatchMain.h"

#include "BatchCommandLine.h"
#include "BatchJournalCommands.h"
#include "BatchRunner.h"
#include "StopSignals.h"
#include "PLocal8Bit.h"
#include "auxFunc.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#include <unistd.h>

namespace {

int runBatch(const BatchOptions &options, QTextStream &out, QTextStream &err)
{
    // The same start-up as the window's: names, codec, log file, banner, language.
    initApplication();
    if (options.command != BatchCommand::Merge)
        return int(BatchJournalCommands(options, out, err).run());

    BatchRunner runner(options, out, err,
                       isatty(STDERR_FILENO) ? BatchProgress::Style::Updating
                                             : BatchProgress::Style::Lines);
    StopSignals stopSignals;
    QObject::connect(&stopSignals, &StopSignals::received, &runner, &BatchRunner::interrupt);
    return int(runner.run());
}

} // namespace

QStringList commandLineArguments(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << PLocal8Bit::decode(argv[i]);
    return arguments;
}

int runWithoutWindow(int &argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kvtMergeDB"));
    // Read before the program makes Windows-1251 its locale codec: the command line,
    // the environment and the console speak the system's own encoding.
    const QStringList arguments = commandLineArguments(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    PLocal8Bit::setStreamEncoding(out);
    PLocal8Bit::setStreamEncoding(err);

    BatchCommandLine commandLine;
    switch (commandLine.parse(arguments, QProcessEnvironment::systemEnvironment())) {
    case BatchCommandLine::Request::ShowHelp:
        out << commandLine.helpText();
        return int(BatchExit::Merged);
    case BatchCommandLine::Request::ShowVersion:
        out << BatchCommandLine::versionText() << '\n';
        return int(BatchExit::Merged);
    case BatchCommandLine::Request::Invalid:
        err << "kvtmerge: " << commandLine.errorText() << '\n'
            << QStringLiteral("Try 'kvtmerge --help'.") << '\n';
        return int(BatchExit::Usage);
    case BatchCommandLine::Request::RunBatch:
        break;
    }
    return runBatch(commandLine.options(), out, err);
}
