#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QXmlStreamReader>

// Checks the Russian translation source (KVT_TS_FILE) that ships with the program:
// every entry is finished, not empty and still used, and keeps the source's
// placeholders and its leading and trailing spaces (texts are joined with others).
class tst_TranslationFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void entry_data();
    void entry();

private:
    struct Entry
    {
        QString context;
        QString source;
        QString type;
        QStringList translations; // one, or one per plural form
    };
    static QList<Entry> readEntries(const QString &fileName, QString *error);
    static Entry readMessage(QXmlStreamReader &xml, const QString &context);

    QList<Entry> m_entries;
};

tst_TranslationFile::Entry tst_TranslationFile::readMessage(QXmlStreamReader &xml, const QString &context)
{
    Entry entry;
    entry.context = context;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("source")) {
            entry.source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            entry.type = xml.attributes().value(QLatin1String("type")).toString();
            bool plural = false;
            QString text;
            while (!xml.atEnd()) {
                xml.readNext();
                if (xml.isCharacters())
                    text += xml.text();
                else if (xml.isStartElement() && xml.name() == QLatin1String("numerusform")) {
                    plural = true;
                    entry.translations << xml.readElementText();
                } else if (xml.isEndElement() && xml.name() == QLatin1String("translation"))
                    break;
            }
            if (!plural)
                entry.translations << text;
        } else {
            xml.skipCurrentElement();
        }
    }
    return entry;
}

QList<tst_TranslationFile::Entry> tst_TranslationFile::readEntries(const QString &fileName, QString *error)
{
    QList<Entry> entries;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return entries;
    }
    QXmlStreamReader xml(&file);
    QString context;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name"))
            context = xml.readElementText();
        else if (xml.name() == QLatin1String("message"))
            entries << readMessage(xml, context);
    }
    if (xml.hasError())
        *error = QStringLiteral("line %1: %2").arg(xml.lineNumber()).arg(xml.errorString());
    return entries;
}

void tst_TranslationFile::initTestCase()
{
    QString error;
    m_entries = readEntries(QStringLiteral(KVT_TS_FILE), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(!m_entries.isEmpty());
}

void tst_TranslationFile::entry_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QStringList>("translations");
    for (const Entry &e : qAsConst(m_entries))
        QTest::addRow("%s: %s", qPrintable(e.context), qPrintable(e.source))
            << e.source << e.type << e.translations;
}

namespace {

QSet<QString> placeholders(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("%(?:L?\\d+|n)"));
    QSet<QString> found;
    auto it = pattern.globalMatch(text);
    while (it.hasNext())
        found.insert(it.next().captured(0));
    return found;
}

int leadingSpaces(const QString &text)
{
    int n = 0;
    while (n < text.size() && text.at(n).isSpace())
        ++n;
    return n;
}

int trailingSpaces(const QString &text)
{
    int n = 0;
    while (n < text.size() && text.at(text.size() - 1 - n).isSpace())
        ++n;
    return n;
}

} // namespace

void tst_TranslationFile::entry()
{
    QFETCH(QString, source);
    QFETCH(QString, type);
    QFETCH(QStringList, translations);

    QVERIFY2(type.isEmpty(), qPrintable(QStringLiteral("marked \"%1\"").arg(type)));
    QVERIFY(!source.isEmpty());
    QVERIFY(!translations.isEmpty());
    for (const QString &translation : qAsConst(translations)) {
        QVERIFY2(!translation.trimmed().isEmpty(), "empty translation");
        QCOMPARE(placeholders(translation), placeholders(source));
        QCOMPARE(leadingSpaces(translation), leadingSpaces(source));
        QCOMPARE(trailingSpaces(translation), trailingSpaces(source));
    }
}

QTEST_GUILESS_MAIN(tst_TranslationFile)

#include "tst_translationFile.moc"
