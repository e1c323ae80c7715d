// The steps of a merge session driven alone on the test server, without the worker
// thread: the reference batch step on a prepared destination, the key map step, and the
// session's lock of the destination.

#include "EngineTestCase.h"
#include "KvtKeyMapStep.h"
#include "KvtMergeSession.h"
#include "KvtReferenceBatchStep.h"
#include "KvtRowMerge.h"
#include "KvtRunJournal.h"
#include "KvtRunReport.h"
#include "KvtSourceKey.h"
#include "KvtTableSql.h"
#include "TestDatabase.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

#include <functional>

namespace {

// Records what a step tells its owner; conflicts are answered by `onConflict`.
class Recorder : public KvtMergeEvents
{
public:
    void sourceStarted(const QString &) override {}
    void sourceFinished(const QString &) override {}
    void stepStarted(const QString &) override {}
    void progressMaximum(int) override {}
    void progress(int) override {}
    void failed(const KvtSqlStatus &error) override
    {
        errors << error.text();
        stop = true;
    }
    void referenceCountsAdded(const QString &, kvtTableName, qint64 translated, qint64 mismatched) override
    {
        counts << qMakePair(translated, mismatched);
    }
    bool conflict(const QString &keyColumn, const QString &key, const QString &) override
    {
        conflicts << keyColumn + QLatin1Char('=') + key;
        return !onConflict || onConflict(key);
    }

    std::atomic<bool> stop{false};
    QStringList errors;
    QStringList conflicts;
    QVector<QPair<qint64, qint64>> counts;
    std::function<bool(const QString &)> onConflict;
};

// One table step of `source` into `destination` on the default connection, as the
// session sets it up.
struct TableStep
{
    // chunkRows: records of a reference batch; two end batches inside the table.
    TableStep(const QString &source, const QString &destination, kvtTableName table, bool keepReferences = false,
              int chunkRows = 2)
        : report(destination, {source})
        , journal(nullptr)
    {
        KvtMergeOptions options;
        options.keepReferences = keepReferences;
        options.chunkRows = chunkRows;
        run.reset(new KvtMergeRun(QSqlDatabase::database(), destination, report, events, events.stop, options));
        rows.reset(new KvtRowMerge(*run, journal));
        if (keepReferences) {
            keyMap.reset(new KvtKeyMapStep(*run, *rows, journal, counts));
            rows->setKeyMap(keyMap.get());
            keyMap->map().start(source, destination);
        }
        run->source = source;
        start(table);
    }
    void start(kvtTableName table)
    {
        run->endTable();
        std::unique_ptr<KvtSourceKey> key(new KvtSourceKey(run->db));
        QVERIFY(key->read(run->source, KvtTable::of(table).name));
        run->setSourceKey(std::move(key));
        run->startTable(KvtTableSql::forTable(table, run->destination));
        run->counts().rows = TestDatabase::scalar(QStringLiteral("SELECT COUNT(*) FROM `%1`.`%2`")
                                                      .arg(run->source, KvtTable::of(table).name))
                                 .toInt();
    }

    Recorder events;
    MergeReport report;
    KvtRunJournal journal;
    KvtRunReport counts;
    std::unique_ptr<KvtMergeRun> run;
    std::unique_ptr<KvtRowMerge> rows;
    std::unique_ptr<KvtKeyMapStep> keyMap;
};

QStringList dump(const QString &db, const QString &table)
{
    QSqlQuery query(QSqlDatabase::database());
    QStringList rows;
    if (!query.exec(QStringLiteral("SELECT * FROM `%1`.`%2` ORDER BY 1, 2").arg(db, table)))
        return {query.lastError().text()};
    while (query.next()) {
        QStringList values;
        for (int i = 0; i < query.record().count(); ++i)
            values << (query.isNull(i) ? QStringLiteral("NULL") : query.value(i).toString());
        rows << values.join(QLatin1Char('|'));
    }
    return rows;
}

} // namespace

class tst_MergeSteps : public EngineTestCase
{
    Q_OBJECT

private slots:
    void referenceBatches_data();
    void referenceBatches();
    void keyMapFollowsARecordAddedUnderANewKey();
    void keyMapOfBothPaths_data();
    void keyMapOfBothPaths();
    void secondSessionIsRefusedUntilTheFirstEnds();
};

