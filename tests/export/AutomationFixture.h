#ifndef AUTOMATIONFIXTURE_H
#define AUTOMATIONFIXTURE_H

#include "PExcelApplication.h"

#include <QPointer>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// Puts the spreadsheet automation under test control for its lifetime:
// servers are created as recorded spreadsheet models (or not at all, or as
// servers that give no objects), files are not opened on the desktop but
// recorded, and new workbooks are written to a temporary folder.
class AutomationFixture
{
public:
    enum Server { SpreadsheetModel, NoServer, EmptyServer };

    explicit AutomationFixture(Server server = SpreadsheetModel);
    ~AutomationFixture();
    AutomationFixture(const AutomationFixture &) = delete;
    AutomationFixture &operator=(const AutomationFixture &) = delete;

    QStringList calls() const { return *m_calls; }
    void clearCalls() { m_calls->clear(); }
    QStringList openedFiles() const { return *m_opened; }
    QString outputDirectory() const { return m_dir.path(); }
    // The spreadsheet model created last, while it lives.
    PExcelApplication *application() const { return m_application; }
    int serversStarted() const { return m_started; }

private:
    Server m_server;
    QTemporaryDir m_dir;
    std::shared_ptr<QStringList> m_calls = std::make_shared<QStringList>();
    std::shared_ptr<QStringList> m_opened = std::make_shared<QStringList>();
    QPointer<PExcelApplication> m_application;
    int m_started = 0;
};

#endif // AUTOMATIONFIXTURE_H
