// Runs the program's interface-language step in a process of its own and prints what
// it left behind, for tst_appLocale. The system locale comes from the environment
// (LC_ALL), which Qt reads once per process; the translations folder is
// share/translations beside this executable, as for the program.
//
// Output, UTF-8, one item a line:
//     installed=<0|1>           the loader's translator is installed in the application
//     hello=<text>              QObject "Hello" as the application translates it
//     language=<name>=<path>    one line per recorded translation file
#include "auxFunc.h"
#include "PLog.h"
#include "PSingleton.h"
#include "PTranslationLanguage.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kvtMergeDB"));
    PLogger::ensureInstance()->addDestination(
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("probe-log.txt")));
    PLogger::instance->setLoggingLevel(PLogger::TraceLevel);

    setApplicationLocale();

    PTranslationLanguage *loader = PSingleton<PTranslationLanguage>::instance();
    QString out = QStringLiteral("hello=") + QCoreApplication::translate("QObject", "Hello") + QLatin1Char('\n');
    out += QStringLiteral("installed=%1\n").arg(int(QCoreApplication::removeTranslator(loader->getTranslator())));
    const QMap<QString, QString> &recorded = loader->translations();
    for (auto it = recorded.cbegin(); it != recorded.cend(); ++it)
        out += QStringLiteral("language=") + it.key() + QLatin1Char('=') + it.value() + QLatin1Char('\n');
    std::fputs(out.toUtf8().constData(), stdout); // UTF-8, whatever the locale's encoding
    return 0;
}