// Present (NULLs compared NULL-safe), free key, taken key; Cyrillic and quotes arrive as
// they are. Batches of two records end inside the table, and at each conflict.
void tst_MergeSteps::referenceBatches_data()
{
    QTest::addColumn<QStringList>("source");      // rows of defectref: ID, Short, Name
    QTest::addColumn<QStringList>("destination");
    QTest::addColumn<int>("present");
    QTest::addColumn<int>("inserted");
    QTest::addColumn<QStringList>("conflicts");
    QTest::addColumn<QStringList>("after");

    QTest::newRow("present, free, taken")
        << QStringList{"1, 'A', NULL", "2, 'Трещина', 'O''Brien'", "3, 'C', 'c'"}
        << QStringList{"1, 'A', NULL", "3, 'C', 'other'"} << 1 << 1 << QStringList{"ID=3"}
        << QStringList{"1|A|NULL", "2|Трещина|O'Brien", "3|C|other"};
    QTest::newRow("NULL is not an empty text")
        << QStringList{"1, '', NULL"} << QStringList{"1, NULL, ''"} << 0 << 0 << QStringList{"ID=1"}
        << QStringList{"1|NULL|"};
    QTest::newRow("all free, over three batches")
        << QStringList{"4, 'd', 'e'", "5, 'f', NULL", "6, NULL, NULL", "7, 'g', 'h'", "8, 'i', 'j'"} << QStringList{}
        << 0 << 5 << QStringList{} << QStringList{"4|d|e", "5|f|NULL", "6|NULL|NULL", "7|g|h", "8|i|j"};
}

void tst_MergeSteps::referenceBatches()
{
    QFETCH(QStringList, source);
    QFETCH(QStringList, destination);
    QFETCH(int, present);
    QFETCH(int, inserted);
    QFETCH(QStringList, conflicts);
    QFETCH(QStringList, after);
    const QString src = createDatabase(QStringLiteral("steps_src"));
    const QString dest = createDatabase(QStringLiteral("steps_dest"));
    QStringList statements;
    for (const QString &row : source)
        statements << QStringLiteral("INSERT INTO `%1`.defectref (ID, Short, Name) VALUES (%2)").arg(src, row);
    for (const QString &row : destination)
        statements << QStringLiteral("INSERT INTO `%1`.defectref (ID, Short, Name) VALUES (%2)").arg(dest, row);
    exec(statements);

    TableStep step(src, dest, tnDefectRef);
    KvtReferenceBatchStep batches(*step.run, *step.rows, step.journal, nullptr);
    QVERIFY(batches.applies());
    QCOMPARE(batches.merge(), KvtStepResult::Done);
    QCOMPARE(step.events.errors, QStringList());
    QCOMPARE(step.events.conflicts, conflicts);
    QCOMPARE(int(step.run->counts().present), present);
    QCOMPARE(int(step.run->counts().inserted), inserted);
    QCOMPARE(dump(dest, QStringLiteral("defectref")), after);
}

// Keeping references: a part type whose key is taken is added under a new key by whoever
// settles the conflict; the map follows it, and a defect naming it is written under the
// new key and counted as translated.
void tst_MergeSteps::keyMapFollowsARecordAddedUnderANewKey()
{
    const QString src = createDatabase(QStringLiteral("steps_src"));
    const QString dest = createDatabase(QStringLiteral("steps_dest"));
    exec({QStringLiteral("INSERT INTO `%1`.dettypes VALUES (1, 'S', 'Рама')").arg(src),
          QStringLiteral("INSERT INTO `%1`.dettypes VALUES (1, 'T', 'Other'), (2, 'U', 'x')").arg(dest),
          QStringLiteral("INSERT INTO `%1`.defects (MyId, DetTypeId) VALUES (10, 1), (11, NULL)").arg(src)});

    TableStep step(src, dest, tnDetTypes, true);
    step.events.onConflict = [&](const QString &) {
        return TestDatabase::exec(QStringLiteral("INSERT INTO `%1`.dettypes VALUES (3, 'S', 'Рама')").arg(dest))
            .isEmpty();
    };
    KvtReferenceBatchStep batches(*step.run, *step.rows, step.journal, step.keyMap.get());
    QVERIFY(batches.applies());
    QCOMPARE(batches.merge(), KvtStepResult::Done);
    QCOMPARE(step.events.conflicts, QStringList{"ID=1"});
    KvtReferenceMap::Target target;
    QVERIFY(step.keyMap->map().lookUp(tnDetTypes, {0, 1}, target));
    QCOMPARE(target.id.id, qint64(3));

    // The map goes to the server after the last reference step, which marks its entries.
    QCOMPARE(step.keyMap->endStep(tnZones), KvtStepResult::Done);
    step.start(tnDefects);
    step.keyMap->startRows();
    QCOMPARE(step.rows->readSourceTable(), KvtStepResult::Done);
    step.keyMap->endRows();
    QCOMPARE(step.events.errors, QStringList());
    QCOMPARE(TestDatabase::scalar(QStringLiteral("SELECT GROUP_CONCAT(COALESCE(DetTypeId, 'NULL') ORDER BY MyId) "
                                                 "FROM `%1`.defects").arg(dest)).toString(),
             QStringLiteral("3,NULL"));
    QCOMPARE(step.events.counts, (QVector<QPair<qint64, qint64>>{{1, 0}}));
}

