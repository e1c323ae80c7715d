#include "ConnectionPanel.h"

#include <QCoreApplication>
#include <QObject>

namespace ConnectionPanel {

MissingInput firstMissingInput(const QString &driver, const QString &dbName, const QString &host)
{
    if (driver.isEmpty())
        return MissingInput::NoDriver;
    if (dbName.isEmpty())
        return MissingInput::NoDatabaseName;
    if (host.isEmpty())
        return MissingInput::NoHost;
    return MissingInput::NothingMissing;
}

QString boxText(MissingInput missing)
{
    switch (missing) {
    case MissingInput::NoDriver:
        return QObject::tr("There is no db driver selected!");
    case MissingInput::NoDatabaseName:
        return QObject::tr("Please enter the database name!");
    case MissingInput::NoHost:
        return QObject::tr("Please enter server IP (host)");
    case MissingInput::NothingMissing:
        break;
    }
    return QString();
}

QString statusText(MissingInput missing)
{
    switch (missing) {
    case MissingInput::NoDriver:
        return QCoreApplication::translate("MainWin", "There is no db driver selected");
    case MissingInput::NoDatabaseName:
        return QCoreApplication::translate("MainWin", "Please enter the database name");
    case MissingInput::NoHost:
        return QCoreApplication::translate("MainWin", "Please enter server IP (host)");
    case MissingInput::NothingMissing:
        break;
    }
    return QString();
}

} // namespace ConnectionPanel
