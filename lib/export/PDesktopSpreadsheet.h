#ifndef PDESKTOPSPREADSHEET_H
#define PDESKTOPSPREADSHEET_H

#include "pelmora0_global.h"

#include <QString>

#include <functional>

// Hands files to the desktop's spreadsheet application and says where new
// workbooks are saved before they are shown.
class PELMORA0_EXPORT PDesktopSpreadsheet
{
public:
    using Opener = std::function<bool(const QString &filePath)>;

    // Opens the file with the desktop's default application; false on failure (logged).
    static bool open(const QString &filePath);
    // Replaces the way files are opened; an empty opener restores the desktop's.
    static void setOpener(const Opener &opener);

    // Folder of new workbooks: the user's documents folder unless set.
    static QString outputDirectory();
    // An empty folder name restores the default.
    static void setOutputDirectory(const QString &directory);
    // A free file name in the output folder, made from the current time.
    static QString newWorkbookPath();

private:
    static Opener &opener();
    static QString &configuredDirectory();
};

#endif // PDESKTOPSPREADSHEET_H
