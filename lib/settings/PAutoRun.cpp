#include "PAutoRun.h"

#include "PLog.h"
#include "PXdgAutostartStore.h"

#include <QCoreApplication>
#include <QDir>

PAutoRun::PAutoRun()
    : m_store(std::make_shared<PXdgAutostartStore>())
{
}

PAutoRun::PAutoRun(std::shared_ptr<PRunKeyStore> store)
    : m_store(std::move(store))
{
}

void PAutoRun::setApplicationName(QString applicationName)
{
    m_applicationName = std::move(applicationName);
}

QString PAutoRun::applicationName() const
{
    return m_applicationName;
}

bool PAutoRun::isInAutoRun() const
{
    if (!canRegister("isInAutoRun"))
        return false;
    return m_store->value(m_applicationName) == runCommand();
}

void PAutoRun::setAutoRunState(bool state) const
{
    if (!canRegister("setAutoRunState"))
        return;
    const bool done = state ? m_store->setValue(m_applicationName, runCommand())
                            : m_store->remove(m_applicationName);
    if (!done)
        PLOG_WARN << "PAutoRun: could not" << (state ? "register" : "unregister") << m_applicationName;
}

QString PAutoRun::runCommand()
{
    const QString path = QDir::toNativeSeparators(QCoreApplication::applicationFilePath());
    return QStringLiteral("\"%1\"").arg(path, 0, QLatin1Char(' '));
}

bool PAutoRun::canRegister(const char *operation) const
{
    if (!m_store) {
        PLOG_WARN << "PAutoRun:" << operation << "without a run-key store";
        return false;
    }
    if (m_applicationName.isEmpty()) {
        PLOG_WARN << "PAutoRun:" << operation << "without an application name";
        return false;
    }
    if (QCoreApplication::applicationFilePath().isEmpty()) {
        PLOG_WARN << "PAutoRun:" << operation << "without a known executable path";
        return false;
    }
    return true;
}
