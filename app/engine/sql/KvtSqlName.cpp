#include "KvtSqlName.h"

namespace KvtSqlName {

bool isInteger(const QString &text)
{
    const int start = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    if (text.size() <= start || text.size() - start > 20)
        return false;
    for (int i = start; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

} // namespace KvtSqlName
