#include "BatchOptions.h"

#include "KvtConnection.h"
#include "PLocal8Bit.h"

#include <QFile>
#include <QFileInfo>
#include <QObject>

namespace {

struct PolicyName {
    ConflictPolicy policy;
    const char *name;
};

const PolicyName policyNames[] = {
    {ConflictPolicy::AskFail, "ask-fail"},
    {ConflictPolicy::Leave, "leave"},
    {ConflictPolicy::Replace, "replace"},
    {ConflictPolicy::NewKey, "new-key"},
};

} // namespace

QStringList BatchOptions::sourcesToMerge(QStringList *skipped) const
{
    QStringList merged;
    for (const QString &name : sources) {
        if (name == destination || merged.contains(name)) {
            if (skipped)
                skipped->append(name);
            continue;
        }
        merged.append(name);
    }
    return merged;
}

QString conflictPolicyName(ConflictPolicy policy)
{
    for (const PolicyName &entry : policyNames)
        if (entry.policy == policy)
            return QLatin1String(entry.name);
    return QString();
}

bool conflictPolicyFromName(const QString &name, ConflictPolicy &policy)
{
    for (const PolicyName &entry : policyNames) {
        if (name == QLatin1String(entry.name)) {
            policy = entry.policy;
            return true;
        }
    }
    return false;
}

bool readPasswordFile(const QString &path, QString &password, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read the password file %1: %2").arg(path, file.errorString());
        return false;
    }
    // Others who may write it could put in a password of their choosing (and read what
    // the program does with it): refused like a file they may read.
    const QFileDevice::Permissions shared = QFileDevice::ReadGroup | QFileDevice::ReadOther
                                            | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (QFileInfo(path).permissions() & shared) {
        error = QStringLiteral("the password file %1 can be read or written by other users: "
                               "allow only its owner to read and write it (chmod 600)")
                    .arg(path);
        return false;
    }
    QByteArray line = file.readLine();
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    password = PLocal8Bit::decode(line);
    return true;
}

bool openBatchConnection(const BatchOptions &options, QString &error)
{
    KvtConnectionSettings settings;
    settings.host = options.host;
    settings.port = options.port;
    settings.user = options.user;
    settings.password = options.password;
    settings.security = options.security;
    const KvtSqlStatus status = openKvtConnection(settings);
    if (status)
        return true;
    error = QStringLiteral("cannot connect to %1:%2 as %3: %4")
                .arg(options.host, QString::number(options.port), options.user, status.text().trimmed());
    return false;
}
