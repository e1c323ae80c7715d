#include "PVigenereCrypt.h"

PVigenereCrypt::PVigenereCrypt()
    : m_alphabet("abcdefghijklmnopqrstuvwxyz")
{
    initVigenereTable();
}

PVigenereCrypt::~PVigenereCrypt() = default;

void PVigenereCrypt::initVigenereTable()
{
    for (int row = 0; row < alphabetLetters; ++row)
        m_table[row] = m_alphabet.substr(row) + m_alphabet.substr(0, row);
}

std::string PVigenereCrypt::encryptString(std::string text, std::string key) const
{
    return transform(text, key, Direction::Encipher);
}

std::string PVigenereCrypt::decryptionStr(std::string cipherText, std::string key) const
{
    return transform(cipherText, key, Direction::Decipher);
}

bool PVigenereCrypt::isUpperLetter(char c)
{
    return c >= LetterAbig && c <= LetterZbig;
}

bool PVigenereCrypt::isLowerLetter(char c)
{
    return c >= LetterAbig + Space && c <= LetterZsmall;
}

int PVigenereCrypt::rowForKey(char keyChar) const
{
    const char lower = isUpperLetter(keyChar) ? char(keyChar + Space) : keyChar;
    for (int row = 0; row < alphabetLetters; ++row) {
        if (m_table[row].front() == lower)
            return row;
    }
    return 0;
}

char PVigenereCrypt::transformLetter(char letter, int row, Direction direction) const
{
    const bool upper = isUpperLetter(letter);
    const char lower = upper ? char(letter + Space) : letter;
    char out;
    if (direction == Direction::Encipher)
        out = m_table[row][m_table.front().find(lower)];
    else
        out = m_table.front()[m_table[row].find(lower)];
    return upper ? char(out - Space) : out;
}

std::string PVigenereCrypt::transform(const std::string &text, const std::string &key,
                                      Direction direction) const
{
    if (key.empty())
        return text;
    std::string result;
    result.reserve(text.size());
    for (std::size_t j = 0; j < text.size(); ++j) {
        const char c = text[j];
        if (isUpperLetter(c) || isLowerLetter(c))
            result += transformLetter(c, rowForKey(key[j % key.size()]), direction);
        else
            result += c;
    }
    return result;
}
