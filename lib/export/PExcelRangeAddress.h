#ifndef PEXCELRANGEADDRESS_H
#define PEXCELRANGEADDRESS_H

#include "pelmora0_global.h"

#include <QString>

// A rectangular block of a worksheet in spreadsheet notation: a cell ("B2"),
// a block ("A1:C3"), whole columns ("A:C") or whole rows ("2:4"); "$" marks
// are accepted. Rows and columns count from 1.
class PELMORA0_EXPORT PExcelRangeAddress
{
public:
    static constexpr int maxRows = 1048576;
    static constexpr int maxColumns = 16384;

    PExcelRangeAddress() = default;
    // One cell; invalid when outside the sheet.
    PExcelRangeAddress(int row, int column);

    // Parses an address; the result is invalid when the text is none.
    static PExcelRangeAddress parse(const QString &text);
    // The smallest block holding both.
    static PExcelRangeAddress spanning(const PExcelRangeAddress &a, const PExcelRangeAddress &b);

    static QString columnName(int column);
    static int columnNumber(const QString &name);

    bool isValid() const { return m_valid; }
    bool isWholeRows() const { return m_left == 1 && m_right == maxColumns; }
    bool isWholeColumns() const { return m_top == 1 && m_bottom == maxRows; }
    int top() const { return m_top; }
    int left() const { return m_left; }
    int bottom() const { return m_bottom; }
    int right() const { return m_right; }
    bool contains(int row, int column) const;
    // Absolute notation: "$A$1", "$A$1:$C$3", "$A:$C" or "$2:$4".
    QString address() const;

private:
    static PExcelRangeAddress parsePart(const QString &text);
    static PExcelRangeAddress block(int top, int left, int bottom, int right);

    bool m_valid = false;
    int m_top = 0;
    int m_left = 0;
    int m_bottom = 0;
    int m_right = 0;
};

#endif // PEXCELRANGEADDRESS_H
