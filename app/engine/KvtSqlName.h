#ifndef KVTSQLNAME_H
#define KVTSQLNAME_H

#include <QString>

// Safe pieces for SQL texts built by concatenation: names and keys never change a statement.
namespace KvtSqlName {

// The name as a quoted identifier: in backquotes, an inner backquote doubled.
QString quoted(const QString &name);
// "`database`.table": a table named together with its database.
QString table(const QString &database, const QString &tableName);
// True when the text is a whole decimal integer (an optional minus sign and digits only),
// so that it can be appended to a statement as a number.
bool isInteger(const QString &text);

} // namespace KvtSqlName

#endif // KVTSQLNAME_H
