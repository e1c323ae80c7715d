#include "PFirstRunApplication.h"

bool PFirstRunApplication::isFirstRun() const
{
    return m_firstRun;
}

void PFirstRunApplication::setFirstRunProperty(bool firstRun)
{
    m_firstRun = firstRun;
}
