#ifndef KVTPATHS_H
#define KVTPATHS_H

#include <QString>

// Where the program keeps its files; every path of the program is named here.
//
//   settings (QSettings)   ~/.config/kvtMergeDB/kvtMergeDB.conf
//   log                    folder install: <program folder>/log/log_kvtMergeDB_<yyyy-MM-dd>.txt,
//                          or when that folder cannot be used ~/.local/share/kvtMergeDB/log/;
//                          prefix install: ~/.local/share/kvtMergeDB/log/
//   reports                reports/ in the folder of the log in use
//   journal                ~/.local/share/kvtMergeDB/journal.sqlite
//   shipped files          folder install: the program's folder; prefix install:
//                          <prefix>/share/kvtmerge (res/appIcon.ico below either)
//   translations           folder install: <program folder>/share/translations/;
//                          prefix install: <prefix>/share/kvtmerge/translations/
//
// The home folders follow the XDG variables (XDG_CONFIG_HOME, XDG_DATA_HOME).
namespace KvtPaths {

// How the program is installed, read from the folder it runs from; the one rule behind
// every path below that depends on the program's folder:
// - Prefix: the folder is named "bin" (/usr/bin of the Debian package, /usr/local/bin,
//   <prefix>/bin). The shipped files are in <prefix>/share/kvtmerge, and the log never
//   goes beside the program (run as root, it could write into /usr/bin), but into the
//   per-user folder.
// - Folder: any other folder (the movable folder install, the build tree): the shipped
//   files beside the program, the log in its log/ folder while that can be used.
enum class Install { Folder, Prefix };
Install installOf(const QString &programFolder);

// "kvtMergeDB": the application's and the organisation's name, so that QSettings and the
// per-user folders use one folder of that name.
QString applicationName();
// Sets both names on the application object; call once, right after creating it.
void setApplicationNames();

// The file QSettings() uses once the names are set.
QString settingsFile();
// ~/.local/share/kvtMergeDB
QString dataFolder();
// The log folder to use first: <programFolder>/log in a folder install, the per-user
// one (fallbackLogFolder) in a prefix install.
QString logFolder(const QString &programFolder);
// The per-user log folder.
QString fallbackLogFolder();
// reports/ in the folder of the log in use (the fallback log folder while none is open).
QString reportsFolder();
QString journalFile();
// The folder of the files the program ships (the window icon below res/).
QString shippedFilesFolder(const QString &programFolder);
QString translationsFolder(const QString &programFolder);

} // namespace KvtPaths

#endif // KVTPATHS_H
