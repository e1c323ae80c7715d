#ifndef CONNECTIONPANEL_H
#define CONNECTIONPANEL_H

#include <QString>
#include <QStringList>

// The connection panel's rules that need no window.
namespace ConnectionPanel {

// The first connection field that is missing, in the order the panel checks them.
enum class MissingInput {
    NothingMissing,
    NoDriver,
    NoDatabaseName,
    NoHost
};

MissingInput firstMissingInput(const QString &driver, const QString &dbName, const QString &host);

// The message box text (translated in context QObject) and the status text (context
// MainWin) for a missing input; empty for NothingMissing.
QString boxText(MissingInput missing);
QString statusText(MissingInput missing);

} // namespace ConnectionPanel

#endif // CONNECTIONPANEL_H
