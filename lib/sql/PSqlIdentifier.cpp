#include "PSqlIdentifier.h"

QString PSqlIdentifier::quote(const QString &name)
{
    QString inner = name;
    inner.replace(QLatin1Char('`'), QLatin1String("``"));
    return QLatin1Char('`') + inner + QLatin1Char('`');
}

QString PSqlIdentifier::qualified(const QString &database, const QString &table)
{
    return quote(database) + QLatin1Char('.') + quote(table);
}
