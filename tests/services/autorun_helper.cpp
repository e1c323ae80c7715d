// A program for the autostart tests.
//
//     autorun_helper register   registers itself as "kvtRoundTrip", prints registered=true|false
//     autorun_helper path       prints path=<its own path>
#include "PAutoRun.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2)
        return 2;
    if (qstrcmp(argv[1], "path") == 0) {
        std::printf("path=%s\n", QCoreApplication::applicationFilePath().toUtf8().constData());
        return 0;
    }
    PAutoRun autoRun;
    autoRun.setApplicationName(QStringLiteral("kvtRoundTrip"));
    autoRun.setAutoRunState(true);
    std::printf("registered=%s\n", autoRun.isInAutoRun() ? "true" : "false");
    return 0;
}
