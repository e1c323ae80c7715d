#include "PAdminMode.h"

#include "PLocal8Bit.h"
#include "PLog.h"

#include <QFile>
#include <QMessageBox>
#include <QObject>

bool PAdminMode::isAdminMode() const
{
    return m_adminMode;
}

void PAdminMode::setAdminMode(bool adminMode)
{
    m_adminMode = adminMode;
}

bool PAdminMode::findAdminPasswordFile(const QString &filePath) const
{
    if (!QFile::exists(filePath)) {
        PLOG_WARN << "Admin password file not found:" << filePath;
        warnUser(QObject::tr("Password file is not found.\nApplication mode: \"Without password\""));
        return false;
    }
    QFile file(filePath);
    if (file.open(QIODevice::ReadOnly)) {
        file.close();
        return true;
    }
    PLOG_WARN << "Admin password file cannot be read:" << filePath << file.errorString();
    warnUser(QObject::tr("Error reading the password file.\nApplication mode: \"Without password\""));
    return false;
}

QString PAdminMode::readPwdHashFromFile(const QString &filePath) const
{
    QString hash;
    QFile file(filePath);
    if (filePath.isEmpty() || !file.open(QIODevice::ReadOnly))
        return hash;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (line.isEmpty()) // a read error; atEnd() would never turn true
            break;
        hash = PLocal8Bit::decode(line);
    }
    return hash;
}

void PAdminMode::warnUser(const QString &text)
{
    QMessageBox::warning(nullptr, QObject::tr("Admin password"), text, QMessageBox::Ok,
                         QMessageBox::NoButton);
}
