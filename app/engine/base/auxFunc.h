#ifndef AUXFUNC_H
#define AUXFUNC_H

#include <QString>

// Start-up of the merge program, the steps a run with a window and one without share.
// Needs a QCoreApplication (or QApplication); shows nothing.

// Steps 2 to 6 of the start-up, in this order: the application's and organisation's
// name (KvtPaths::setApplicationNames), the codec, the log file, the banner and the
// interface language.
void initApplication();

// Makes Windows-1251 ("CP1251") the codec for the locale (Qt 5 has no codec for tr()
// or for C strings; those are UTF-8).
void setCodecForApp();

// Prepares the logger: file "log_<application>_<date>.txt" in KvtPaths::logFolder of the
// program's folder, level trace. When a folder install's log/ cannot be used (for
// instance the program is installed where the user may not write) the log goes to the
// per-user folder instead (KvtPaths::fallbackLogFolder), with a warn line naming the
// unusable folder; if no folder works the logger writes to standard error.
void setLogger();
// The same with an explicit base folder instead of the program's folder.
void setLogger(const QString &baseFolder);

// Writes the three-line start banner at info level.
void startLogInfo();

// Chooses the interface language; call before the first window exists. The interface
// stays English when the system locale's language is English; otherwise the Russian
// file <application>_ru.qm of KvtPaths::translationsFolder is loaded and installed,
// which an info line in the log names; a missing file gives a warn line instead. Every
// translation file of that folder is recorded in the translation loader under its
// language name.
void setApplicationLocale();

// A file the program ships, such as "res/appIcon.ico": the path relative to the working
// directory when the file is there, otherwise the same path below the folder of the
// shipped files (KvtPaths::shippedFilesFolder of programFolder; empty means the folder of
// the running program), so that a program started from another folder still finds it.
QString programFile(const QString &relativePath, const QString &programFolder = QString());

// "Version: " (translatable, context QObject) followed by the version numbers.
QString applicationFullVersion();

#endif // AUXFUNC_H
