#ifndef PSQLIDENTIFIER_H
#define PSQLIDENTIFIER_H

#include "pelmora0_global.h"

#include <QString>

// Quotes names for MySQL statements, so that a name typed by an operator stays a name.
class PELMORA0_EXPORT PSqlIdentifier
{
public:
    // `name`, with every backquote inside it doubled.
    static QString quote(const QString &name);
    // `database`.`table`
    static QString qualified(const QString &database, const QString &table);
};

#endif // PSQLIDENTIFIER_H
