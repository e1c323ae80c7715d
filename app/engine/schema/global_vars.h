#ifndef GLOBAL_VARS_H
#define GLOBAL_VARS_H

#include <QMetaType>

// The nine tables a merge copies, numbered in the alphabetical order of their names.
// Travels in the worker's queued conflict signal, hence the meta-type declaration;
// registerKvtMetaTypes() registers it under the name "kvtTableName".
enum kvtTableName {
    tnDefectRef = 1,
    tnDefects = 2,
    tnDetTypes = 3,
    tnDevice = 4,
    tnFactory = 5,
    tnGraphics = 6,
    tnHumans = 7,
    tnResults = 8,
    tnZones = 9
};

// The operator's standing choice for a conflicting reference record.
enum actionDiffRec {
    adrSkip = 0,    // leave the source record out
    adrReplace = 1, // overwrite the destination record with the source values
    adrAddNew = 2,  // add the source record under a new identifier
    adrAsk = 3      // ask the operator (the value at start and after every merge)
};

Q_DECLARE_METATYPE(kvtTableName)
Q_DECLARE_METATYPE(actionDiffRec)

// Registers kvtTableName and actionDiffRec with Qt's meta-type system, so that
// they can travel in queued signals. Safe to call more than once.
void registerKvtMetaTypes();

#endif // GLOBAL_VARS_H
