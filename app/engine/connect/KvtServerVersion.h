#ifndef KVTSERVERVERSION_H
#define KVTSERVERVERSION_H

#include <QSqlDatabase>
#include <QString>

// What a MySQL or MariaDB server is, from the text of its VERSION(), and what the merge
// may ask of it.
//
// Oldest supported: MySQL 5.5.3 and MariaDB 5.5, the first with utf8mb4, which every
// connection of the program switches to. Window functions: MySQL 8.0, MariaDB 10.2.
class KvtServerVersion
{
public:
    enum class Flavour { MySql, MariaDb };

    // False when the text holds no version number.
    static bool parse(const QString &versionText, KvtServerVersion &version);
    // Reads SELECT VERSION() on the connection; false when it failed or was not a version.
    static bool read(const QSqlDatabase &db, KvtServerVersion &version, QString &error);

    Flavour flavour() const { return m_flavour; }
    int major() const { return m_major; }
    int minor() const { return m_minor; }
    int patch() const { return m_patch; }
    // "MariaDB 10.11.6", "MySQL 8.0.36"
    QString describe() const;

    bool isSupported() const;
    bool hasWindowFunctions() const;
    // INSERT ... RETURNING: MariaDB 10.5 and later (MySQL has none); the server names the
    // rows it inserted.
    bool hasInsertReturning() const;

    // The refusal of a server older than the oldest supported one.
    QString tooOldMessage() const;

private:
    bool atLeast(int major, int minor, int patch) const;

    Flavour m_flavour = Flavour::MySql;
    int m_major = 0;
    int m_minor = 0;
    int m_patch = 0;
};

#endif // KVTSERVERVERSION_H
