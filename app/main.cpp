#include "WidgetCreation.h"
#include "auxFunc.h"
#include "version.h"

#include <QApplication>
#include <QCommandLineParser>

namespace {

// --help and --version are answered with a core application object only, so that they
// need no display; both end the process. Other arguments, Qt's own options such as
// -platform among them, are left to QApplication.
void answerInformationOptions(int &argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    QCommandLineParser parser;
    // "-reverse" is Qt's option, not -r -e -v ...
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral("Merges KVT inspection databases into one."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.parse(arguments);
    if (!parser.isSet(version) && !parser.isSet(help))
        return;
    QCoreApplication information(argc, argv);
    if (parser.isSet(version))
        parser.showVersion();
    parser.showHelp();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication::setApplicationName(QStringLiteral("kvtMergeDB"));
    QApplication::setApplicationVersion(kvtVersionNumbers());
    answerInformationOptions(argc, argv);
    // 1. The application.
    QApplication app(argc, argv);
    initAppResources();
    // 2. to 6.: names (the log file, the settings and the translation lookup depend on
    // them), codec, log file, banner, and the interface language before any window.
    initApplication();
    // 7.
    if (!WidgetCreation::instance)
        WidgetCreation::instance = new WidgetCreation;
    WidgetCreation::instance->createWindowMain();
    // 8. Closing the main window (delete-on-close, the last window) ends the loop.
    return app.exec();
}
