#ifndef PXDGAUTOSTARTSTORE_H
#define PXDGAUTOSTARTSTORE_H

#include "PRunKeyStore.h"
#include "pelmora0_global.h"

#include <QString>

// The per-user XDG autostart folder ($XDG_CONFIG_HOME/autostart, by default
// ~/.config/autostart) as a run-key store: one desktop entry per name, named
// "<name>.desktop", whose Exec line is the registered command. A command that is one
// path in double quotes is written as one argument quoted by the Exec rules (so '%',
// '$', '`', '"' and '\' in the path survive) and read back in the same form. An
// entry that the desktop marked Hidden counts as not registered.
class PELMORA0_EXPORT PXdgAutostartStore : public PRunKeyStore
{
public:
    PXdgAutostartStore();
    explicit PXdgAutostartStore(const QString &directory);

    static QString defaultDirectory();
    QString directory() const;
    // The desktop entry file of the name; '%', '/' and control characters of the name
    // are %-escaped, so every name stays inside the folder.
    QString entryFilePath(const QString &name) const;

    QString value(const QString &name) const override;
    bool setValue(const QString &name, const QString &command) override;
    bool remove(const QString &name) override;

private:
    static QString fileBaseName(const QString &name);
    static QString execOfCommand(const QString &command);
    static QString commandOfExec(const QString &exec);

    QString m_directory;
};

#endif // PXDGAUTOSTARTSTORE_H
