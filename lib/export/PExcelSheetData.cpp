#include "PExcelSheetData.h"

#include <algorithm>

PExcelSheetData::PExcelSheetData(const QString &name)
    : m_name(name)
{
}

const PExcelCell *PExcelSheetData::cell(int row, int column) const
{
    const auto it = m_cells.constFind(qMakePair(row, column));
    return it == m_cells.constEnd() ? nullptr : &it.value();
}

void PExcelSheetData::changeCells(const PExcelRangeAddress &block,
                                  const std::function<void(PExcelCell &)> &change)
{
    if (!block.isValid())
        return;
    // Whole rows or columns, and blocks too large to keep cell by cell, reach
    // only as far as the cells in use.
    const qint64 size = qint64(block.bottom() - block.top() + 1) * (block.right() - block.left() + 1);
    const bool huge = size > maxCellsPerChange;
    const int bottom = block.isWholeColumns() || huge ? std::min(block.bottom(), lastUsedRow()) : block.bottom();
    const int right = block.isWholeRows() || huge ? std::min(block.right(), lastUsedColumn()) : block.right();
    for (int row = block.top(); row <= bottom; ++row) {
        for (int column = block.left(); column <= right; ++column)
            change(m_cells[qMakePair(row, column)]);
    }
    ++m_revision;
}

void PExcelSheetData::setColumnWidth(int column, double width)
{
    m_columnWidths.insert(column, width);
    ++m_revision;
}

void PExcelSheetData::setLandscape(bool landscape)
{
    m_landscape = landscape;
    ++m_revision;
}

void PExcelSheetData::setSelected(bool selected)
{
    m_selected = selected;
}

void PExcelSheetData::deleteRows(int first, int last)
{
    const int count = last - first + 1;
    remapCells([=](CellKey &key) {
        if (key.first >= first && key.first <= last)
            return false;
        if (key.first > last)
            key.first -= count;
        return true;
    });
}

void PExcelSheetData::deleteColumns(int first, int last)
{
    const int count = last - first + 1;
    remapCells([=](CellKey &key) {
        if (key.second >= first && key.second <= last)
            return false;
        if (key.second > last)
            key.second -= count;
        return true;
    });
    QMap<int, double> widths;
    for (auto it = m_columnWidths.cbegin(); it != m_columnWidths.cend(); ++it) {
        if (it.key() < first)
            widths.insert(it.key(), it.value());
        else if (it.key() > last)
            widths.insert(it.key() - count, it.value());
    }
    m_columnWidths = widths;
}

void PExcelSheetData::deleteCellsShiftUp(const PExcelRangeAddress &block)
{
    const int count = block.bottom() - block.top() + 1;
    remapCells([=](CellKey &key) {
        if (key.second < block.left() || key.second > block.right())
            return true;
        if (key.first >= block.top() && key.first <= block.bottom())
            return false;
        if (key.first > block.bottom())
            key.first -= count;
        return true;
    });
}

void PExcelSheetData::deleteCellsShiftLeft(const PExcelRangeAddress &block)
{
    const int count = block.right() - block.left() + 1;
    remapCells([=](CellKey &key) {
        if (key.first < block.top() || key.first > block.bottom())
            return true;
        if (key.second >= block.left() && key.second <= block.right())
            return false;
        if (key.second > block.right())
            key.second -= count;
        return true;
    });
}

void PExcelSheetData::remapCells(const KeyMapper &mapper)
{
    QMap<CellKey, PExcelCell> moved;
    for (auto it = m_cells.cbegin(); it != m_cells.cend(); ++it) {
        CellKey key = it.key();
        if (mapper(key))
            moved.insert(key, it.value());
    }
    m_cells = moved;
    ++m_revision;
}

int PExcelSheetData::lastUsedRow() const
{
    int row = 0;
    for (auto it = m_cells.cbegin(); it != m_cells.cend(); ++it)
        row = std::max(row, it.key().first);
    return row;
}

int PExcelSheetData::lastUsedColumn() const
{
    int column = 0;
    for (auto it = m_cells.cbegin(); it != m_cells.cend(); ++it)
        column = std::max(column, it.key().second);
    return column;
}
