#ifndef CONFLICTFIXTURE_H
#define CONFLICTFIXTURE_H

#include "global_vars.h"

#include <QString>
#include <QStringList>

// A source and a destination KVT database whose reference tables conflict, for the tests
// of the conflict dialogs. The dialogs run on the program's default connection, opened
// through DBAccess as the program opens it, so that a failed query really closes it.
class ConflictFixture
{
public:
    // Opens the default connection and creates both databases; false on failure.
    bool create();
    void drop();
    // Refills the reference tables of both databases; returns the first error, empty on success.
    QString reset();
    // (Re)opens the program's default connection; 0 on success.
    static int connect();

    // The worker's SELECT texts of a conflicting record.
    QString srcSelect(kvtTableName table, const QString &key) const { return select(src, table, key); }
    QString destSelect(kvtTableName table, const QString &key) const { return select(dest, table, key); }

    // Every row of a table, ordered by its first column, columns joined by '|' (NULL as "<null>").
    static QStringList rows(const QString &database, const QString &table);

    QString src;
    QString dest;

private:
    static QString select(const QString &database, kvtTableName table, const QString &key);
};

#endif // CONFLICTFIXTURE_H
