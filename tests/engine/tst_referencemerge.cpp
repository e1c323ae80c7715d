// The reference tables merged set-based on the server against the per-row path, on random
// catalogues: records equal to the destination's (NULLs in compared columns too), people
// present under other IDs, free keys, conflicts settled each way by a scripted answerer,
// duplicates inside one source, Cyrillic and quote characters. Both paths must leave the
// same destination, row for row and identifier for identifier, and ask the same
// conflicts in the same order; with and without keeping references consistent.

#include "ConflictResolver.h"
#include "EngineTestCase.h"
#include "EngineTestData.h"
#include "MergeHarness.h"
#include "TestDatabase.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

using namespace EngineTestData;

namespace {

const QStringList words{"Иванов", "O'Brien", "Ёлка \"Б\"", "back\\slash", "Smith", "smith", "Пётр", "N/A", "x"};

struct Catalogue {
    const char *table;
    const char *order;
};
const Catalogue catalogues[] = {{"defectref", "ID"}, {"dettypes", "ID"}, {"device", "ID"}, {"factory", "ID"},
                                {"results", "ID"},   {"humans", "ID"},   {"zones", "DetTypeZone"}};

} // namespace

class tst_ReferenceMerge : public EngineTestCase
{
    Q_OBJECT

private slots:
    void setBasedEqualsPerRow_data();
    void setBasedEqualsPerRow();

private:
    QString text();
    void fillDestination(const QString &db);
    void fillSource(const QString &db, int k, const QString &dest);
    QStringList dump(const QString &db, bool withDefects);

    QRandomGenerator m_random;
    int m_nullFlips = 0;
};

// A text value as SQL: one of the words, now and then NULL.
QString tst_ReferenceMerge::text()
{
    if (m_random.bounded(6) == 0)
        return QStringLiteral("NULL");
    QString word = words.at(int(m_random.bounded(words.size())));
    return QLatin1Char('\'') + word.replace(QLatin1String("\\"), QLatin1String("\\\\")).replace(QLatin1String("'"), QLatin1String("''"))
           + QLatin1Char('\'');
}

