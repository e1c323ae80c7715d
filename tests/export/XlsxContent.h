#ifndef XLSXCONTENT_H
#define XLSXCONTENT_H

#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

// Reads back what a test needs of an .xlsx file (a zip of XML parts, unpacked
// with the unzip command): the first sheet's cell texts and formats, column
// widths and page orientation.
class XlsxContent
{
public:
    struct Style {
        bool bold = false;
        bool wrap = false;
        QString horizontal;
        QString vertical;
        QStringList borders; // sides with a thin line: left, right, top, bottom
    };

    explicit XlsxContent(const QString &path);

    bool isValid() const { return m_valid; }
    QString error() const { return m_error; }
    QStringList cellRefs() const { return m_texts.keys(); }
    QString text(const QString &ref) const { return m_texts.value(ref); }
    // A number cell (not a text, boolean or empty cell).
    bool isNumber(const QString &ref) const { return m_numbers.contains(ref); }
    Style style(const QString &ref) const;
    // -1 when the column has no width of its own.
    double columnWidth(int column) const { return m_widths.value(column, -1.0); }
    QString orientation() const { return m_orientation; }

private:
    QByteArray part(const QString &name, bool required = true);
    void readSharedStrings(const QByteArray &xml);
    void readSheet(const QByteArray &xml);
    void readStyles(const QByteArray &xml);

    bool m_valid = false;
    QString m_path;
    QString m_error;
    QStringList m_sharedStrings;
    QMap<QString, QString> m_texts;
    QStringList m_numbers;
    QHash<QString, int> m_styleOfCell;
    QVector<bool> m_fontBold;
    QVector<QStringList> m_borders;
    QVector<Style> m_xfs;
    QMap<int, double> m_widths;
    QString m_orientation;
};

#endif // XLSXCONTENT_H
