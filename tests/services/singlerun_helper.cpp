// A second process for the single-instance tests.
//
//     singlerun_helper <key> check   asks once, reports, ends
//     singlerun_helper <key> hold    asks once, reports, keeps the marker until its
//                                    standard input closes, then ends normally
//     singlerun_helper <name> occupy  makes a bare segment of that name (no PSingleRun),
//                                    reports result=occupied|failed, holds it like hold
//
// The report is one line per item on standard output:
//     result=alone|running, then for a box shown: title=..., text=..., buttons=<n>
#include "ModalAnswerer.h"
#include "PSingleRun.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QSharedMemory>

#include <cstdio>
#include <iostream>
#include <string>

namespace {

void report(const char *item, const QString &value)
{
    std::printf("%s=%s\n", item, value.toUtf8().constData());
    std::fflush(stdout);
}

void waitForEndOfInput()
{
    std::string line;
    while (std::getline(std::cin, line)) {
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QString key = QString::fromLocal8Bit(argv[1]);
    const bool hold = qstrcmp(argv[2], "hold") == 0;
    if (qstrcmp(argv[2], "occupy") == 0) {
        QSharedMemory segment(key);
        report("result", segment.create(PSingleRun::segmentSize) ? QStringLiteral("occupied")
                                                                 : QStringLiteral("failed"));
        waitForEndOfInput();
        return 0;
    }

    int buttons = -1;
    ModalAnswerer answerer;
    answerer.handle([&buttons](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box) {
            modal->close();
            return;
        }
        buttons = int(box->standardButtons());
        box->button(QMessageBox::Ok)->click();
    });

    PSingleRun singleRun;
    const bool running = singleRun.isRunningNow(key);
    if (answerer.answered() > 0) {
        report("title", answerer.lastTitle());
        report("text", answerer.lastText());
        report("buttons", QString::number(buttons));
    }
    report("result", running ? QStringLiteral("running") : QStringLiteral("alone"));

    if (hold)
        waitForEndOfInput();
    return 0;
}
