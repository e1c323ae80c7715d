#include "PExcelRangeAddress.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

PExcelRangeAddress::PExcelRangeAddress(int row, int column)
{
    *this = block(row, column, row, column);
}

PExcelRangeAddress PExcelRangeAddress::parse(const QString &text)
{
    const QStringList parts = text.trimmed().toUpper().split(QLatin1Char(':'));
    if (parts.size() == 1)
        return parsePart(parts.first());
    if (parts.size() != 2)
        return {};
    const PExcelRangeAddress first = parsePart(parts.at(0));
    const PExcelRangeAddress second = parsePart(parts.at(1));
    const bool sameKind = first.isWholeRows() == second.isWholeRows()
        && first.isWholeColumns() == second.isWholeColumns();
    return sameKind ? spanning(first, second) : PExcelRangeAddress();
}

PExcelRangeAddress PExcelRangeAddress::spanning(const PExcelRangeAddress &a, const PExcelRangeAddress &b)
{
    if (!a.isValid() || !b.isValid())
        return {};
    return block(std::min(a.m_top, b.m_top), std::min(a.m_left, b.m_left),
                 std::max(a.m_bottom, b.m_bottom), std::max(a.m_right, b.m_right));
}

QString PExcelRangeAddress::columnName(int column)
{
    QString name;
    for (; column > 0; column = (column - 1) / 26)
        name.prepend(QLatin1Char(static_cast<char>('A' + (column - 1) % 26)));
    return name;
}

int PExcelRangeAddress::columnNumber(const QString &name)
{
    int column = 0;
    for (const QChar c : name) {
        if (c < QLatin1Char('A') || c > QLatin1Char('Z') || column > maxColumns)
            return 0;
        column = column * 26 + (c.unicode() - 'A' + 1);
    }
    return column;
}

bool PExcelRangeAddress::contains(int row, int column) const
{
    return m_valid && row >= m_top && row <= m_bottom && column >= m_left && column <= m_right;
}

QString PExcelRangeAddress::address() const
{
    if (!m_valid)
        return QString();
    const auto cell = [](int row, int column) {
        return QStringLiteral("$%1$%2").arg(columnName(column)).arg(row);
    };
    if (isWholeColumns())
        return QStringLiteral("$%1:$%2").arg(columnName(m_left), columnName(m_right));
    if (isWholeRows())
        return QStringLiteral("$%1:$%2").arg(m_top).arg(m_bottom);
    if (m_top == m_bottom && m_left == m_right)
        return cell(m_top, m_left);
    return cell(m_top, m_left) + QLatin1Char(':') + cell(m_bottom, m_right);
}

PExcelRangeAddress PExcelRangeAddress::parsePart(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\$?([A-Z]{0,3})\\$?(\\d{0,7})$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch() || text.isEmpty())
        return {};
    const QString letters = match.captured(1);
    const QString digits = match.captured(2);
    if (letters.isEmpty() && digits.isEmpty())
        return {};
    const int column = columnNumber(letters);
    const int row = digits.toInt();
    if (letters.isEmpty())
        return block(row, 1, row, maxColumns);
    if (digits.isEmpty())
        return block(1, column, maxRows, column);
    return block(row, column, row, column);
}

PExcelRangeAddress PExcelRangeAddress::block(int top, int left, int bottom, int right)
{
    PExcelRangeAddress result;
    result.m_valid = top >= 1 && left >= 1 && bottom <= maxRows && right <= maxColumns
        && top <= bottom && left <= right;
    if (result.m_valid) {
        result.m_top = top;
        result.m_left = left;
        result.m_bottom = bottom;
        result.m_right = right;
    }
    return result;
}
