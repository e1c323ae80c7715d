#ifndef PSQLNULL_H
#define PSQLNULL_H

#include "pelmora0_global.h"

#include <QMetaType>
#include <QVariant>

// SQL NULL in a QVariant, the same under Qt 5 and Qt 6. A value read from a query is NULL
// when QVariant::isNull() says so under both; but a QVariant holding a null QString or
// QByteArray is null under Qt 5 only (Qt 6's isNull() does not look inside). Code that
// says NULL with a null text, and every check for NULL, goes through here.
namespace PSqlNull {

// True for an invalid or null variant and for one holding a null QString or QByteArray.
PELMORA0_EXPORT bool isNull(const QVariant &value);
// A NULL of the given type (a text by default), to bind or to keep in a row.
PELMORA0_EXPORT QVariant typed(QMetaType::Type type = QMetaType::QString);
// The value itself, or a typed NULL (a text unless the variant has another type) when
// isNull(value): what a statement binds for it.
PELMORA0_EXPORT QVariant bindable(const QVariant &value);
// The text as a value: NULL when the text is null, otherwise the text (an empty one too).
PELMORA0_EXPORT QVariant fromText(const QString &text);

} // namespace PSqlNull

#endif // PSQLNULL_H
