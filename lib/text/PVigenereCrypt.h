#ifndef PVIGENERECRYPT_H
#define PVIGENERECRYPT_H

#include "pelmora0_global.h"

#include <array>
#include <string>

// Classical Vigenere cipher over the 26 Latin letters of 8-bit strings. Each letter of
// the text is shifted forward (encipher) or back (decipher) by the alphabet index of the
// key letter at the same position, through a 26 x 26 table (tabula recta). Letter case
// is kept; every other character passes unchanged but still uses up its key position.
//
// The key is given at every call. A key letter shifts by its alphabet index whatever its
// case; any other key character shifts by 0. An empty key leaves the text unchanged.
// A result depends only on its text and key, so one object may serve several threads.
class PELMORA0_EXPORT PVigenereCrypt
{
public:
    static constexpr int alphabetLetters = 26;
    static constexpr int LetterAbig = 65;    // 'A', lowest letter code enciphered
    static constexpr int LetterZbig = 90;    // 'Z', highest upper-case letter code
    static constexpr int LetterZsmall = 122; // 'z', highest letter code enciphered
    // Code of the space; also the distance between an upper-case letter and its
    // lower-case form.
    static constexpr int Space = 32;

    PVigenereCrypt();
    ~PVigenereCrypt();

    // Builds the table afresh: row r, column c holds the letter with index (r + c) mod 26.
    void initVigenereTable();

    std::string encryptString(std::string text, std::string key) const;
    std::string decryptionStr(std::string cipherText, std::string key) const;

private:
    enum class Direction { Encipher, Decipher };

    std::string transform(const std::string &text, const std::string &key,
                          Direction direction) const;
    char transformLetter(char letter, int row, Direction direction) const;
    int rowForKey(char keyChar) const;

    static bool isUpperLetter(char c);
    static bool isLowerLetter(char c);

    std::string m_alphabet;
    std::array<std::string, alphabetLetters> m_table;
};

#endif // PVIGENERECRYPT_H
