#ifndef KVTSQLSTATUS_H
#define KVTSQLSTATUS_H

#include <QSqlError>
#include <QString>

class QSqlQuery;

// The outcome of a statement of the engine: success, or the error the server or the
// driver gave. The engine never shows an error; whoever called it decides how to report
// it (the main window in a box, a batch run in its output).
class KvtSqlStatus
{
public:
    // Success.
    KvtSqlStatus() = default;

    static KvtSqlStatus failure(const QSqlError &error);
    static KvtSqlStatus failure(const QString &text, const QString &code = QString());
    // An error the engine found itself, without a server error number: code ownCode().
    static KvtSqlStatus own(const QString &text);
    // The code of the engine's own errors, as the worker's sqlErr signal carries it.
    static QString ownCode();
    // "text", or "text (code N)" for a server's error number.
    static QString describe(const QString &text, const QString &code);
    // The query's last error. A statement sent to a connection that is not open fails
    // without an error of its own: it reads as "Database not open".
    static KvtSqlStatus failureOf(const QSqlQuery &query);

    bool ok() const { return m_ok; }
    explicit operator bool() const { return m_ok; }

    QSqlError error() const { return m_error; }
    QString text() const { return m_error.text(); }
    // The server's error number in decimal; empty when the driver gave none.
    QString code() const { return m_error.nativeErrorCode(); }
    QString describe() const { return describe(text(), code()); }

private:
    bool m_ok = true;
    QSqlError m_error;
};

#endif // KVTSQLSTATUS_H
