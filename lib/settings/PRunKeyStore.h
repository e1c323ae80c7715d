#ifndef PRUNKEYSTORE_H
#define PRUNKEYSTORE_H

#include "pelmora0_global.h"

#include <QString>

// The per-user store of programs started when the user logs on: named string values,
// each the command that starts one program (the Run key of the Windows registry, the
// autostart folder of a freedesktop.org desktop).
class PELMORA0_EXPORT PRunKeyStore
{
public:
    virtual ~PRunKeyStore();

    // The command registered under the name; empty when there is none.
    virtual QString value(const QString &name) const = 0;
    // Registers the command under the name, replacing any earlier one. False on failure.
    virtual bool setValue(const QString &name, const QString &command) = 0;
    // Removes the name's registration; removing an absent one succeeds. False on failure.
    virtual bool remove(const QString &name) = 0;
};

#endif // PRUNKEYSTORE_H
