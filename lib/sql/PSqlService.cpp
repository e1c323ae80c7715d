#include "PSqlService.h"

#include "PLog.h"
#include "PSingleton.h"
#include "PSqlErrors.h"
#include "PSqlScriptReader.h"

#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlTableModel>
#include <QStandardPaths>
#include <QTableView>
#include <QVariant>

#include <algorithm>

PSqlService::PSqlService(QObject *parent)
    : sqlErrors(new PSqlErrors(parent))
    , parentWidget(parent && parent->isWidgetType() ? static_cast<QWidget *>(parent) : nullptr)
{
}

PSqlService::~PSqlService()
{
    delete sqlErrors.data();
}

bool PSqlService::exec(QSqlQuery &query, const QString &statement, QString &errMsg, int *errCode) const
{
    if (query.exec(statement))
        return true;
    const int code = sqlErrors->getLastSqlQueryError(query, errMsg);
    if (errCode)
        *errCode = code;
    return false;
}

// First column of the first row as a number; a SQL NULL reads as 0.
quint64 PSqlService::firstNumber(const QString &statement, QString &errMsg, int *errCode) const
{
    QSqlQuery query;
    if (!exec(query, statement, errMsg, errCode))
        return 0;
    if (errCode)
        *errCode = 0;
    return query.next() ? query.value(0).toULongLong() : 0;
}

void PSqlService::getDatabaseList(QStringList &list, QString &errMsg)
{
    list.clear();
    QSqlQuery query;
    if (!exec(query, QStringLiteral("SHOW DATABASES;"), errMsg))
        return;
    const int column = query.record().indexOf(QStringLiteral("Database"));
    while (query.next())
        list.append(query.value(column).toString());
}

quint64 PSqlService::generateDataBaseId(const QString &table, QString &errMsg)
{
    return generateDataBaseId(table, QStringLiteral("ID"), errMsg);
}

quint64 PSqlService::generateDataBaseId(const QString &table, const QString &field, QString &errMsg)
{
    int code = 0;
    const quint64 largest = firstNumber(QLatin1String("SELECT max(") + field
                                            + QLatin1String(") FROM ") + table, errMsg, &code);
    return code == 0 ? largest + 1 : 0;
}

void PSqlService::totalRecCount(quint64 &count, const QString &table, QString &errMsg, int &errCode) const
{
    count = firstNumber(QLatin1String("SELECT COUNT(*) FROM ") + table, errMsg, &errCode);
}

void PSqlService::truncateTable(const QString &table, QString &errMsg) const
{
    QSqlQuery query;
    exec(query, QLatin1String("TRUNCATE TABLE ") + table, errMsg);
}

int PSqlService::createDB(QSqlDatabase &db, const QString &dbName, QString &errMsg)
{
    return execOnDatabase(db, QLatin1String("CREATE DATABASE ") + dbName + QLatin1Char(';'), errMsg);
}

int PSqlService::execScriptFromFile(QSqlDatabase &db, const QString &fileName, QString &errMsg)
{
    QString script;
    if (!PSqlScriptReader::read(fileName, script)) {
        QMessageBox::critical(nullptr, QObject::tr("Error"),
                              QObject::tr("Error opening create DB script-file %1").arg(fileName),
                              QMessageBox::Ok);
        errMsg = QObject::tr("Error opening create DB script-file");
        return 1;
    }
    const QString dump = scriptDumpFile();
    if (!dump.isEmpty() && QDir().mkpath(QFileInfo(dump).path()))
        PSingleton<PDebug>::instance()->writeStrToFile(script, dump);
    return execOnDatabase(db, script, errMsg);
}

QString PSqlService::scriptDumpFile()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    return folder.isEmpty() ? QString() : QDir(folder).filePath(QStringLiteral("file.sql"));
}

// Runs a text of one or more statements in one call. The server stops at the first
// failing statement; its error only shows once the results before it are stepped over.
int PSqlService::execOnDatabase(QSqlDatabase &db, const QString &statement, QString &errMsg)
{
    QSqlQuery query = db.exec(statement);
    if (!query.lastError().isValid()) {
        while (query.nextResult()) {
        }
    }
    QString error;
    const int code = sqlErrors->getLastSqlQueryError(query, error);
    if (code == 0)
        return 0;
    errMsg = error;
    return code;
}

