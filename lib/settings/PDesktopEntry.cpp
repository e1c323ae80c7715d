#include "PDesktopEntry.h"

#include <QFile>
#include <QSaveFile>

namespace {
const QString mainGroup = QStringLiteral("Desktop Entry");
const QString execReserved = QStringLiteral("\"`$\\");
const QChar quote = QLatin1Char('"');
const QChar percent = QLatin1Char('%');
}

bool PDesktopEntry::load(const QString &filePath)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    m_entries.clear();
    bool inMainGroup = false;
    const QString text = QString::fromUtf8(file.readAll());
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        parseLine(line, &inMainGroup);
    }
    return true;
}

void PDesktopEntry::parseLine(const QString &line, bool *inMainGroup)
{
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
        return;
    if (trimmed.startsWith(QLatin1Char('[')) && trimmed.endsWith(QLatin1Char(']'))) {
        *inMainGroup = trimmed.mid(1, trimmed.size() - 2) == mainGroup;
        return;
    }
    const int equals = line.indexOf(QLatin1Char('='));
    if (!*inMainGroup || equals < 0)
        return;
    const QString key = line.left(equals).trimmed();
    QString raw = line.mid(equals + 1);
    int start = 0;
    while (start < raw.size() && (raw.at(start) == QLatin1Char(' ') || raw.at(start) == QLatin1Char('\t')))
        ++start;
    setValue(key, unescape(raw.mid(start)));
}

bool PDesktopEntry::save(const QString &filePath) const
{
    QString text = QLatin1Char('[') + mainGroup + QLatin1String("]\n");
    for (const auto &entry : m_entries)
        text += entry.first + QLatin1Char('=') + escape(entry.second) + QLatin1Char('\n');
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(text.toUtf8());
    return file.commit();
}

QString PDesktopEntry::value(const QString &key) const
{
    for (const auto &entry : m_entries) {
        if (entry.first == key)
            return entry.second;
    }
    return QString();
}

void PDesktopEntry::setValue(const QString &key, const QString &value)
{
    for (auto &entry : m_entries) {
        if (entry.first == key) {
            entry.second = value;
            return;
        }
    }
    m_entries.append(qMakePair(key, value));
}

QString PDesktopEntry::escape(const QString &value)
{
    QString text;
    text.reserve(value.size());
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('\\'))
            text += QLatin1String("\\\\");
        else if (c == QLatin1Char('\n'))
            text += QLatin1String("\\n");
        else if (c == QLatin1Char('\r'))
            text += QLatin1String("\\r");
        else if (c == QLatin1Char('\t'))
            text += QLatin1String("\\t");
        else if (c == QLatin1Char(' ') && i == 0)
            text += QLatin1String("\\s");
        else
            text += c;
    }
    return text;
}

QString PDesktopEntry::unescape(const QString &text)
{
    QString value;
    value.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\\') || i + 1 == text.size()) {
            value += c;
            continue;
        }
        const QChar next = text.at(++i);
        switch (next.toLatin1()) {
        case 's': value += QLatin1Char(' '); break;
        case 'n': value += QLatin1Char('\n'); break;
        case 'r': value += QLatin1Char('\r'); break;
        case 't': value += QLatin1Char('\t'); break;
        case '\\': value += QLatin1Char('\\'); break;
        default: value += c; value += next; break;
        }
    }
    return value;
}

QString PDesktopEntry::quoteExecArgument(const QString &argument)
{
    QString text = quote;
    for (const QChar c : argument) {
        if (execReserved.contains(c))
            text += QLatin1Char('\\');
        else if (c == percent)
            text += percent;
        text += c;
    }
    return text + quote;
}

bool PDesktopEntry::unquoteExecArgument(const QString &exec, QString *argument)
{
    if (exec.size() < 2 || exec.front() != quote || exec.back() != quote)
        return false;
    QString value;
    for (int i = 1; i < exec.size() - 1; ++i) {
        QChar c = exec.at(i);
        const bool escaped = c == QLatin1Char('\\') || c == percent;
        if (escaped) {
            // A backslash escapes a reserved character, '%' only itself; anything
            // else (a field code like %f, a stray backslash) is not a plain argument.
            if (i + 2 >= exec.size())
                return false;
            const QChar next = exec.at(++i);
            if (c == percent ? next != percent : !execReserved.contains(next))
                return false;
            c = next;
        } else if (c == quote) {
            return false;
        }
        value += c;
    }
    *argument = value;
    return true;
}