// Keeping references: the key map a table's records leave, set-based in batches and per
// row, entry by entry with its content mark: present records (a person under another
// ID), inserted ones (a person under the next free ID, an equal one later in the source
// too), a conflict settled by a record under a new key, one left out, one taken as the
// record of its content under another key; and a map of more entries than a batch and
// than one statement's rows.
void tst_MergeSteps::keyMapOfBothPaths_data()
{
    QTest::addColumn<int>("table");
    QTest::addColumn<QStringList>("source");      // rows of the table
    QTest::addColumn<QStringList>("destination");
    QTest::addColumn<QStringList>("newKeys");     // key=row: a conflict on key adds the row
    QTest::addColumn<int>("chunkRows");
    QTest::addColumn<QStringList>("entries");     // src_part|src_id|dst_part|dst_id|same

    QTest::newRow("part types")
        << int(tnDetTypes)
        << QStringList{"1, 'A', 'a'", "2, 'B', NULL", "3, 'C', 'c'", "4, 'D', 'd'", "5, 'E', 'e'", "6, 'F', 'f'"}
        << QStringList{"1, 'A', 'a'", "3, 'X', 'x'", "4, 'Y', 'y'", "5, 'Z', 'z'", "7, 'E', 'e'"}
        << QStringList{"3=10, 'C', 'c'"} << 2
        << QStringList{"0|1|0|1|1", "0|2|0|2|1", "0|3|0|10|1", "0|4|0|4|0", "0|5|0|7|1", "0|6|0|6|1"};
    QTest::newRow("people")
        << int(tnHumans)
        << QStringList{"1, 'F', 'N', 'S', 'F N', 501", "2, 'H', 'N', 'S', 'H N', 504", "3, 'G', 'N', 'S', 'G N', 502",
                       "4, 'G', 'N', 'S', 'G N', 502", "5, 'K', NULL, 'S', 'K', 505"}
        << QStringList{"8, 'F', 'N', 'S', 'F N', 501", "9, 'Other', 'N', 'S', 'O N', 504"} << QStringList{} << 2
        << QStringList{"0|1|0|8|1", "0|2|0|9|0", "0|3|0|10|1", "0|4|0|10|1", "0|5|0|11|1"};
    QTest::newRow("zones")
        << int(tnZones)
        << QStringList{"101, 1, 1, 'a'", "102, 2, 1, 'b'", "201, 1, 2, 'c'", "202, 2, 2, NULL"}
        << QStringList{"101, 1, 1, 'a'", "202, 2, 2, 'other'"} << QStringList{} << 2
        << QStringList{"1|1|1|1|1", "1|2|1|2|1", "2|1|2|1|1", "2|2|2|2|0"};
    QStringList source;
    QStringList destination;
    QStringList entries;
    for (int i = 1; i <= 1200; ++i) {
        source << QStringLiteral("%1, 'F%1', 'N', 'S', 'F%1 N', %2").arg(i).arg(1000 + i);
        if (i % 12 < 7)
            destination << QStringLiteral("%1, 'F%2', 'N', 'S', 'F%2 N', %3").arg(5000 + i).arg(i).arg(1000 + i);
    }
    for (int i = 1, next = 6200; i <= 1200; ++i)
        entries << QStringLiteral("0|%1|0|%2|1").arg(i).arg(i % 12 < 7 ? 5000 + i : ++next);
    QTest::newRow("1,200 people, 700 present") << int(tnHumans) << source << destination << QStringList{} << 500
                                               << entries;
}

