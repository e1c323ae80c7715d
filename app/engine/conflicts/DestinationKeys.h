#ifndef DESTINATIONKEYS_H
#define DESTINATIONKEYS_H

#include "KvtSqlStatus.h"

#include <QSqlDatabase>
#include <QString>

// Keys of a table in the destination database, for a record that is to be added under a
// new key: the next free one, and whether one is taken. The key column is the table's
// (Cod for factory, TabNo for humans, ID otherwise). Runs on the named connection (Qt's
// default connection unless told otherwise) and reports failures as results.
class DestinationKeys
{
public:
    enum class KeyState { Free, Used, Unknown };

    explicit DestinationKeys(const QString &connectionName = QLatin1String(QSqlDatabase::defaultConnection));

    // The largest key plus 1 (1 for an empty table) in `key`.
    KvtSqlStatus nextFreeKey(const QString &destDB, const QString &tableName, quint64 &key) const;
    // Whether the key is taken; Unknown when the check failed (lastError() tells why).
    KeyState keyState(const QString &destDB, const QString &tableName, const QString &key);
    KvtSqlStatus lastError() const { return m_lastError; }

private:
    QSqlDatabase connection() const;

    QString m_connectionName;
    KvtSqlStatus m_lastError;
};

#endif // DESTINATIONKEYS_H
