#ifndef PADMINMODE_H
#define PADMINMODE_H

#include "pelmora0_global.h"

#include <QString>

// Pieces of an administrator-password mode: the admin-mode flag, a check that the
// password file can be read (telling the user when it cannot), and a reader of the
// password hash stored as the file's last line. The application decides the mode.
class PELMORA0_EXPORT PAdminMode
{
public:
    PAdminMode() = default;

    bool isAdminMode() const;
    void setAdminMode(bool adminMode);

    // True when the file exists and can be opened for reading; otherwise shows a
    // warning box (the application then runs "Without password") and returns false.
    bool findAdminPasswordFile(const QString &filePath) const;
    // The file's last line exactly as stored, line end included; empty when the file
    // is empty or cannot be read.
    QString readPwdHashFromFile(const QString &filePath) const;

private:
    static void warnUser(const QString &text);

    bool m_adminMode = false;
};

#endif // PADMINMODE_H
