#include "PSqlFieldType.h"

#include <QSqlField>

namespace PSqlFieldType {

int of(const QSqlField &field)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return field.metaType().id();
#else
    return int(field.type());
#endif
}

} // namespace PSqlFieldType
