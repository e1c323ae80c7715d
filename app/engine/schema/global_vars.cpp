#include "global_vars.h"

void registerKvtMetaTypes()
{
    qRegisterMetaType<kvtTableName>("kvtTableName");
    qRegisterMetaType<actionDiffRec>("actionDiffRec");
}
