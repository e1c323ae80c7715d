#ifndef KVTSQLNAME_H
#define KVTSQLNAME_H

#include <QString>

// Safe pieces for SQL texts built by concatenation. Names are quoted by PSqlIdentifier.
namespace KvtSqlName {

// True when the text is a whole decimal integer (an optional minus sign and digits only),
// so that it can be appended to a statement as a number.
bool isInteger(const QString &text);

} // namespace KvtSqlName

#endif // KVTSQLNAME_H
