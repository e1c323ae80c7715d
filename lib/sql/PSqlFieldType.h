#ifndef PSQLFIELDTYPE_H
#define PSQLFIELDTYPE_H

#include "pelmora0_global.h"

class QSqlField;

namespace PSqlFieldType {

// The field's value type as a QMetaType id (QSqlField::type() under Qt 5,
// QSqlField::metaType() under Qt 6).
PELMORA0_EXPORT int of(const QSqlField &field);

} // namespace PSqlFieldType

#endif // PSQLFIELDTYPE_H
