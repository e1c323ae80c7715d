#include "PTransliteration.h"

namespace {

struct TablePair
{
    const char *key;   // UTF-8
    const char *value; // UTF-8
};

// Lower-case Cyrillic letter -> Latin form.
const TablePair cyrillicToLatinPairs[] = {
    {"а", "a"},  {"б", "b"},  {"в", "v"},  {"г", "g"},    {"д", "d"},
    {"е", "ye"}, {"ё", "yo"}, {"ж", "zh"}, {"з", "z"},    {"и", "i"},
    {"й", "j"},  {"к", "k"},  {"л", "l"},  {"м", "m"},    {"н", "n"},
    {"о", "o"},  {"п", "p"},  {"р", "r"},  {"с", "s"},    {"т", "t"},
    {"у", "u"},  {"ф", "f"},  {"х", "k"},  {"ц", "c"},    {"ч", "ch"},
    {"ш", "sh"}, {"щ", "shch"}, {"ъ", "#"}, {"ы", "y"},   {"ь", "'"},
    {"э", "e"},  {"ю", "yu"}, {"я", "ya"},
};

// Lower-case Latin group of one to four characters -> Cyrillic form.
const TablePair latinToCyrillicPairs[] = {
    {"a", "а"},  {"b", "б"},  {"v", "в"},  {"g", "г"},    {"d", "д"},
    {"ye", "е"}, {"yo", "ё"}, {"zh", "ж"}, {"z", "з"},    {"i", "и"},
    {"j", "й"},  {"k", "к"},  {"l", "л"},  {"m", "м"},    {"n", "н"},
    {"o", "о"},  {"p", "п"},  {"r", "р"},  {"s", "с"},    {"t", "т"},
    {"u", "у"},  {"f", "ф"},  {"h", "х"},  {"c", "ц"},    {"ch", "ч"},
    {"sh", "ш"}, {"shch", "щ"}, {"#", "ъ"}, {"y", "ы"},   {"'", "ь"},
    {"e", "э"},  {"yu", "ю"}, {"ya", "я"},
    // groups ending in й
    {"ay", "ай"}, {"ey", "эй"}, {"ej", "эй"}, {"iy", "ий"}, {"ij", "ий"},
    {"oy", "ой"}, {"oj", "ой"}, {"uy", "уй"}, {"uj", "уй"}, {"yj", "ый"},
};

template <std::size_t N>
void fillTable(QMap<QString, QString> &table, const TablePair (&pairs)[N])
{
    for (const TablePair &pair : pairs)
        table.insert(QString::fromUtf8(pair.key), QString::fromUtf8(pair.value));
}

// Longest Latin group tried first, then the shorter ones; there are no three-letter groups.
const int latinGroupLengths[] = {4, 2, 1};

} // namespace

PTransliteration::PTransliteration()
{
    fillCyrillicToLatin();
    fillLatinToCyrillic();
}

PTransliteration::~PTransliteration() = default;

void PTransliteration::fillCyrillicToLatin()
{
    fillTable(m_cyrillicToLatin, cyrillicToLatinPairs);
}

void PTransliteration::fillLatinToCyrillic()
{
    fillTable(m_latinToCyrillic, latinToCyrillicPairs);
}

bool PTransliteration::isConvertible(const QString &text)
{
    return !text.isEmpty() && text.length() <= maxTextLength;
}

bool PTransliteration::appendMapped(const QMap<QString, QString> &table, const QString &piece,
                                    QString &result)
{
    const QString lower = piece.toLower();
    const auto found = table.constFind(lower);
    if (found == table.constEnd())
        return false;
    result += (piece == lower) ? found.value() : found.value().toUpper();
    return true;
}

QString PTransliteration::createLatin(const QString &text) const
{
    QString result;
    if (!isConvertible(text))
        return result;
    result.reserve(text.length() * 2);
    for (const QChar ch : text) {
        if (!appendMapped(m_cyrillicToLatin, QString(ch), result))
            result += ch;
    }
    return result;
}

QString PTransliteration::createCyrillic(const QString &text) const
{
    QString result;
    if (!isConvertible(text))
        return result;
    result.reserve(text.length());
    int i = 0;
    while (i < text.length()) {
        int taken = 0;
        for (const int groupLength : latinGroupLengths) {
            if (i + groupLength <= text.length()
                && appendMapped(m_latinToCyrillic, text.mid(i, groupLength), result)) {
                taken = groupLength;
                break;
            }
        }
        if (taken == 0) {
            result += text.at(i);
            taken = 1;
        }
        i += taken;
    }
    return result;
}
