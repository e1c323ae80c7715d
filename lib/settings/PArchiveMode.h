#ifndef PARCHIVEMODE_H
#define PARCHIVEMODE_H

#include "pelmora0_global.h"

// In-memory flag telling whether the application works in archive mode.
// Starts false and is never stored anywhere.
class PELMORA0_EXPORT PArchiveMode
{
public:
    PArchiveMode() = default;

    bool isArchiveMode() const;
    void setArchiveMode(bool archiveMode);

private:
    bool m_archiveMode = false;
};

#endif // PARCHIVEMODE_H
