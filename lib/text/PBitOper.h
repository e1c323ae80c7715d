#ifndef PBITOPER_H
#define PBITOPER_H

#include "pelmora0_global.h"

// Kept in the library's interface for its users; it has no members or operations.
class PELMORA0_EXPORT PBitOper
{
public:
    PBitOper();
};

#endif // PBITOPER_H
