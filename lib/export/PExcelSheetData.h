#ifndef PEXCELSHEETDATA_H
#define PEXCELSHEETDATA_H

#include "pelmora0_global.h"

#include "PExcelRangeAddress.h"

#include <QMap>
#include <QPair>
#include <QString>
#include <QVariant>

#include <functional>

// The spreadsheet's own constants that the model understands.
namespace PExcelConstant {
enum : int {
    xlGeneral = 1,
    xlLeft = -4131,
    xlCenter = -4108,
    xlRight = -4152,
    xlTop = -4160,
    xlBottom = -4107,
    xlContinuous = 1,
    xlLineStyleNone = -4142,
    xlPortrait = 1,
    xlLandscape = 2,
    xlShiftUp = -4162,
    xlShiftToLeft = -4159
};
} // namespace PExcelConstant

// Value and format of one worksheet cell. Alignments hold the spreadsheet's
// constants (0 for the default).
struct PExcelCell
{
    QVariant value;
    bool bold = false;
    bool wrapText = false;
    int horizontalAlignment = 0;
    int verticalAlignment = 0;
    bool borderTop = false;
    bool borderBottom = false;
    bool borderLeft = false;
    bool borderRight = false;

    bool hasBorder() const { return borderTop || borderBottom || borderLeft || borderRight; }
};

// The contents of one worksheet kept in memory: cells, column widths,
// page orientation and the selection mark. Every change raises the revision.
class PELMORA0_EXPORT PExcelSheetData
{
public:
    using CellKey = QPair<int, int>; // row, column

    explicit PExcelSheetData(const QString &name);

    QString name() const { return m_name; }
    int revision() const { return m_revision; }

    // The cell, or null when nothing was set there.
    const PExcelCell *cell(int row, int column) const;
    const QMap<CellKey, PExcelCell> &cells() const { return m_cells; }
    static constexpr qint64 maxCellsPerChange = 1000000;

    // Runs the change on every cell of the block. Whole rows or columns, and
    // blocks of more than maxCellsPerChange cells, reach only as far as the cells in use.
    void changeCells(const PExcelRangeAddress &block, const std::function<void(PExcelCell &)> &change);

    void setColumnWidth(int column, double width);
    // The width, or a negative value when the column has the default width.
    double columnWidth(int column) const { return m_columnWidths.value(column, -1.0); }
    const QMap<int, double> &columnWidths() const { return m_columnWidths; }

    void setLandscape(bool landscape);
    bool isLandscape() const { return m_landscape; }
    void setSelected(bool selected);
    bool isSelected() const { return m_selected; }

    // Removes the rows or columns; the ones behind move up or left.
    void deleteRows(int first, int last);
    void deleteColumns(int first, int last);
    // Removes the block's cells; the cells below move up.
    void deleteCellsShiftUp(const PExcelRangeAddress &block);
    // Removes the block's cells; the cells to the right move left.
    void deleteCellsShiftLeft(const PExcelRangeAddress &block);

private:
    using KeyMapper = std::function<bool(CellKey &)>;
    // Rebuilds the cell map: the mapper moves a key or returns false to drop the cell.
    void remapCells(const KeyMapper &mapper);
    int lastUsedRow() const;
    int lastUsedColumn() const;

    QString m_name;
    QMap<CellKey, PExcelCell> m_cells;
    QMap<int, double> m_columnWidths;
    bool m_landscape = false;
    bool m_selected = false;
    int m_revision = 0;
};

#endif // PEXCELSHEETDATA_H
