#ifndef PFIRSTRUNAPPLICATION_H
#define PFIRSTRUNAPPLICATION_H

#include "pelmora0_global.h"

// In-memory flag telling whether the application runs for the first time.
// Starts false and is never stored anywhere.
class PELMORA0_EXPORT PFirstRunApplication
{
public:
    PFirstRunApplication() = default;

    bool isFirstRun() const;
    void setFirstRunProperty(bool firstRun);

private:
    bool m_firstRun = false;
};

#endif // PFIRSTRUNAPPLICATION_H
