#ifndef PROGRAMENCODING_H
#define PROGRAMENCODING_H

#include <QByteArray>
#include <QString>

class QTextCodec;

// The program's 8-bit encoding in tests: QTextCodec::codecForLocale(), which kvtmerge makes
// Windows-1251 at start-up. Every test of text in that encoding runs the same rows.
namespace ProgramEncoding {

// The text the rows hold: "Же".
extern const QString text;
// Columns "codec" (a QTextCodec name) and "bytes" (text in it): Windows-1251 and UTF-8.
void addRows();

// Makes the codec the program's encoding until the object ends.
class Scope
{
public:
    explicit Scope(const QByteArray &codec);
    ~Scope();
    Scope(const Scope &) = delete;
    Scope &operator=(const Scope &) = delete;

private:
    QTextCodec *m_previous;
};

} // namespace ProgramEncoding

#endif // PROGRAMENCODING_H