// Catalogues numbered 1..12 (people 1..10 with TabNo 101..110, factories Cod 1..10, zones
// 1..3 of part types 1..6).
void tst_ReferenceMerge::fillDestination(const QString &db)
{
    QStringList s;
    for (int i = 1; i <= 12; ++i) {
        for (const char *table : {"defectref", "dettypes", "results"})
            s << QStringLiteral("INSERT INTO %1.%2 VALUES (%3, %4, %5)").arg(q(db), table).arg(i).arg(text(), text());
        s << QStringLiteral("INSERT INTO %1.device VALUES (%2, %3)").arg(q(db)).arg(i).arg(text());
    }
    for (int i = 1; i <= 10; ++i) {
        s << QStringLiteral("INSERT INTO %1.humans VALUES (%2, %3, %4, %5, %6, %7)")
                 .arg(q(db)).arg(i).arg(text(), text(), text(), text()).arg(100 + i);
        s << QStringLiteral("INSERT INTO %1.factory (Cod, Short, Name) VALUES (%2, %3, %4)").arg(q(db)).arg(i).arg(text(), text());
    }
    for (int t = 1; t <= 6; ++t)
        for (int z = 1; z <= 3; ++z)
            s << QStringLiteral("INSERT INTO %1.zones VALUES (%2, %3, %4, %5)").arg(q(db)).arg(100 * t + z).arg(z).arg(t).arg(text());
    const QString error = TestDatabase::exec(s);
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

// Source k copies some destination records exactly (present), changes others (conflicts),
// adds records under free keys, and holds people and factories twice (the source has no
// unique index on their keys): once equal, once with other content. People copied from
// the destination carry other IDs. A few defects name the source's records.
void tst_ReferenceMerge::fillSource(const QString &db, int k, const QString &dest)
{
    QStringList s{QStringLiteral("ALTER TABLE %1.humans DROP INDEX ux_humans_tabno").arg(q(db)),
                  QStringLiteral("ALTER TABLE %1.factory DROP INDEX ux_factory_cod").arg(q(db))};
    // Copy, change or leave out a destination record; above `last` a free key.
    const auto roll = [&](int key, int last) { return key > last ? 3 : int(m_random.bounded(3)); };
    for (int i = 1; i <= 18; ++i) {
        for (const char *table : {"defectref", "dettypes", "results", "device"}) {
            const bool device = qstrcmp(table, "device") == 0;
            switch (roll(i, 12)) {
            case 0:
                s << QStringLiteral("INSERT INTO %1.%2 SELECT * FROM %3.%2 WHERE ID = %4").arg(q(db), table, q(dest)).arg(i);
                break;
            case 1:
                break;
            default:
                s << (device ? QStringLiteral("INSERT INTO %1.%2 VALUES (%3, %4)").arg(q(db), table).arg(i).arg(text())
                             : QStringLiteral("INSERT INTO %1.%2 VALUES (%3, %4, %5)").arg(q(db), table).arg(i).arg(text(), text()));
            }
        }
    }
    int person = 40 * k;
    for (int i = 1; i <= 16; ++i) {
        // Under a free key each record comes twice: equal, with a NULL flipped, or other;
        // every other one a third time, equal to the second.
        const int copies = i > 10 ? 2 + i % 2 : 1 + int(m_random.bounded(3) == 0);
        for (const char *table : {"humans", "factory"}) {
            const bool humans = qstrcmp(table, "humans") == 0;
            // Free keys lie above the ones a record added under a new key takes.
            const int number = i > 10 ? 100 + i : i;
            const QString key = humans ? QStringLiteral("TabNo = %1").arg(100 + number) : QStringLiteral("Cod = %1").arg(number);
            for (int c = 0; c < copies; ++c) {
                // 0 the destination's record, 1 none, 4 the source's own first one again, 5
                // the first one with its name NULL instead of a value or the other way
                // round, 7 the source's latest one again, anything else other content.
                const int r = c == 0 ? roll(i, 10) : c == 2 ? 7 : 4 + (i > 10 ? i % 3 : int(m_random.bounded(3)));
                if (r == 1)
                    continue;
                if (humans)
                    ++person;
                QString columns = humans ? QStringLiteral("%1, Famname, FstName, SecName, FullName, TabNo").arg(person)
                                         : QStringLiteral("NULL, Cod, Short, Name");
                if (r == 5)
                    columns.replace(QRegularExpression(humans ? "\\bFamname\\b" : "\\bName\\b"),
                                    humans ? "IF(Famname IS NULL, 'Ёж', NULL)" : "IF(Name IS NULL, 'Ёж', NULL)");
                m_nullFlips += r == 5;
                if (r == 0 || r == 4 || r == 5 || r == 7)
                    s << QStringLiteral("INSERT INTO %1.%2 SELECT %3 FROM %4.%2 WHERE %5 ORDER BY ID %6 LIMIT 1")
                             .arg(q(db), table, columns, q(r == 0 ? dest : db), key,
                                  r == 7 ? QStringLiteral("DESC") : QString());
                else if (humans)
                    s << QStringLiteral("INSERT INTO %1.humans VALUES (%2, %3, %4, %5, %6, %7)")
                             .arg(q(db)).arg(person).arg(text(), text(), text(), text()).arg(100 + number);
                else
                    s << QStringLiteral("INSERT INTO %1.factory (Cod, Short, Name) VALUES (%2, %3, %4)")
                             .arg(q(db)).arg(number).arg(text(), text());
            }
        }
    }
    for (int t = 1; t <= 8; ++t)
        for (int z = 1; z <= 4; ++z) {
            const int key = 100 * t + z;
            const int r = roll(t <= 6 && z <= 3 ? 0 : 99, 12);
            if (r == 0)
                s << QStringLiteral("INSERT INTO %1.zones SELECT * FROM %2.zones WHERE DetTypeZone = %3").arg(q(db), q(dest)).arg(key);
            else if (r != 1)
                s << QStringLiteral("INSERT INTO %1.zones VALUES (%2, %3, %4, %5)").arg(q(db)).arg(key).arg(z).arg(t).arg(text());
        }
    for (int i = 0; i < 30; ++i)
        s << QStringLiteral("INSERT INTO %1.defects (MyId, DefectoscopistID, DetTypeId, ZoneID, Result, DefectID, Device) "
                            "VALUES (%2, %3, %4, %5, %6, %7, %8)")
                 .arg(q(db)).arg(100 * k + i).arg(40 * k + 1 + int(m_random.bounded(20)))
                 .arg(1 + int(m_random.bounded(8))).arg(1 + int(m_random.bounded(4)))
                 .arg(1 + int(m_random.bounded(18))).arg(1 + int(m_random.bounded(18))).arg(1 + int(m_random.bounded(18)));
    const QString error = TestDatabase::exec(s);
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

QStringList tst_ReferenceMerge::dump(const QString &db, bool withDefects)
{
    QStringList all;
    for (const Catalogue &c : catalogues)
        all << QLatin1String(c.table) << rows(QStringLiteral("SELECT * FROM %1.%2 ORDER BY %3").arg(q(db), c.table, c.order));
    if (withDefects)
        all << rows(QStringLiteral("SELECT %1 FROM %2.defects ORDER BY ID").arg(copiedColumns("defects").join(", "), q(db)));
    return all;
}

void tst_ReferenceMerge::setBasedEqualsPerRow_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<bool>("keepReferences");
    QTest::addColumn<int>("batchRows");
    QTest::addColumn<bool>("returning"); // also: window functions
    // adrSkip, adrReplace: every conflict is left out or replaced by a standing choice (a
    // device always replaced), which a batch passes where that touches no other record;
    // adrAsk: the answers vary by record.
    QTest::addColumn<actionDiffRec>("standingChoice");
    QTest::newRow("plain") << 31u << false << 5000 << true << adrAsk;
    QTest::newRow("plain, batches of 3, IDs read back, no window functions") << 32u << false << 3 << false << adrAsk;
    QTest::newRow("keeping references") << 33u << true << 5000 << true << adrAsk;
    QTest::newRow("keeping references, batches of 4, IDs read back, no window functions") << 34u << true << 4 << false
                                                                                             << adrAsk;
    QTest::newRow("plain, all left out") << 35u << false << 5000 << true << adrSkip;
    QTest::newRow("plain, all left out, batches of 5") << 36u << false << 5 << false << adrSkip;
    QTest::newRow("keeping references, all left out") << 37u << true << 5000 << true << adrSkip;
    QTest::newRow("plain, all replaced") << 38u << false << 5000 << true << adrReplace;
    QTest::newRow("plain, all replaced, batches of 5, IDs read back") << 39u << false << 5 << false << adrReplace;
    QTest::newRow("keeping references, all replaced") << 40u << true << 5000 << true << adrReplace;
    QTest::newRow("keeping references, all left out, batches of 6") << 41u << true << 6 << false << adrSkip;
}

void tst_ReferenceMerge::setBasedEqualsPerRow()
{
    QFETCH(quint32, seed);
    QFETCH(bool, keepReferences);
    QFETCH(int, batchRows);
    QFETCH(bool, returning);
    QFETCH(actionDiffRec, standingChoice);
    m_random.seed(seed);
    m_nullFlips = 0;
    const QStringList destinations{createDatabase("ref_rows"), createDatabase("ref_set")};
    const QStringList sources{createDatabase("ref_src"), createDatabase("ref_src")};
    QVERIFY(!sources.last().isEmpty());
    fillDestination(destinations[0]);
    for (const Catalogue &c : catalogues)
        QCOMPARE(TestDatabase::exec(QStringLiteral("INSERT INTO %1.%2 SELECT * FROM %3.%2")
                                        .arg(q(destinations[1]), c.table, q(destinations[0]))), QString());
    for (int k = 0; k < 2; ++k)
        fillSource(sources[k], k + 1, destinations[0]);

    QStringList asked[2];
    QStringList leftOut[2]; // by the standing choice, recorded by the worker without asking
    MergeReport::TableCounts counts[2][7];
    for (int run = 0; run < 2; ++run) {
        const QString dest = destinations[run];
        MergeHarness harness;
        harness.merger().setKeepReferences(keepReferences);
        harness.setStandingChoice(standingChoice);
        harness.merger().setReferenceMerge(run == 0 ? KvtMerger::ReferenceMerge::PerRow : KvtMerger::ReferenceMerge::SetBased);
        harness.merger().setChunkSize(batchRows);
        harness.merger().setInsertReturning(returning);
        harness.merger().setCopyVariant(returning ? KvtMerger::CopyVariant::WindowFunctions
                                                  : KvtMerger::CopyVariant::EarlierRowProbe);
        // The same answer for the same record on both paths: replace, add under a new key
        // or leave out by the key; a zone is never added (only the operator picks its part
        // type), a device always replaced (as the main window does).
        harness.setConflictHandler([&, dest](const MergeHarness::Conflict &c) {
            const QString src = QRegularExpression("FROM `?([^`.]+)`?\\.").match(c.sourceQuery).captured(1);
            const int key = QRegularExpression("(\\d+)$").match(c.destinationQuery).captured(1).toInt();
            asked[run] << QStringLiteral("%1 %2 %3").arg(src).arg(int(c.table)).arg(key);
            ConflictResolver resolver;
            resolver.setConflict(c.value);
            const int choice = c.table == tnDevice || standingChoice == adrReplace ? 0
                               : standingChoice == adrSkip                   ? 2
                                                     : (key + int(c.table)) % (c.table == tnZones ? 2 : 3);
            if (choice == 0)
                resolver.replaceDestinationRecord();
            else if (choice == 1 && c.table != tnZones)
                resolver.addUnderNewKey();
            return true;
        });
        QVERIFY(harness.run(dest, sources));
        QCOMPARE(harness.errorTexts, QStringList());
        QVERIFY2(harness.events.contains("done:" + sources[1]), qPrintable(harness.events.join(' ')));
        for (int t = 0; t < 7; ++t)
            counts[run][t] = harness.merger().report().table(1, KvtTable::find(catalogues[t].table)->id);
        for (const MergeReport::Conflict &c : harness.merger().report().conflicts()) {
            QCOMPARE(c.decision, MergeReport::Decision::LeftOut);
            QCOMPARE(c.decidedBy, MergeReport::DecidedBy::StandingChoice);
            leftOut[run] << QStringLiteral("%1 %2 %3").arg(c.source).arg(int(c.table)).arg(c.key);
        }
    }
    // Only what a standing choice leaves out is settled without asking.
    QCOMPARE(leftOut[0].isEmpty(), standingChoice != adrSkip);
    QVERIFY(asked[0].size() + leftOut[0].size() >= 10);
    QVERIFY(m_nullFlips >= 2);
    qInfo("%d conflicts asked, %d left out without asking, %d records differing from an earlier one only in a NULL",
          int(asked[0].size()), int(leftOut[0].size()), m_nullFlips);
    QCOMPARE(asked[1], asked[0]);
    QCOMPARE(leftOut[1], leftOut[0]);
    QCOMPARE(dump(destinations[1], keepReferences), dump(destinations[0], keepReferences));
    for (int t = 0; t < 7; ++t) {
        QCOMPARE(counts[1][t].inserted, counts[0][t].inserted);
        QCOMPARE(counts[1][t].present, counts[0][t].present);
        QCOMPARE(counts[1][t].conflicts, counts[0][t].conflicts);
    }
}

QTEST_GUILESS_MAIN(tst_ReferenceMerge)
#include "tst_referencemerge.moc"
