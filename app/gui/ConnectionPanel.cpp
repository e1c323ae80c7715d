#include "ConnectionPanel.h"

#include <QCoreApplication>
#include <QObject>

namespace ConnectionPanel {

MissingInput firstMissingInput(const QString &driver, const QString &dbName, const QString &host)
{
    if (driver.isEmpty())
        return NoDriver;
    if (dbName.isEmpty())
        return NoDatabaseName;
    if (host.isEmpty())
        return NoHost;
    return NothingMissing;
}

QString boxText(MissingInput missing)
{
    switch (missing) {
    case NoDriver:
        return QObject::tr("There is no db driver selected!");
    case NoDatabaseName:
        return QObject::tr("Please enter the database name!");
    case NoHost:
        return QObject::tr("Please enter server IP (host)");
    case NothingMissing:
        break;
    }
    return QString();
}

QString statusText(MissingInput missing)
{
    switch (missing) {
    case NoDriver:
        return QCoreApplication::translate("MainWin", "There is no db driver selected");
    case NoDatabaseName:
        return QCoreApplication::translate("MainWin", "Please enter the database name");
    case NoHost:
        return QCoreApplication::translate("MainWin", "Please enter server IP (host)");
    case NothingMissing:
        break;
    }
    return QString();
}

} // namespace ConnectionPanel
