#include "ComparedRecordModel.h"

#include "PSqlNull.h"

#include <QBrush>
#include <QSqlRecord>

const QColor ComparedRecordModel::differsColor(255, 214, 153);

ComparedRecordModel::ComparedRecordModel(QObject *parent)
    : QSqlQueryModel(parent)
{
}

QSet<int> ComparedRecordModel::differingColumns(const QSqlRecord &a, const QSqlRecord &b,
                                                const QStringList &compared)
{
    QSet<int> columns;
    for (const QString &name : compared) {
        const int i = a.indexOf(name);
        const int j = b.indexOf(name);
        if (i < 0 || j < 0)
            continue;
        const QVariant x = a.value(i);
        const QVariant y = b.value(j);
        if (PSqlNull::isNull(x) != PSqlNull::isNull(y) || x.toString() != y.toString())
            columns.insert(i);
    }
    return columns;
}

void ComparedRecordModel::setDifferingColumns(const QSet<int> &columns)
{
    m_differing = columns;
    if (rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                         {Qt::BackgroundRole, Qt::ToolTipRole});
}

QVariant ComparedRecordModel::data(const QModelIndex &index, int role) const
{
    if ((role == Qt::BackgroundRole || role == Qt::ToolTipRole) && index.isValid()
        && m_differing.contains(index.column()))
        return role == Qt::BackgroundRole ? QVariant(QBrush(differsColor)) : QVariant(tr("differs"));
    return QSqlQueryModel::data(index, role);
}
