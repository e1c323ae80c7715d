#ifndef COMPAREDRECORDMODEL_H
#define COMPAREDRECORDMODEL_H

#include <QColor>
#include <QSet>
#include <QSqlQueryModel>
#include <QStringList>

class QSqlRecord;

// A record of the comparison dialog's grids whose cells that differ from the other
// record are marked: a background colour and the tool tip "differs".
class ComparedRecordModel : public QSqlQueryModel
{
    Q_OBJECT

public:
    explicit ComparedRecordModel(QObject *parent = nullptr);

    // Positions of the compared columns whose values differ between the two records
    // (NULL differs from every value, an empty text included). Columns not named in
    // `compared` are never reported.
    static QSet<int> differingColumns(const QSqlRecord &a, const QSqlRecord &b,
                                      const QStringList &compared);

    void setDifferingColumns(const QSet<int> &columns);
    QSet<int> differingColumns() const { return m_differing; }

    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    static const QColor differsColor;

private:
    QSet<int> m_differing;
};

#endif // COMPAREDRECORDMODEL_H
