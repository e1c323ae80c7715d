// The batch mode's --on-conflict policy as a settler of real conflicts: a merge hands
// its conflicts over as values, BatchConflicts settles them without any SQL text of its
// own, and a device record is always replaced, whatever the policy.

#include "BatchConflicts.h"
#include "EngineTestCase.h"
#include "EngineTestData.h"
#include "KvtMerger.h"
#include "KvtTables.h"

#include <QSignalSpy>
#include <QtTest>

using namespace EngineTestData;

class tst_BatchConflicts : public EngineTestCase
{
    Q_OBJECT

private slots:
    void policySettlesEveryConflict_data();
    void policySettlesEveryConflict();
};

void tst_BatchConflicts::policySettlesEveryConflict_data()
{
    QTest::addColumn<int>("policy");
    QTest::addColumn<int>("lastOutcome");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QStringList>("destination");
    using O = BatchConflicts::Outcome;
    QTest::newRow("leave") << int(ConflictPolicy::Leave) << int(O::Settled)
                           << QStringList{"defectref 1 left_out policy ", "device 2 replaced device_rule ",
                                          "zones 101 left_out policy "}
                           << QStringList{"1|А|Трещина!", "2|Прибор", "101|1|1|Зона!"};
    QTest::newRow("replace") << int(ConflictPolicy::Replace) << int(O::Settled)
                             << QStringList{"defectref 1 replaced policy ", "device 2 replaced device_rule ",
                                            "zones 101 replaced policy "}
                             << QStringList{"1|NULL|Трещина", "2|Прибор", "101|1|1|Зона"};
    QTest::newRow("new key") << int(ConflictPolicy::NewKey) << int(O::Settled)
                             << QStringList{"defectref 1 added_new_key policy 2", "device 2 replaced device_rule ",
                                            "zones 101 added_new_key policy 102"}
                             << QStringList{"1|А|Трещина!", "2|NULL|Трещина", "2|Прибор", "101|1|1|Зона!",
                                            "102|2|1|Зона"};
    // Nobody to ask: the first conflict stops the run before the device is reached.
    QTest::newRow("ask-fail") << int(ConflictPolicy::AskFail) << int(O::Unsettled) << QStringList()
                              << QStringList{"1|А|Трещина!", "2|Прибор 'старый'", "101|1|1|Зона!"};
}

void tst_BatchConflicts::policySettlesEveryConflict()
{
    QFETCH(int, policy);
    QFETCH(int, lastOutcome);
    QFETCH(QStringList, listed);
    QFETCH(QStringList, destination);
    const QString src = createDatabase("kvt_batchconflicts_src");
    const QString dest = createDatabase("kvt_batchconflicts_dest");
    exec({QStringLiteral("INSERT INTO %1.defectref VALUES (1, NULL, 'Трещина')").arg(q(src)),
          QStringLiteral("INSERT INTO %1.defectref VALUES (1, 'А', 'Трещина!')").arg(q(dest)),
          QStringLiteral("INSERT INTO %1.device VALUES (2, 'Прибор')").arg(q(src)),
          QStringLiteral("INSERT INTO %1.device VALUES (2, 'Прибор \\'старый\\'')").arg(q(dest)),
          QStringLiteral("INSERT INTO %1.zones VALUES (101, 1, 1, 'Зона')").arg(q(src)),
          QStringLiteral("INSERT INTO %1.zones VALUES (101, 1, 1, 'Зона!')").arg(q(dest))});

    KvtMerger merger;
    BatchConflicts conflicts{ConflictPolicy(policy)};
    ConflictHandOver::connect(merger, conflicts, this);
    QSignalSpy finished(&merger, &QThread::finished);
    merger.setCurrentDataBaseDestination(dest);
    merger.setDBList({src});
    merger.start();
    QVERIFY(finished.wait(120000));
    merger.wait();

    QCOMPARE(int(conflicts.outcome()), lastOutcome);
    QCOMPARE(merger.stopFlag(), lastOutcome != int(BatchConflicts::Outcome::Settled));
    QStringList seen;
    for (const MergeReport::Conflict &c : merger.report().conflicts())
        seen << QStringLiteral("%1 %2 %3 %4 %5")
                    .arg(KvtTable::of(c.table).name, c.key, MergeReport::decisionText(c.decision),
                         MergeReport::decidedByText(c.decidedBy), c.newKey);
    QCOMPARE(seen, listed);
    QStringList rowsNow = rows(QStringLiteral("SELECT * FROM %1.defectref ORDER BY ID").arg(q(dest)));
    rowsNow << rows(QStringLiteral("SELECT * FROM %1.device").arg(q(dest)));
    rowsNow << rows(QStringLiteral("SELECT DetTypeZone, ID, DetTypeId, Name FROM %1.zones ORDER BY 1").arg(q(dest)));
    QCOMPARE(rowsNow, destination);
}

QTEST_GUILESS_MAIN(tst_BatchConflicts)
#include "tst_batchConflicts.moc"
