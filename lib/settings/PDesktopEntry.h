#ifndef PDESKTOPENTRY_H
#define PDESKTOPENTRY_H

#include <QPair>
#include <QString>
#include <QVector>

// The main group ("[Desktop Entry]") of a freedesktop.org desktop entry file: its keys
// and string values, read from and written to UTF-8 files. Other groups are ignored on
// reading and not written.
class PDesktopEntry
{
public:
    // Reads the main group of the file; false when the file cannot be read.
    bool load(const QString &filePath);
    // Writes the main group as the file's whole content, replacing it atomically.
    bool save(const QString &filePath) const;

    QString value(const QString &key) const;
    void setValue(const QString &key, const QString &value);

    // String values escape backslash, line ends, tabs and a leading space.
    static QString escape(const QString &value);
    static QString unescape(const QString &text);

private:
    void parseLine(const QString &line, bool *inMainGroup);

    QVector<QPair<QString, QString>> m_entries;
};

#endif // PDESKTOPENTRY_H
