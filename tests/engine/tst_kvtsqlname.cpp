// Names, keys and NULLs pasted into or bound to the merge statements.

#include "KvtPreparedQuery.h"
#include "KvtSql.h"
#include "KvtSqlName.h"
#include "PSqlIdentifier.h"
#include "PSqlNull.h"
#include "KvtTableSql.h"

#include <QtTest>

class tst_KvtSqlName : public QObject
{
    Q_OBJECT

private slots:
    void quoted_data();
    void quoted();
    void isInteger_data();
    void isInteger();
    void everyStatementQuotesTheDatabase_data();
    void everyStatementQuotesTheDatabase();
    void nullsStayNull_data();
    void nullsStayNull();
};

void tst_KvtSqlName::quoted_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "kvt_1" << "`kvt_1`";
    QTest::newRow("Cyrillic and blank") << "база 1" << "`база 1`";
    QTest::newRow("backquote doubled") << "a`b" << "`a``b`";
    QTest::newRow("attempt to close the quote") << "x`; DROP DATABASE y; -- "
                                                << "`x``; DROP DATABASE y; -- `";
    QTest::newRow("empty") << "" << "``";
}

void tst_KvtSqlName::quoted()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(PSqlIdentifier::quote(name), expected);
    QCOMPARE(PSqlIdentifier::qualified(name, "zones"), expected + ".`zones`");
}

void tst_KvtSqlName::isInteger_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("integer");
    QTest::newRow("digits") << "1017" << true;
    QTest::newRow("zero") << "0" << true;
    QTest::newRow("negative") << "-5" << true;
    QTest::newRow("null") << QString() << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("minus only") << "-" << false;
    QTest::newRow("blank around") << " 5" << false;
    QTest::newRow("decimal") << "5.0" << false;
    QTest::newRow("exponent") << "1e3" << false;
    QTest::newRow("statement") << "1 OR 1=1" << false;
    QTest::newRow("comment") << "1--" << false;
    QTest::newRow("Arabic-Indic digit") << QString::fromUtf8("\xd9\xa3") << false;
    QTest::newRow("too long") << QString(30, QLatin1Char('9')) << false;
}

void tst_KvtSqlName::isInteger()
{
    QFETCH(QString, text);
    QFETCH(bool, integer);
    QCOMPARE(KvtSqlName::isInteger(text), integer);
}

void tst_KvtSqlName::everyStatementQuotesTheDatabase_data()
{
    QTest::addColumn<int>("table");
    for (int t = tnDefectRef; t <= tnZones; ++t)
        QTest::newRow(qPrintable(KvtTableSql::forTable(kvtTableName(t), "d").tableName())) << t;
}

void tst_KvtSqlName::everyStatementQuotesTheDatabase()
{
    QFETCH(int, table);
    const QString hostile = "kvt`; DROP TABLE t; -- ";
    const QString quoted = "`kvt``; DROP TABLE t; -- `.";
    const KvtTableSql sql = KvtTableSql::forTable(kvtTableName(table), hostile);
    QVERIFY(sql.sameRecordTest().contains(quoted));
    QVERIFY(sql.insert().contains(quoted));
    QVERIFY(!sql.sameRecordTest().contains(" = "));
    if (sql.hasKey()) {
        QVERIFY(sql.keyTest().contains(quoted));
        QVERIFY(sql.conflictSelect(hostile, "7").contains(quoted));
        QVERIFY(sql.conflictSelect(hostile, "7").endsWith("=7"));
    }
}

// The engine says NULL with a null text as often as with a null variant; under Qt 6 a
// QVariant holding a null QString is no longer isNull(), and would be bound as ''.
void tst_KvtSqlName::nullsStayNull_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("null");
    QTest::addColumn<int>("boundType");
    QTest::newRow("invalid variant") << QVariant() << true << int(QMetaType::QString);
    QTest::newRow("typed NULL text") << PSqlNull::typed() << true << int(QMetaType::QString);
    QTest::newRow("typed NULL number") << PSqlNull::typed(QMetaType::Int) << true << int(QMetaType::Int);
    QTest::newRow("null text") << QVariant(QString()) << true << int(QMetaType::QString);
    QTest::newRow("null bytes") << QVariant(QByteArray()) << true << int(QMetaType::QByteArray);
    QTest::newRow("text of a null text") << PSqlNull::fromText(QString()) << true << int(QMetaType::QString);
    QTest::newRow("empty text") << QVariant(QStringLiteral("")) << false << int(QMetaType::QString);
    QTest::newRow("text of an empty text") << PSqlNull::fromText(QStringLiteral("")) << false
                                           << int(QMetaType::QString);
    QTest::newRow("empty bytes") << QVariant(QByteArray("", 0)) << false << int(QMetaType::QByteArray);
    QTest::newRow("zero") << QVariant(0) << false << int(QMetaType::Int);
}

void tst_KvtSqlName::nullsStayNull()
{
    QFETCH(QVariant, value);
    QFETCH(bool, null);
    QFETCH(int, boundType);
    QCOMPARE(PSqlNull::isNull(value), null);
    QCOMPARE(PSqlNull::bindable(value).userType(), boundType);
    QCOMPARE(KvtSql::literal(value) == QLatin1String("NULL"), null);

    // Bound through the engine's one way of binding, on an SQLite database in memory.
    const QString name = QStringLiteral("nulls");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(QStringLiteral(":memory:"));
        QVERIFY(db.open());
        KvtPreparedQuery query(db, QStringLiteral("SELECT :v IS NULL"));
        QVERIFY2(query.exec({{QStringLiteral(":v"), value}}), qPrintable(query.status().text()));
        QVERIFY(query.query().next());
        QCOMPARE(query.query().value(0).toInt() == 1, null);
        QCOMPARE(query.query().value(0).isNull(), false);
    }
    QSqlDatabase::removeDatabase(name);
}

QTEST_GUILESS_MAIN(tst_KvtSqlName)
#include "tst_kvtsqlname.moc"
