#ifndef KVTPATHS_H
#define KVTPATHS_H

#include <QString>

// Where the program keeps its files; every path of the program is named here.
//
//   settings (QSettings)   ~/.config/kvtMergeDB/kvtMergeDB.conf
//   log                    <program folder>/log/log_kvtMergeDB_<yyyy-MM-dd>.txt, or when that
//                          folder cannot be used ~/.local/share/kvtMergeDB/log/
//   reports                reports/ in the folder of the log in use
//   journal                ~/.local/share/kvtMergeDB/journal.sqlite
//   translations           <program folder>/share/translations/
//
// The home folders follow the XDG variables (XDG_CONFIG_HOME, XDG_DATA_HOME).
namespace KvtPaths {

// "kvtMergeDB": the application's and the organisation's name, so that QSettings and the
// per-user folders use one folder of that name.
QString applicationName();
// Sets both names on the application object; call once, right after creating it.
void setApplicationNames();

// The file QSettings() uses once the names are set.
QString settingsFile();
// ~/.local/share/kvtMergeDB
QString dataFolder();
// <programFolder>/log
QString logFolder(const QString &programFolder);
// The per-user log folder when the program's own cannot be used.
QString fallbackLogFolder();
// reports/ in the folder of the log in use (the fallback log folder while none is open).
QString reportsFolder();
QString journalFile();
// <programFolder>/share/translations
QString translationsFolder(const QString &programFolder);

} // namespace KvtPaths

#endif // KVTPATHS_H
