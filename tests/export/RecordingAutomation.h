#ifndef RECORDINGAUTOMATION_H
#define RECORDINGAUTOMATION_H

#include "PAutomationObject.h"

#include <QStringList>

#include <memory>

// Wraps an automation object and writes every call made through it to a shared
// list ("query cells(int, int) 1 2", "call Select()", "set Bold true"), then
// passes the call on. Sub-objects come back wrapped too. Without an inner
// object it answers every query with null, like a server that gives nothing.
class RecordingAutomation : public PAutomationObject
{
    Q_OBJECT
public:
    RecordingAutomation(PAutomationObject *inner, const std::shared_ptr<QStringList> &calls,
                        QObject *parent);

    PAutomationObject *inner() const { return m_inner; }

protected:
    PAutomationObject *subObject(const QString &member, const QVariantList &arguments) override;
    QVariant call(const QString &member, const QVariantList &arguments) override;
    void writeProperty(const QString &name, const QVariant &value) override;

private:
    void record(const QString &kind, const QString &member, const QVariantList &arguments);

    PAutomationObject *m_inner;
    std::shared_ptr<QStringList> m_calls;
};

#endif // RECORDINGAUTOMATION_H
