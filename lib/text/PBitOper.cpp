#include "PBitOper.h"

PBitOper::PBitOper() = default;
