#include "PArchiveMode.h"

bool PArchiveMode::isArchiveMode() const
{
    return m_archiveMode;
}

void PArchiveMode::setArchiveMode(bool archiveMode)
{
    m_archiveMode = archiveMode;
}
