#ifndef PTRANSLITERATION_H
#define PTRANSLITERATION_H

#include "pelmora0_global.h"

#include <QMap>
#include <QString>

// Converts Russian text between Cyrillic and Latin letters with the library's own
// letter tables. Cyrillic goes to Latin letter by letter; Latin goes to Cyrillic by a
// greedy match of letter groups (four letters, then two, then one). Anything not in a
// table passes through unchanged. Texts longer than maxTextLength give an empty result.
class PELMORA0_EXPORT PTransliteration
{
public:
    static constexpr int maxTextLength = 2048;

    PTransliteration();
    ~PTransliteration();

    QString createLatin(const QString &text) const;
    QString createCyrillic(const QString &text) const;

private:
    void fillCyrillicToLatin();
    void fillLatinToCyrillic();
    // Appends the table value for piece, upper-cased unless piece is all lower case;
    // returns false (appending nothing) when the piece is not in the table.
    static bool appendMapped(const QMap<QString, QString> &table, const QString &piece,
                             QString &result);
    static bool isConvertible(const QString &text);

    QMap<QString, QString> m_cyrillicToLatin;
    QMap<QString, QString> m_latinToCyrillic;
};

#endif // PTRANSLITERATION_H
