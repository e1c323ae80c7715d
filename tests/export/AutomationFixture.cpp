#include "AutomationFixture.h"

#include "PAutomationFactory.h"
#include "PDesktopSpreadsheet.h"
#include "RecordingAutomation.h"

AutomationFixture::AutomationFixture(Server server)
    : m_server(server)
{
    PAutomationFactory::setCreator([this](const QString &control, QObject *parent) -> PAutomationObject * {
        m_calls->append(QStringLiteral("create ") + control);
        if (m_server == NoServer)
            return nullptr;
        ++m_started;
        PExcelApplication *application = m_server == SpreadsheetModel ? new PExcelApplication : nullptr;
        m_application = application;
        return new RecordingAutomation(application, m_calls, parent);
    });
    const auto opened = m_opened;
    PDesktopSpreadsheet::setOpener([opened](const QString &path) {
        opened->append(path);
        return true;
    });
    PDesktopSpreadsheet::setOutputDirectory(m_dir.path());
}

AutomationFixture::~AutomationFixture()
{
    PAutomationFactory::setCreator({});
    // A model that outlives the fixture must still not start a desktop program.
    PDesktopSpreadsheet::setOpener([](const QString &) { return false; });
    PDesktopSpreadsheet::setOutputDirectory(QString());
}