QList<int> PSqlService::selectedRows(QTableView *view)
{
    QList<int> rows;
    if (!view || !view->selectionModel())
        return rows;
    const QModelIndexList indexes = view->selectionModel()->selectedRows(0);
    for (const QModelIndex &index : indexes)
        rows.append(index.row());
    return rows;
}

QString PSqlService::getFieldValue(QTableView *view, QSqlQueryModel *model, QString field)
{
    QString value;
    if (!model)
        return value;
    const QList<int> rows = selectedRows(view);
    for (int row : rows)
        value += model->record(row).value(field).toString();
    return value;
}

QString PSqlService::getFieldValue(QTableView *view, QSqlTableModel *model, QString field)
{
    return getFieldValue(view, static_cast<QSqlQueryModel *>(model), field);
}

bool PSqlService::deleteRecordsConfirm(quint64 &count)
{
    if (count == 0)
        return false;
    if (count == 1)
        return QMessageBox::question(parentWidget, QObject::tr("Confirm"),
                                     QObject::tr("Are you sure you want to delete the record?"),
                                     QMessageBox::Yes | QMessageBox::No)
               == QMessageBox::Yes;
    return QMessageBox::question(parentWidget, QObject::tr("Confirm"),
                                 QObject::tr("Are you sure you want to delete the records?"),
                                 QMessageBox::YesToAll | QMessageBox::NoToAll)
           == QMessageBox::YesToAll;
}

void PSqlService::deleteRow(QTableView *view)
{
    auto *model = view ? qobject_cast<QSqlTableModel *>(view->model()) : nullptr;
    if (!model || model->rowCount() == 0)
        return;
    const QList<int> rows = selectedRows(view);
    quint64 count = static_cast<quint64>(rows.size());
    if (!deleteRecordsConfirm(count))
        return;
    if (!removeRows(model, rows))
        return;
    view->selectRow(std::min(rows.last(), model->rowCount() - 1));
}

// A model that deletes at once keeps a blank row for each deleted one until it is
// selected again; a model that submits by hand refreshes itself in submitAll.
bool PSqlService::removeRows(QSqlTableModel *model, const QList<int> &rows)
{
    for (int row : rows) {
        if (!model->removeRows(row, 1)) {
            reportModelError(model);
            return false;
        }
    }
    if (!model->submitAll()) {
        reportModelError(model);
        return false;
    }
    if (model->editStrategy() != QSqlTableModel::OnManualSubmit)
        model->select();
    return true;
}

// Shows the error, then brings the view back to what the table really holds.
void PSqlService::reportModelError(QSqlTableModel *model)
{
    QString errMsg;
    sqlErrors->getLastSqlQueryError(model, errMsg);
    PLOG_ERROR << "deleting rows failed:" << errMsg;
    model->revertAll();
    model->select();
}

void PSqlService::navigateWithDataSet(QTableView *view, PSqlService::directionNavigate direction)
{
    if (!view || !view->model())
        return;
    const int count = view->model()->rowCount();
    if (count <= 0)
        return;
    if (direction == dnFirst)
        view->selectRow(0);
    else if (direction == dnLast)
        view->selectRow(count - 1);
}

void PSqlService::searchRecByMatching(QSqlTableModel *model, int column, const QString &text,
                                      QTableView *view, Qt::MatchFlags flags)
{
    if (!model || !view)
        return;
    const QModelIndexList hits = model->match(model->index(0, column), Qt::DisplayRole, text, 3, flags);
    if (!hits.isEmpty())
        view->setCurrentIndex(hits.first());
}

quint64 PSqlService::containAnyRecWithCode(const QString &table, const QString &field, const QString &value)
{
    QSqlQuery query;
    if (!query.exec(QLatin1String("SELECT COUNT(*) FROM ") + table + QLatin1String(" WHERE ") + field
                    + QLatin1Char('=') + value)) {
        PLOG_DEBUG << "record check failed:" << query.lastError().text();
        return 0;
    }
    return query.next() ? query.value(0).toULongLong() : 0;
}
