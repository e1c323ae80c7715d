#include "KvtMessages.h"

#include <QCoreApplication>

namespace {

const char context[] = "KvtMerger";

QString translated(const char *text)
{
    return QCoreApplication::translate(context, text);
}

} // namespace

QString KvtMessages::journalNotWritten(const QString &detail)
{
    return translated(QT_TRANSLATE_NOOP("KvtMerger", "The merge journal cannot be written: %1")).arg(detail);
}

QString KvtMessages::journalNotRead(const QString &detail)
{
    return translated(QT_TRANSLATE_NOOP("KvtMerger", "The merge journal cannot be read: %1")).arg(detail);
}

QString KvtMessages::destinationBusy(const QString &destination)
{
    return translated(QT_TRANSLATE_NOOP("KvtMerger", "Another merge into %1 is running on this server. This merge is "
                                                     "not started; start it again when the other has ended."))
        .arg(destination);
}
