#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <algorithm>

// Checks the Russian translation source (KVT_TS_FILE) that ships with the program:
// every entry is finished, not empty and still used, and keeps the source's
// placeholders and its leading and trailing spaces (texts are joined with others).
// It also has exactly the entries that lupdate (KVT_LUPDATE) finds in the code
// (KVT_APP_DIR, KVT_LIB_DIR), so a text added to the code without running
// update_translations fails here instead of showing up in English.
class tst_TranslationFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void entry_data();
    void entry();
    void everyCodeTextHasAnEntry();
    void everyEntryHasACodeText();

private:
    struct Entry
    {
        QString context;
        QString source;
        QString comment; // disambiguation
        QString type;
        QStringList translations; // one, or one per plural form
    };
    static QList<Entry> readEntries(const QString &fileName, QString *error);
    static Entry readMessage(QXmlStreamReader &xml, const QString &context);
    // "context: source" (with " (comment)" when there is one), one per entry.
    static QSet<QString> keys(const QList<Entry> &entries);
    static QString report(const QSet<QString> &found);

    QList<Entry> m_entries;
    // The entries lupdate writes for the code as it is now.
    QList<Entry> m_codeEntries;
};

tst_TranslationFile::Entry tst_TranslationFile::readMessage(QXmlStreamReader &xml, const QString &context)
{
    Entry entry;
    entry.context = context;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("source")) {
            entry.source = xml.readElementText();
        } else if (xml.name() == QLatin1String("comment")) {
            entry.comment = xml.readElementText();
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

    // A fresh file, so that nothing of the shipped one is carried over.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString codeTs = dir.filePath(QStringLiteral("code.ts"));
    QProcess lupdate;
    lupdate.setProcessChannelMode(QProcess::ForwardedChannels);
    lupdate.start(QStringLiteral(KVT_LUPDATE),
                  {QStringLiteral("-silent"), QStringLiteral("-no-obsolete"),
                   QStringLiteral("-locations"), QStringLiteral("none"),
                   QStringLiteral(KVT_APP_DIR), QStringLiteral(KVT_LIB_DIR),
                   QStringLiteral("-ts"), codeTs});
    QVERIFY2(lupdate.waitForFinished(-1), qPrintable(lupdate.errorString()));
    QCOMPARE(lupdate.exitStatus(), QProcess::NormalExit);
    QCOMPARE(lupdate.exitCode(), 0);
    m_codeEntries = readEntries(codeTs, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(!m_codeEntries.isEmpty());
}

QSet<QString> tst_TranslationFile::keys(const QList<Entry> &entries)
{
    QSet<QString> result;
    for (const Entry &e : entries) {
        QString key = e.context + QStringLiteral(": ") + e.source;
        if (!e.comment.isEmpty())
            key += QStringLiteral(" (") + e.comment + QLatin1Char(')');
        result.insert(key);
    }
    return result;
}

QString tst_TranslationFile::report(const QSet<QString> &found)
{
    QStringList lines = found.values();
    std::sort(lines.begin(), lines.end());
    return lines.join(QLatin1Char('\n'));
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

// Run update_translations and translate the new entries.
void tst_TranslationFile::everyCodeTextHasAnEntry()
{
    const QSet<QString> missing = keys(m_codeEntries) - keys(m_entries);
    QVERIFY2(missing.isEmpty(),
             qPrintable(QStringLiteral("texts of the code without an entry:\n") + report(missing)));
}

// Run update_translations: it drops the entries of texts that are gone from the code.
void tst_TranslationFile::everyEntryHasACodeText()
{
    const QSet<QString> stale = keys(m_entries) - keys(m_codeEntries);
    QVERIFY2(stale.isEmpty(),
             qPrintable(QStringLiteral("entries without a text in the code:\n") + report(stale)));
}

QTEST_GUILESS_MAIN(tst_TranslationFile)

#include "tst_translationFile.moc"
