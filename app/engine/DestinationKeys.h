#ifndef DESTINATIONKEYS_H
#define DESTINATIONKEYS_H

#include <QString>

class PSqlErrors;
class PSqlService;

// Keys of a table in the destination database, for a record that is to be added under a
// new key: the next free one, and whether one is taken. The key column is the table's
// (Cod for factory, TabNo for humans, ID otherwise). Default connection, GUI thread.
class DestinationKeys
{
public:
    enum KeyState { keyFree, keyUsed, keyUnknown };

    // sqlService computes the next key (and shows its own error box); sqlErrors shows a
    // failed key check. Neither is owned.
    DestinationKeys(PSqlService *sqlService, PSqlErrors *sqlErrors);

    // The largest key plus 1 (1 for an empty table); 0 with errMsg filled on failure.
    quint64 nextFreeKey(const QString &destDB, const QString &tableName, QString &errMsg) const;
    // Whether the key is taken; keyUnknown when the check failed (the error has then
    // been shown and the shared connection closed).
    KeyState keyState(const QString &destDB, const QString &tableName, const QString &key) const;

private:
    PSqlService *sqlService;
    PSqlErrors *sqlErrors;
};

#endif // DESTINATIONKEYS_H
