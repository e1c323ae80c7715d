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
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kvtMergeDB"));
    PLogger::ensureInstance()->addDestination(
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("probe-log.txt")));
    PLogger::instance->setLoggingLevel(PLogger::TraceLevel);

    setApplicationLocale();

    PTranslationLanguage *loader = PSingleton<PTranslationLanguage>::instance();
    QTextStream out(stdout);
    out.setCodec("UTF-8");
    out << "hello=" << QCoreApplication::translate("QObject", "Hello") << '\n';
    out << "installed=" << int(QCoreApplication::removeTranslator(loader->getTranslator())) << '\n';
    const QMap<QString, QString> &recorded = loader->translations();
    for (auto it = recorded.cbegin(); it != recorded.cend(); ++it)
        out << "language=" << it.key() << '=' << it.value() << '\n';
    return 0;
}
