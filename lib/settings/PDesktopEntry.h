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

    // One argument of an Exec value, quoted by the Exec rules: in double quotes, with
    // '"', '`', '$' and '\' preceded by a backslash and '%' doubled. The string rules
    // (escape) apply on top when the value is saved.
    static QString quoteExecArgument(const QString &argument);
    // The argument of an Exec value that is exactly one such quoted argument; false
    // (argument untouched) for any other value.
    static bool unquoteExecArgument(const QString &exec, QString *argument);

private:
    void parseLine(const QString &line, bool *inMainGroup);

    QVector<QPair<QString, QString>> m_entries;
};

#endif // PDESKTOPENTRY_H
