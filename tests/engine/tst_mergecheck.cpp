// The check before a merge writes: what is missing in the destination or a source stops
// the merge and the preview before the first write, named in one message; a source that
// only lacks non-key columns is let through.
#include "EngineTestCase.h"
#include "EngineTestData.h"
#include "KvtTables.h"
#include "MergeCheck.h"
#include "MergeHarness.h"
#include "MergePreview.h"
#include "TestDatabase.h"

#include <QSqlDatabase>
#include <QTest>

using namespace EngineTestData;

class tst_MergeCheck : public EngineTestCase
{
    Q_OBJECT

private slots:
    void refusedBeforeWriting_data();
    void refusedBeforeWriting();
    void sourceLackingColumnsPasses();

private:
    // CHECKSUM TABLE of the nine tables of database, one line each.
    static QStringList checksums(const QString &database);
};

QStringList tst_MergeCheck::checksums(const QString &database)
{
    QStringList sums;
    for (const KvtTable &table : KvtTable::all())
        sums << rows(QStringLiteral("CHECKSUM TABLE %1.%2").arg(q(database), q(table.name)));
    return sums;
}

void tst_MergeCheck::refusedBeforeWriting_data()
{
    // <dest>, <good>, <bad> stand for the destination, a good source and the other source.
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<bool>("misspeltSource");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QStringList>("named"); // every one in the message

    QTest::newRow("destination lacks zones") << QStringList{"DROP TABLE <dest>.zones"} << false << "1146"
                                             << QStringList{"<dest> lacks the table zones"};
    QTest::newRow("misspelt source among good ones")
        << QStringList() << true << "1049" << QStringList{"the database <bad> doesn't exist"};
    QTest::newRow("source lacks a key column")
        << QStringList{"ALTER TABLE <bad>.humans DROP COLUMN TabNo"} << false << "1054"
        << QStringList{"<bad>.humans lacks the column TabNo"};
    QTest::newRow("source lacks an identifier column")
        << QStringList{"ALTER TABLE <bad>.humans DROP PRIMARY KEY, DROP COLUMN ID"} << false << "1054"
        << QStringList{"<bad>.humans lacks the column ID"};
    QTest::newRow("destination lacks a copied column")
        << QStringList{"ALTER TABLE <dest>.defects DROP COLUMN Errors"} << false << "1054"
        << QStringList{"<dest>.defects lacks the column Errors"};
    QTest::newRow("everything at once")
        << QStringList{"DROP TABLE <dest>.zones", "DROP TABLE <good>.device"} << true << "1146"
        << QStringList{"<dest> lacks the table zones", "the database <bad> doesn't exist",
                       "<good> lacks the table device"};
}

void tst_MergeCheck::refusedBeforeWriting()
{
    QFETCH(QStringList, changes);
    QFETCH(bool, misspeltSource);
    QFETCH(QString, code);
    QFETCH(QStringList, named);
    const QString dest = createDatabase("check_dest");
    const QString good = createDatabase("check_good");
    const QString bad = misspeltSource ? TestDatabase::uniqueName("check_typo") : createDatabase("check_bad");
    QCOMPARE(fillDemo(dest, 1, 20, 4, 4), QString());
    QCOMPARE(fillDemo(good, 2, 20, 4, 4), QString());
    if (!misspeltSource)
        QCOMPARE(fillDemo(bad, 3, 20, 4, 4), QString());
    const auto placed = [&](QString text) {
        return text.replace("<dest>", dest).replace("<good>", good).replace("<bad>", bad);
    };
    QStringList statements;
    for (const QString &change : qAsConst(changes))
        statements << placed(change);
    exec(statements);
    const QStringList before = checksums(dest);

    // The good source comes first: a merge that checked late would have written it.
    MergeHarness harness;
    QVERIFY(harness.run(dest, {good, bad}));
    QCOMPARE(harness.events, (QStringList{"sqlErr:" + code, "err"}));
    QCOMPARE(harness.errorTexts.size(), 1);
    for (const QString &name : qAsConst(named))
        QVERIFY2(harness.errorTexts.first().contains(placed(name)), qPrintable(harness.errorTexts.first()));
    QCOMPARE(checksums(dest), before);

    MergePreview preview;
    preview.setDestination(dest);
    preview.setSources({good, bad});
    preview.run();
    QCOMPARE(preview.report().status(), MergeReport::RunStatus::Failed);
    QCOMPARE(preview.report().errors(), harness.errorTexts);
}

// A source of an older KVT version lacks a column in each of the nine tables, and the
// destination has one the description does not name: neither is refused.
void tst_MergeCheck::sourceLackingColumnsPasses()
{
    const QString dest = createDatabase("check_dest");
    const QString old = createDatabase("check_old");
    QCOMPARE(fillDemo(old, 1, 20, 4, 4), QString());
    QStringList statements{QStringLiteral("ALTER TABLE %1.defects ADD COLUMN Extra INT NULL").arg(q(dest))};
    QStringList lacked;
    for (const KvtTable &table : KvtTable::all()) {
        const QStringList others = table.columnsWith(ColumnRole::Copied);
        QString column;
        for (const QString &name : others)
            if (name != table.keyColumn() && name != QLatin1String("ID") && name != QLatin1String("DetTypeId"))
                column = name;
        QVERIFY2(!column.isEmpty(), qPrintable(table.name));
        statements << QStringLiteral("ALTER TABLE %1.%2 DROP COLUMN %3").arg(q(old), q(table.name), q(column));
        lacked << table.name + '.' + column;
    }
    exec(statements);

    const MergeCheck check = MergeCheck::run(QSqlDatabase::database(), dest, {old});
    QVERIFY2(check.ok(), qPrintable(check.status().text()));
    QCOMPARE(check.lackedColumns().keys(), QStringList{old});
    QCOMPARE(check.lackedColumns().value(old), lacked);
}

QTEST_GUILESS_MAIN(tst_MergeCheck)
#include "tst_mergecheck.moc"
