#ifndef KVTMESSAGES_H
#define KVTMESSAGES_H

#include <QString>

// Texts the engine reports from more than one place, each written once. They are
// translated in the worker's context ("KvtMerger"), where the translations have them.
namespace KvtMessages {

QString journalNotWritten(const QString &detail);
QString journalNotRead(const QString &detail);
// A merge or an undo into the destination finds another one running (KvtDestinationLock).
QString destinationBusy(const QString &destination);

} // namespace KvtMessages

#endif // KVTMESSAGES_H
