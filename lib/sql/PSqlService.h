#ifndef PSQLSERVICE_H
#define PSQLSERVICE_H

#include "pelmora0_global.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <Qt>

class PSqlErrors;
class QObject;
class QSqlDatabase;
class QSqlQuery;
class QSqlQueryModel;
class QSqlTableModel;
class QTableView;
class QWidget;

// Small SQL jobs of database desktop applications, on the default connection, and a
// few helpers that tie a table view to its model. Failures are shown through the
// class's own PSqlErrors and handed back as the driver's text in errMsg.
// Table and field texts are pasted into the statements as they are, so callers pass
// names that are already safe (see PSqlIdentifier), and may qualify them with a database.
class PELMORA0_EXPORT PSqlService
{
public:
    enum directionNavigate { dnFirst = 0, dnLast = 1 };

    explicit PSqlService(QObject *parent = nullptr);
    ~PSqlService();
    PSqlService(const PSqlService &) = delete;
    PSqlService &operator=(const PSqlService &) = delete;

    // The server's databases in the server's order; empty when they cannot be read.
    void getDatabaseList(QStringList &list, QString &errMsg);
    // Largest ID (or field) plus 1; 0 when the statement fails.
    quint64 generateDataBaseId(const QString &table, QString &errMsg);
    quint64 generateDataBaseId(const QString &table, const QString &field, QString &errMsg);
    void totalRecCount(quint64 &count, const QString &table, QString &errMsg, int &errCode) const;
    void truncateTable(const QString &table, QString &errMsg) const;
    // Returns 0 or the error number.
    int createDB(QSqlDatabase &db, const QString &dbName, QString &errMsg);
    // Runs the whole file in one call; returns 0, the error number of the first
    // statement that failed, or 1 when the file cannot be opened.
    int execScriptFromFile(QSqlDatabase &db, const QString &fileName, QString &errMsg);

    // The field of every selected row, joined without separator; null with no selection.
    QString getFieldValue(QTableView *view, QSqlQueryModel *model, QString field);
    QString getFieldValue(QTableView *view, QSqlTableModel *model, QString field);
    // Asks the operator before count records are deleted; false for 0.
    bool deleteRecordsConfirm(quint64 &count);
    // Deletes the view's selected rows from its QSqlTableModel after confirmation.
    void deleteRow(QTableView *view);
    void navigateWithDataSet(QTableView *view, PSqlService::directionNavigate direction);
    void searchRecByMatching(QSqlTableModel *model, int column, const QString &text,
                             QTableView *view, Qt::MatchFlags flags);
    // Number of rows whose field equals value (pasted as it is); 0 on failure, silently.
    quint64 containAnyRecWithCode(const QString &table, const QString &field, const QString &value);

    // Where execScriptFromFile leaves a copy of the last script it ran: file.sql in the
    // user's cache folder, readable by the user only, replaced by the next script. Empty
    // (no dump) when the user has no cache folder.
    static QString scriptDumpFile();

private:
    bool exec(QSqlQuery &query, const QString &statement, QString &errMsg, int *errCode = nullptr) const;
    quint64 firstNumber(const QString &statement, QString &errMsg, int *errCode = nullptr) const;
    int execOnDatabase(QSqlDatabase &db, const QString &statement, QString &errMsg);
    bool removeRows(QSqlTableModel *model, const QList<int> &rows);
    void reportModelError(QSqlTableModel *model);
    static QList<int> selectedRows(QTableView *view);

    QPointer<PSqlErrors> sqlErrors;
    QWidget *parentWidget;
};

#endif // PSQLSERVICE_H
