#include "XlsxContent.h"

#include <QProcess>
#include <QXmlStreamReader>

XlsxContent::XlsxContent(const QString &path)
    : m_path(path)
{
    const QByteArray sheet = part(QStringLiteral("xl/worksheets/sheet1.xml"));
    const QByteArray styles = part(QStringLiteral("xl/styles.xml"));
    if (sheet.isEmpty() || styles.isEmpty())
        return;
    readSharedStrings(part(QStringLiteral("xl/sharedStrings.xml"), false));
    readStyles(styles);
    readSheet(sheet);
    m_valid = m_error.isEmpty();
}

XlsxContent::Style XlsxContent::style(const QString &ref) const
{
    return m_xfs.value(m_styleOfCell.value(ref, 0));
}

QByteArray XlsxContent::part(const QString &name, bool required)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), m_path, name});
    if (!unzip.waitForFinished(30000) || unzip.exitCode() != 0) {
        if (required)
            m_error += QStringLiteral("cannot unzip %1: %2; ").arg(name, QString::fromLocal8Bit(unzip.readAllStandardError()));
        return QByteArray();
    }
    return unzip.readAllStandardOutput();
}

void XlsxContent::readSharedStrings(const QByteArray &xml)
{
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == QLatin1String("si"))
            m_sharedStrings.append(QString());
        else if (reader.isStartElement() && reader.name() == QLatin1String("t") && !m_sharedStrings.isEmpty())
            m_sharedStrings.last() += reader.readElementText();
    }
}

void XlsxContent::readSheet(const QByteArray &xml)
{
    QXmlStreamReader reader(xml);
    QString ref;
    QString type;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement())
            continue;
        const QXmlStreamAttributes attributes = reader.attributes();
        if (reader.name() == QLatin1String("c")) {
            ref = attributes.value(QLatin1String("r")).toString();
            type = attributes.value(QLatin1String("t")).toString();
            m_styleOfCell.insert(ref, attributes.value(QLatin1String("s")).toInt());
            m_texts.insert(ref, QString());
        } else if (reader.name() == QLatin1String("v")) {
            const QString value = reader.readElementText();
            if (type.isEmpty() || type == QLatin1String("n"))
                m_numbers.append(ref);
            m_texts.insert(ref, type == QLatin1String("s") ? m_sharedStrings.value(value.toInt()) : value);
        } else if (reader.name() == QLatin1String("col")) {
            for (int c = attributes.value(QLatin1String("min")).toInt();
                 c <= attributes.value(QLatin1String("max")).toInt(); ++c)
                m_widths.insert(c, attributes.value(QLatin1String("width")).toDouble());
        } else if (reader.name() == QLatin1String("pageSetup")) {
            m_orientation = attributes.value(QLatin1String("orientation")).toString();
        }
    }
    if (reader.hasError())
        m_error += QStringLiteral("sheet: ") + reader.errorString();
}

void XlsxContent::readStyles(const QByteArray &xml)
{
    QXmlStreamReader reader(xml);
    QString section;
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement())
            continue;
        const auto name = reader.name(); // QStringRef (Qt 5) or QStringView (Qt 6)
        const QXmlStreamAttributes attributes = reader.attributes();
        if (name == QLatin1String("fonts") || name == QLatin1String("borders") || name == QLatin1String("cellXfs")
            || name == QLatin1String("cellStyleXfs"))
            section = name.toString();
        else if (section == QLatin1String("fonts") && name == QLatin1String("font"))
            m_fontBold.append(false);
        else if (section == QLatin1String("fonts") && name == QLatin1String("b"))
            m_fontBold.last() = true;
        else if (section == QLatin1String("borders") && name == QLatin1String("border"))
            m_borders.append(QStringList());
        else if (section == QLatin1String("borders") && attributes.value(QLatin1String("style")) == QLatin1String("thin"))
            m_borders.last().append(name.toString());
        else if (section == QLatin1String("cellXfs") && name == QLatin1String("xf")) {
            Style style;
            style.bold = m_fontBold.value(attributes.value(QLatin1String("fontId")).toInt());
            style.borders = m_borders.value(attributes.value(QLatin1String("borderId")).toInt());
            m_xfs.append(style);
        } else if (section == QLatin1String("cellXfs") && name == QLatin1String("alignment")) {
            m_xfs.last().horizontal = attributes.value(QLatin1String("horizontal")).toString();
            m_xfs.last().vertical = attributes.value(QLatin1String("vertical")).toString();
            m_xfs.last().wrap = attributes.value(QLatin1String("wrapText")) == QLatin1String("1");
        }
    }
    if (reader.hasError())
        m_error += QStringLiteral("styles: ") + reader.errorString();
}
