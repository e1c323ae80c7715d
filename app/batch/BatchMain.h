#ifndef BATCHMAIN_H
#define BATCHMAIN_H

#include <QStringList>

// The program's path without a window: --help, --version, a batch merge, or a command
// line it refuses (exit status 2). Creates a QCoreApplication, never a QApplication, so
// it needs no display. Returns the exit status.
int runWithoutWindow(int &argc, char **argv);

// The command line as texts, decoded by the system's locale.
QStringList commandLineArguments(int argc, char **argv);

#endif // BATCHMAIN_H
