#ifndef PEXCELEXPORT_H
#define PEXCELEXPORT_H

#include "pelmora0_global.h"

#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <QVector>

class PAutomationObject;
class QAbstractItemModel;
class QProgressBar;
class QSqlQueryModel;
class QTableView;

// Fills a new Excel workbook from a table model through automation: a bold,
// centred header row, the cells, borders, column widths, deletion of rows or
// columns and the page orientation. Excel is made visible when the data has
// been exported, and the workbook is handed to the user once, after the last
// formatting call: at finish(), or when the exporter is destroyed. Operations
// after finish() do nothing (logged). When Excel cannot be started or gives no
// object, the operations that need it do nothing and log why.
//
// Cells take the model's display value: numbers (integer and floating-point
// values, and the numeric columns of a QSqlQueryModel, DECIMAL included) as
// number cells, everything else as text, so "007" stays "007". A number with more
// digits than a spreadsheet keeps (about 15) is written as text, unchanged.
class PELMORA0_EXPORT PExcelExport : public QObject
{
    Q_OBJECT
public:
    enum alignH {
        alignLeft = -4131,
        alignHCenter = -4108,
        alignRight = -4152
    };
    enum alignV {
        alignTop = -4160,
        alignVCenter = -4108,
        alignBottom = -4107
    };
    enum pOrientation {
        portrait = 0,
        landscape = 1
    };

    PExcelExport();
    ~PExcelExport() override;

    // Starts Excel with a new workbook whose first sheet becomes the current sheet.
    void initNewWorkBook();

    // Set it before the source if its maximum is to follow the row count.
    void setProgressBar(QProgressBar *progressBar);
    // The source of the cells and their counts; the one set last is exported.
    void setTableView(QTableView *tableView);
    void setQueryModel(QSqlQueryModel *queryModel);

    // Row 1: the texts in bold, wrapped and centred both ways.
    void exportTableHeader(const QVector<QString> &header);
    // Rows 2 onward: the source's cells wrapped, left and top aligned; then shows Excel.
    void exportTableData();
    // Hands the workbook to the user now instead of at destruction and releases Excel.
    void finish();
    // Continuous borders around and inside the header and the data.
    void createBorder();
    void createBorder(int firstRow, int firstColumn, int lastRow, int lastColumn);
    // Column widths by range address, e.g. {"A:A", 20}.
    void setColumnSizes(const QMap<QString, int> &sizes);

    void setColumnWidth(PAutomationObject *range, int width);
    void setValue(PAutomationObject *range, const QVariant &value);
    void setWrapText(PAutomationObject *range, bool wrap);
    void setHAlignment(PAutomationObject *range, alignH alignment);
    void setVAlignment(PAutomationObject *range, alignV alignment);

    void pageOrientation(pOrientation orientation);
    // Deletes a range such as "2:2" or "B:B".
    void deleteRowOrColumn(const QString &address);

private:
    // The owner's sub-object; null, and logged, when the owner is missing or has none.
    static PAutomationObject *subObject(PAutomationObject *owner, const char *member,
                                        const QVariant &first = QVariant(),
                                        const QVariant &second = QVariant());
    PAutomationObject *cell(int row, int column) const;
    PAutomationObject *range(const QVariant &address) const;
    bool hasSheet(const char *operation) const;
    void takeCounts(const QAbstractItemModel *model);
    const QAbstractItemModel *sourceModel() const;
    void exportRow(const QAbstractItemModel &model, int row);
    static QVariant cellValue(const QAbstractItemModel &model, int row, int column);

    PAutomationObject *m_excel = nullptr;
    PAutomationObject *m_workbooks = nullptr;
    PAutomationObject *m_workbook = nullptr;
    PAutomationObject *m_sheets = nullptr;
    PAutomationObject *m_sheet = nullptr;
    QPointer<QTableView> m_tableView;
    QPointer<QSqlQueryModel> m_queryModel;
    QPointer<QProgressBar> m_progressBar;
    int m_rowCount = 0;
    int m_columnCount = 0;
    bool m_queryModelIsSource = false;
};

#endif // PEXCELEXPORT_H
