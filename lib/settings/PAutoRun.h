#ifndef PAUTORUN_H
#define PAUTORUN_H

#include "pelmora0_global.h"

#include <QString>

#include <memory>

class PRunKeyStore;

// Makes the running program start when the current user logs on, or stops it from
// doing so, and tells whether it is registered. The registration is the command
// runCommand() stored under the application name in the user's run-key store (by
// default the XDG autostart folder). Set the application name first: without one
// nothing is registered and isInAutoRun() is false.
class PELMORA0_EXPORT PAutoRun
{
public:
    PAutoRun();
    explicit PAutoRun(std::shared_ptr<PRunKeyStore> store);

    void setApplicationName(QString applicationName);
    QString applicationName() const;

    // True when the registered command is exactly runCommand().
    bool isInAutoRun() const;
    // true registers runCommand() under the application name; false removes it.
    void setAutoRunState(bool state) const;

    // The full path of the running executable, native separators, in double quotes.
    static QString runCommand();

private:
    bool canRegister(const char *operation) const;

    QString m_applicationName;
    std::shared_ptr<PRunKeyStore> m_store;
};

#endif // PAUTORUN_H