void tst_MergeSteps::keyMapOfBothPaths()
{
    QFETCH(int, table);
    QFETCH(QStringList, source);
    QFETCH(QStringList, destination);
    QFETCH(QStringList, newKeys);
    QFETCH(int, chunkRows);
    QFETCH(QStringList, entries);
    const QString name = KvtTable::of(kvtTableName(table)).name;
    const QString src = createDatabase(QStringLiteral("steps_src"));
    const QString into[2] = {createDatabase(QStringLiteral("steps_set")), createDatabase(QStringLiteral("steps_row"))};
    QVERIFY(!into[1].isEmpty());
    // A source may hold one person twice.
    exec({QStringLiteral("ALTER TABLE `%1`.humans DROP INDEX ux_humans_tabno").arg(src),
          QStringLiteral("INSERT INTO `%1`.`%2` VALUES (%3)").arg(src, name, source.join(QStringLiteral("), ("))),
          QStringLiteral("INSERT INTO `%1`.`%2` VALUES (%3)").arg(into[0], name, destination.join(QStringLiteral("), ("))),
          QStringLiteral("INSERT INTO `%1`.`%2` VALUES (%3)").arg(into[1], name, destination.join(QStringLiteral("), (")))});

    for (int path = 0; path < 2; ++path) {
        TableStep step(src, into[path], kvtTableName(table), true, chunkRows);
        step.events.onConflict = [&](const QString &key) {
            for (const QString &added : newKeys)
                if (added.section(QLatin1Char('='), 0, 0) == key)
                    return TestDatabase::exec(QStringLiteral("INSERT INTO `%1`.`%2` VALUES (%3)")
                                                  .arg(into[path], name, added.section(QLatin1Char('='), 1)))
                        .isEmpty();
            return true;
        };
        KvtReferenceBatchStep batches(*step.run, *step.rows, step.journal, step.keyMap.get());
        if (path == 0) {
            QVERIFY(batches.applies());
            QCOMPARE(batches.merge(), KvtStepResult::Done);
        } else {
            QCOMPARE(step.rows->readSourceTable(), KvtStepResult::Done);
        }
        QCOMPARE(step.keyMap->endStep(tnZones), KvtStepResult::Done);
        QCOMPARE(step.events.errors, QStringList());
        const QStringList map = dump(into[path], step.keyMap->map().serverTable(kvtTableName(table))
                                                     .section(QLatin1Char('.'), 1)
                                                     .remove(QLatin1Char('`')));
        QCOMPARE(map, entries);
    }
}

// Two sessions into one destination: the second is refused before it writes, and once the
// first has ended a new one starts at once.
void tst_MergeSteps::secondSessionIsRefusedUntilTheFirstEnds()
{
    const QString dest = createDatabase(QStringLiteral("steps_dest"));
    QSqlDatabase other = TestDatabase::open(QStringLiteral("steps-second"));
    QVERIFY(other.isOpen());
    MergeReport report(dest, {});
    KvtRunReport counts;
    KvtRunJournal journal(nullptr);
    Recorder first;
    Recorder second;
    std::unique_ptr<KvtMergeSession> session(
        new KvtMergeSession(QSqlDatabase::database(), dest, report, counts, journal, first, first.stop, {}));
    QVERIFY(session->start({}, QString(), KvtRunJournal::Ids::Returning));
    {
        KvtMergeSession refused(other, dest, report, counts, journal, second, second.stop, {});
        QVERIFY(!refused.start({}, QString(), KvtRunJournal::Ids::Returning));
        QCOMPARE(second.errors.size(), 1);
        QVERIFY2(second.errors.first().contains(dest), qPrintable(second.errors.first()));
    }
    session.reset();
    second.errors.clear();
    KvtMergeSession next(other, dest, report, counts, journal, second, second.stop, {});
    QVERIFY(next.start({}, QString(), KvtRunJournal::Ids::Returning));
    QCOMPARE(second.errors, QStringList());
}

QTEST_GUILESS_MAIN(tst_MergeSteps)
#include "tst_mergesteps.moc"
