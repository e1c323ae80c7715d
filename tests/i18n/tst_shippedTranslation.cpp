#include <QRegularExpression>
#include <QTest>
#include <QTranslator>

// The Russian file as the build puts it into the program's translations folder
// (KVT_QM_FILE): the program's own texts and, when the build found Qt's Russian
// translation (KVT_QT_TEXTS_MERGED), Qt's texts that the operator sees, all in one file
// for the one translator installed at start-up.
class tst_ShippedTranslation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void russian_data();
    void russian();
    void personAndEntryWordedApart();

private:
    QTranslator m_translator;
};

void tst_ShippedTranslation::initTestCase()
{
    QVERIFY2(m_translator.load(QStringLiteral(KVT_QM_FILE)), KVT_QM_FILE);
}

void tst_ShippedTranslation::russian_data()
{
    QTest::addColumn<QByteArray>("context");
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<bool>("fromQt");

    QTest::newRow("main window") << QByteArray("MainWin") << QByteArray("Merge databases") << false;
    QTest::newRow("message box title") << QByteArray("QObject") << QByteArray("Error") << false;
    QTest::newRow("conflict dialog") << QByteArray("dlgDiffRecordsCompare")
                                     << QByteArray("Record in the source table:") << false;
    QTest::newRow("field menu") << QByteArray("QLineEdit") << QByteArray("Select All") << true;
    QTest::newRow("spin box menu") << QByteArray("QAbstractSpinBox") << QByteArray("&Step up") << true;
    QTest::newRow("driver message") << QByteArray("QMYSQLResult") << QByteArray("Unable to execute query")
                                    << true;
}

void tst_ShippedTranslation::russian()
{
    QFETCH(QByteArray, context);
    QFETCH(QByteArray, source);
    QFETCH(bool, fromQt);
#ifndef KVT_QT_TEXTS_MERGED
    if (fromQt)
        QSKIP("built without Qt's Russian translation (qttranslations5-l10n)");
#else
    Q_UNUSED(fromQt);
#endif
    const QString text = m_translator.translate(context.constData(), source.constData());
    static const QRegularExpression cyrillic(QStringLiteral("\\p{Cyrillic}"));
    QVERIFY2(text.contains(cyrillic), qPrintable(QStringLiteral("\"%1\"").arg(text)));
}

// The humans grid's "Full name" is a person's (ФИО), the other grids' that of a
// reference entry; one wording for both would be wrong in one of them.
void tst_ShippedTranslation::personAndEntryWordedApart()
{
    const QString entry = m_translator.translate("dlgDiffRecordsCompare", "Full name");
    const QString person = m_translator.translate("dlgDiffRecordsCompare", "Full name", "person");
    QVERIFY(!entry.isEmpty());
    QVERIFY(!person.isEmpty());
    QVERIFY(entry != person);
}

QTEST_GUILESS_MAIN(tst_ShippedTranslation)

#include "tst_shippedTranslation.moc"
