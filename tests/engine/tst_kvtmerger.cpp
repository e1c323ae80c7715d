// The merge worker against a real MariaDB server, without the GUI: its signals are
// recorded on the test thread and conflicts are answered there, as the main window does.

#include "EngineTestCase.h"
#include "EngineTestData.h"
#include "KvtConnection.h"
#include "MergeHarness.h"
#include "TestDatabase.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTimer>
#include <QtTest>

using namespace EngineTestData;

Q_DECLARE_METATYPE(KvtMerger::MeasurementCopy)

namespace {

const QStringList mergedTables{"defects", "graphics", "defectref", "dettypes", "device",
                               "factory", "results",  "humans",    "zones"};

QString keyColumn(kvtTableName table)
{
    switch (table) {
    case tnFactory: return QStringLiteral("Cod");
    case tnHumans: return QStringLiteral("TabNo");
    case tnZones: return QStringLiteral("DetTypeZone");
    default: return QStringLiteral("ID");
    }
}

QString tableOf(kvtTableName table)
{
    switch (table) {
    case tnDefectRef: return QStringLiteral("defectref");
    case tnDetTypes: return QStringLiteral("dettypes");
    case tnDevice: return QStringLiteral("device");
    case tnFactory: return QStringLiteral("factory");
    case tnHumans: return QStringLiteral("humans");
    case tnResults: return QStringLiteral("results");
    case tnZones: return QStringLiteral("zones");
    default: return QString();
    }
}

// The key value at the end of a conflict SELECT text.
QString keyOf(const QString &conflictQuery)
{
    return conflictQuery.mid(conflictQuery.lastIndexOf(QLatin1Char('=')) + 1);
}

// Number of source records whose key the destination holds with other content.
int expectedConflicts(const QString &src, const QString &dest, const QString &table)
{
    const QString key = table == "factory" ? "Cod" : table == "humans" ? "TabNo"
                        : table == "zones" ? "DetTypeZone" : "ID";
    QStringList same;
    for (const QString &column : copiedColumns(table))
        same << QStringLiteral("s.%1 <=> d.%1").arg(column);
    return TestDatabase::scalar(
               QStringLiteral("SELECT COUNT(*) FROM %1.%2 s JOIN %3.%2 d ON s.%4 = d.%4 WHERE NOT (%5)")
                   .arg(q(src), table, q(dest), key, same.join(" AND ")))
        .toInt();
}

} // namespace

class tst_KvtMerger : public EngineTestCase
{
    Q_OBJECT

private slots:
    void init();

    void signalSequenceOfARun_data();
    void signalSequenceOfARun();
    void skippedEntriesGiveNoSignal_data();
    void skippedEntriesGiveNoSignal();
    void mergingTheSameSourceTwiceAddsNothing();
    void overlappingSourcesAddEveryRecordOnce();
    void measurementRows_data();
    void measurementRows();
    void nullsStayNullAndMatch();
    void valuesArriveUnchanged();
    void referenceTables_data();
    void referenceTables();
    void everyConflictWaitsForItsResume();
    void standingChoices_data();
    void standingChoices();
    void conflictSettledOnGuiThreadIsSeenByTheWorker();
    void stopDuringAConflict_data();
    void stopDuringAConflict();
    void stopInTheMiddleOfATable();
    void missingSourceDatabaseEndsTheRun();
    void missingDestinationTable_data();
    void missingDestinationTable();
    void nonIntegerKeyEndsTheMerge();
    void openConnection_data();
    void openConnection();

private:
    void answerAsMainWindow(MergeHarness &harness, actionDiffRec choice);

    QString m_src;
    QString m_src2;
    QString m_dest;
};

void tst_KvtMerger::init()
{
    if (!hasServer())
        QSKIP("no server");
    m_src = TestDatabase::uniqueName(QStringLiteral("engine_src"));
    m_src2 = TestDatabase::uniqueName(QStringLiteral("engine_src"));
    m_dest = TestDatabase::uniqueName(QStringLiteral("engine_dest"));
    create({m_src, m_src2, m_dest});
}

// Settles conflicts like the main window with a standing choice: skip, replace the
// destination record with the source values, or add the source record under a new key.
void tst_KvtMerger::answerAsMainWindow(MergeHarness &harness, actionDiffRec choice)
{
    const QString dest = m_dest;
    harness.setConflictHandler([choice, dest](const MergeHarness::Conflict &c) {
        if (choice == adrSkip)
            return true;
        QSqlQuery source;
        if (!source.exec(c.sourceQuery) || !source.next())
            return true;
        const QSqlRecord record = source.record();
        const QString table = tableOf(c.table);
        const QString key = keyColumn(c.table);
        QSqlQuery write;
        if (choice == adrReplace) {
            QStringList sets;
            // The ID of a person or factory is the destination's own.
            const bool ownId = c.table == tnHumans || c.table == tnFactory;
            QVariantList values;
            for (int i = 0; i < record.count(); ++i) {
                if (ownId && record.fieldName(i) == "ID")
                    continue;
                sets << q(record.fieldName(i)) + " = ?";
                values << source.value(i);
            }
            write.prepare(QStringLiteral("UPDATE %1.%2 SET %3 WHERE %4 = %5")
                              .arg(q(dest), table, sets.join(", "), key, keyOf(c.sourceQuery)));
            for (const QVariant &value : values)
                write.addBindValue(value);
        } else if (c.table != tnZones) {
            // A new key clear of the source's keys (for people also a new ID).
            const int newKey = TestDatabase::scalar(
                QStringLiteral("SELECT MAX(%1) + 1000 FROM %2.%3").arg(key, q(dest), table)).toInt();
            const int newId = TestDatabase::scalar(
                QStringLiteral("SELECT MAX(ID) + 1 FROM %1.%2").arg(q(dest), table)).toInt();
            QStringList names;
            for (int i = 0; i < record.count(); ++i)
                names << q(record.fieldName(i));
            write.prepare(QStringLiteral("INSERT INTO %1.%2 (%3) VALUES (%4)")
                              .arg(q(dest), table, names.join(", "),
                                   QVector<QString>(record.count(), "?").toList().join(", ")));
            for (int i = 0; i < record.count(); ++i) {
                const QString name = record.fieldName(i);
                write.addBindValue(name == key ? QVariant(newKey)
                                   : name == "ID" ? QVariant(newId) : source.value(i));
            }
        }
        if (!write.lastQuery().isEmpty() && !write.exec())
            qWarning("conflict answer failed: %s", qPrintable(write.lastError().text()));
        return true;
    });
}

// ---------------------------------------------------------------- order of work

void tst_KvtMerger::signalSequenceOfARun_data()
{
    // Progress of defects and graphics: a value before each row, or one per chunk. The
    // reference tables go set-based either way: one value per batch.
    QTest::addColumn<KvtMerger::MeasurementCopy>("copy");
    QTest::addColumn<QVector<int>>("defectsProgress");
    QTest::addColumn<QVector<int>>("graphicsProgress");
    QTest::newRow("per row") << KvtMerger::MeasurementCopy::PerRow << QVector<int>{0, 1, 2}
                             << QVector<int>{0, 1};
    QTest::newRow("set-based") << KvtMerger::MeasurementCopy::SetBased << QVector<int>{3}
                               << QVector<int>{2};
}

void tst_KvtMerger::signalSequenceOfARun()
{
    QFETCH(KvtMerger::MeasurementCopy, copy);
    QFETCH(QVector<int>, defectsProgress);
    QFETCH(QVector<int>, graphicsProgress);
    exec({QStringLiteral("INSERT INTO %1.defects (MyId, VagNo) VALUES (1, 10), (2, 20), (3, 30)").arg(q(m_src)),
          QStringLiteral("INSERT INTO %1.graphics (DataId, Graphic) VALUES (1, 'a'), (2, 'b')").arg(q(m_src)),
          QStringLiteral("INSERT INTO %1.dettypes VALUES (1, 'ОК', 'Ось'), (2, 'КЦ', 'Колесо')").arg(q(m_src)),
          QStringLiteral("INSERT INTO %1.zones VALUES (101, 1, 1, 'Шейка')").arg(q(m_src))});
    MergeHarness harness;
    harness.merger().setMeasurementCopy(copy);
    // The destination and a repeated name are skipped without any signal.
    QVERIFY(harness.run(m_dest, {m_src, m_dest, m_src, m_src2}));

    QStringList expected = cleanDatabaseEvents(m_src, {3, 2, 0, 2, 0, 0, 0, 0, 1});
    expected += cleanDatabaseEvents(m_src2, {0, 0, 0, 0, 0, 0, 0, 0, 0});
    QCOMPARE(harness.events, expected);
    const QVector<QVector<int>> progress{defectsProgress, graphicsProgress, {}, {2}, {}, {}, {}, {}, {1},
                                         {}, {}, {}, {}, {}, {}, {}, {}, {}};
    QCOMPARE(harness.progress, progress);
    QCOMPARE(count(m_dest, "defects"), 3);
    QCOMPARE(count(m_dest, "graphics"), 2);
    QCOMPARE(count(m_dest, "dettypes"), 2);
    QCOMPARE(count(m_dest, "zones"), 1);
}

void tst_KvtMerger::skippedEntriesGiveNoSignal_data()
{
    QTest::addColumn<QStringList>("sources");
    QTest::newRow("empty list") << QStringList();
    QTest::newRow("the destination only") << QStringList{"<dest>"};
    QTest::newRow("the destination twice") << QStringList{"<dest>", "<dest>"};
}

void tst_KvtMerger::skippedEntriesGiveNoSignal()
{
    QFETCH(QStringList, sources);
    sources.replaceInStrings("<dest>", m_dest);
    MergeHarness harness;
    QVERIFY(harness.run(m_dest, sources));
    QCOMPARE(harness.events, QStringList());
}

// ---------------------------------------------------------------- measurement tables

void tst_KvtMerger::mergingTheSameSourceTwiceAddsNothing()
{
    // 600 defects hold one re-printed record (MyId 500) and some NULLs in compared columns.
    const QString error = fillDemo(m_src, 1, 600, 40, 12);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    MergeHarness harness;
    QVERIFY(harness.run(m_dest, {m_src}));
    QCOMPARE(harness.errorTexts, QStringList());
    QCOMPARE(harness.conflicts.size(), 0);
    QVERIFY(harness.events.contains("done:" + m_src));

    QCOMPARE(count(m_src, "defects"), 601);
    QCOMPARE(count(m_dest, "defects"), 600);
    for (const QString &table : mergedTables) {
        QCOMPARE(matchingRows(m_src, m_dest, table, copiedColumns(table)) > 0, true);
        if (table != "defects")
            QCOMPARE(count(m_dest, table), count(m_src, table));
    }
    QCOMPARE(matchingRows(m_dest, m_src, "defects", copiedColumns("defects")), 600);

    QVERIFY(harness.run(m_dest, {m_src}));
    QCOMPARE(harness.errorTexts, QStringList());
    QCOMPARE(harness.conflicts.size(), 0);
    QCOMPARE(count(m_dest, "defects"), 600);
    for (const QString &table : mergedTables)
        if (table != "defects")
            QCOMPARE(count(m_dest, table), count(m_src, table));
    // The tables a merge does not know stay as they were.
    for (const QString &table : QStringList{"defects_tmp", "graphics_tmp", "quart", "statvib"})
        QCOMPARE(count(m_dest, table), 0);
}

void tst_KvtMerger::overlappingSourcesAddEveryRecordOnce()
{
    QVERIFY(fillDemo(m_src, 1, 300, 30, 10).isEmpty());
    QVERIFY(fillDemo(m_src2, 2, 300, 30, 10).isEmpty());
    const QString distinctDefects =
        QStringLiteral("SELECT COUNT(*) FROM (SELECT MyId, Date, Time, DefectoscopistID, VagNo, "
                       "DetTypeId, DetNo, ZavNo, ProdYear, DetParameter, DefectNo, ZoneID, "
                       "Result, DefectID, DefectSize, Amplitude, Device FROM %1.defects UNION "
                       "SELECT MyId, Date, Time, DefectoscopistID, VagNo, DetTypeId, DetNo, "
                       "ZavNo, ProdYear, DetParameter, DefectNo, ZoneID, Result, DefectID, "
                       "DefectSize, Amplitude, Device FROM %2.defects) u")
            .arg(q(m_src), q(m_src2));
    const int expectedDefects = TestDatabase::scalar(distinctDefects).toInt();
    QVERIFY(expectedDefects > 300 && expectedDefects < 600);
    const int expectedGraphics =
        TestDatabase::scalar(QStringLiteral("SELECT COUNT(*) FROM (SELECT Graphic FROM %1.graphics "
                                            "UNION SELECT Graphic FROM %2.graphics) u")
                                 .arg(q(m_src), q(m_src2)))
            .toInt();

    MergeHarness harness;
    QVERIFY(harness.run(m_dest, {m_src, m_src2}));
    QCOMPARE(harness.errorTexts, QStringList());
    QVERIFY(harness.events.contains("done:" + m_src2));
    QCOMPARE(count(m_dest, "defects"), expectedDefects);
    QCOMPARE(count(m_dest, "graphics"), expectedGraphics);
}

void tst_KvtMerger::measurementRows_data()
{
    QTest::addColumn<QStringList>("source");
    QTest::addColumn<QStringList>("destination");
    QTest::addColumn<QString>("check");
    QTest::addColumn<QStringList>("expected");

    const QString defectCols = "(MyId, Date, Time, VagNo, DetNo, DefectSize, Amplitude, Printed, CRC32, Errors)";
    QTest::newRow("defects equal in compared columns within one source")
        << QStringList{"INSERT INTO <src>.defects " + defectCols + " VALUES "
                       "(1, '2025-03-01', '08:00:00', 5001, 77, 1.50, 42.5, 0, 111, 0), "
                       "(1, '2025-03-01', '08:00:00', 5001, 77, 1.50, 42.5, 1, 222, 3)"}
        << QStringList()
        << "SELECT MyId, Printed, CRC32, Errors FROM <dest>.defects"
        << QStringList{"1|0|111|0"};
    QTest::newRow("defects differing only in copied columns keep the destination's")
        << QStringList{"INSERT INTO <src>.defects " + defectCols + " VALUES "
                       "(1, '2025-03-01', '08:00:00', 5001, 77, 1.50, 42.5, 1, 999, 7)"}
        << QStringList{"INSERT INTO <dest>.defects " + defectCols + " VALUES "
                       "(1, '2025-03-01', '08:00:00', 5001, 77, 1.50, 42.5, 0, 111, 0)"}
        << "SELECT MyId, Printed, CRC32, Errors FROM <dest>.defects"
        << QStringList{"1|0|111|0"};
    QTest::newRow("defects differing in one compared column are both kept")
        << QStringList{"INSERT INTO <src>.defects " + defectCols + " VALUES "
                       "(1, '2025-03-01', '08:00:00', 5001, 77, 1.50, 42.6, 0, 111, 0)"}
        << QStringList{"INSERT INTO <dest>.defects " + defectCols + " VALUES "
                       "(1, '2025-03-01', '08:00:00', 5001, 77, 1.50, 42.5, 0, 111, 0)"}
        << "SELECT MyId, Amplitude FROM <dest>.defects ORDER BY Amplitude"
        << QStringList{"1|42.5", "1|42.6"};
    QTest::newRow("inserted rows get new IDs from the destination")
        << QStringList{"INSERT INTO <src>.defects (ID, MyId) VALUES (500, 1), (501, 2)"}
        << QStringList{"INSERT INTO <dest>.defects (ID, MyId) VALUES (7, 9)"}
        << "SELECT ID, MyId FROM <dest>.defects ORDER BY ID"
        << QStringList{"7|9", "8|1", "9|2"};
    QTest::newRow("graphics differing in one byte of the signal are both kept")
        << QStringList{"INSERT INTO <src>.graphics (DataId, Date, Graphic, CRC32) VALUES "
                       "(1, '2025-03-01', X'00010203FF', 1), (1, '2025-03-01', X'00010203FE', 2)"}
        << QStringList()
        << "SELECT HEX(Graphic), CRC32 FROM <dest>.graphics ORDER BY CRC32"
        << QStringList{"00010203FF|1", "00010203FE|2"};
    QTest::newRow("graphics differing only in copied columns keep the destination's")
        << QStringList{"INSERT INTO <src>.graphics (DataId, Graphic, DataType, FieldType, "
                       "GradientType, CountType, CRC32, Picture, Synced, Errors) VALUES "
                       "(1, X'0102', 9, 9, 9, 9, 9, 'new.png', 1, 9)"}
        << QStringList{"INSERT INTO <dest>.graphics (DataId, Graphic, DataType, FieldType, "
                       "GradientType, CountType, CRC32, Picture, Synced, Errors) VALUES "
                       "(1, X'0102', 0, 0, 0, 0, 0, 'old.png', 0, 0)"}
        << "SELECT DataId, DataType, CRC32, Picture, Synced FROM <dest>.graphics"
        << QStringList{"1|0|0|old.png|0"};
}

void tst_KvtMerger::measurementRows()
{
    QFETCH(QStringList, source);
    QFETCH(QStringList, destination);
    QFETCH(QString, check);
    QFETCH(QStringList, expected);
    QStringList statements = source + destination;
    statements.replaceInStrings("<src>", q(m_src));
    statements.replaceInStrings("<dest>", q(m_dest));
    exec(statements);
    check.replace("<dest>", q(m_dest));

    MergeHarness harness;
    QVERIFY(harness.run(m_dest, {m_src}));
    QCOMPARE(harness.errorTexts, QStringList());
    QCOMPARE(rows(check), expected);
    QVERIFY(harness.run(m_dest, {m_src}));
    QCOMPARE(rows(check), expected);
}

void tst_KvtMerger::nullsStayNullAndMatch()
{
    // All but MyId NULL: a NULL must not come back as 0, "" or a NUL character.
    exec({QStringLiteral("INSERT INTO %1.defects (MyId) VALUES (1)").arg(q(m_src)),
          QStringLiteral("INSERT INTO %1.graphics (DataId) VALUES (1)").arg(q(m_src)),
          QStringLiteral("INSERT INTO %1.dettypes VALUES (1, NULL, NULL)").arg(q(m_src)),
          QStringLiteral("INSERT INTO %1.humans VALUES (4, 'Иванов', NULL, NULL, NULL, 17)").arg(q(m_src))});
    MergeHarness harness;
    for (int run = 0; run < 2; ++run) {
        QVERIFY(harness.run(m_dest, {m_src}));
        QCOMPARE(harness.errorTexts, QStringList());
        QCOMPARE(harness.conflicts.size(), 0);
        QCOMPARE(count(m_dest, "defects"), 1);
        QCOMPARE(count(m_dest, "graphics"), 1);
        QCOMPARE(count(m_dest, "dettypes"), 1);
        QCOMPARE(count(m_dest, "humans"), 1);
    }
    QSqlQuery defects;
    QVERIFY(defects.exec(QStringLiteral("SELECT * FROM %1.defects").arg(q(m_dest))));
    QVERIFY(defects.next());
    for (const QString &column : copiedColumns("defects"))
        if (column != "MyId")
            QVERIFY2(defects.value(column).isNull(), qPrintable(column));
    QSqlQuery graphics;
    QVERIFY(graphics.exec(QStringLiteral("SELECT * FROM %1.graphics").arg(q(m_dest))));
    QVERIFY(graphics.next());
    for (const QString &column : copiedColumns("graphics"))
        if (column != "DataId")
            QVERIFY2(graphics.value(column).isNull(), qPrintable(column));
    QCOMPARE(rows(QStringLiteral("SELECT * FROM %1.dettypes").arg(q(m_dest))), QStringList{"1|NULL|NULL"});
    QCOMPARE(rows(QStringLiteral("SELECT * FROM %1.humans").arg(q(m_dest))),
             QStringList{"1|Иванов|NULL|NULL|NULL|17"});
}

void tst_KvtMerger::valuesArriveUnchanged()
{
    exec({QStringLiteral(
              "INSERT INTO %1.defects (MyId, Date, Time, DefectSize, Amplitude, Printed, CRC32) VALUES "
              "(1, '0000-00-00', '-838:59:59', 12345678901234.123456, 0.1, 1, 4294967295), "
              "(2, '2025-12-31', '100:00:00', -0.000001, 1e-300, 0, 0), "
              "(3, '1999-02-28', '00:00:00', 99999999999999.999999, -2.5e10, NULL, 1)").arg(q(m_src)),
          QStringLiteral(
              "INSERT INTO %1.graphics (DataId, Date, Graphic, Picture) VALUES "
              "(1, '0000-00-00', X'000000FF00', ''), (2, '2025-01-01', '', NULL)").arg(q(m_src)),
          QStringLiteral("INSERT INTO %1.defectref VALUES (1, 'Ё', 'Трещина «поперечная» 😀'), "
                         "(2, '', ' пробел в начале'), (3, 'a''b', 'обратная `кавычка` и \\\\')").arg(q(m_src))});
    MergeHarness harness;
    QVERIFY(harness.run(m_dest, {m_src}));
    QCOMPARE(harness.errorTexts, QStringList());
    for (const QString &table : QStringList{"defects", "graphics", "defectref"}) {
        QCOMPARE(count(m_dest, table), count(m_src, table));
        QCOMPARE(matchingRows(m_src, m_dest, table, copiedColumns(table)), count(m_src, table));
    }
    QCOMPARE(rows(QStringLiteral("SELECT CAST(Date AS CHAR), CAST(DefectSize AS CHAR) FROM %1.defects "
                                 "WHERE MyId = 1").arg(q(m_dest))),
             QStringList{"0000-00-00|12345678901234.123456"});
    QVERIFY(harness.run(m_dest, {m_src}));
    for (const QString &table : QStringList{"defects", "graphics", "defectref"})
        QCOMPARE(count(m_dest, table), count(m_src, table));
}

// ---------------------------------------------------------------- reference tables

void tst_KvtMerger::referenceTables_data()
{
    QTest::addColumn<QStringList>("source");
    QTest::addColumn<QStringList>("destination");
    QTest::addColumn<QString>("check");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QStringList>("conflicts"); // table number, then the two texts

    QTest::newRow("defectref: same, conflict, new")
        << QStringList{"INSERT INTO <src>.defectref VALUES (1, 'ТП', 'Трещина поперечная'), "
                       "(2, 'РК', 'Раковина'), (3, 'ЗК', 'Закат')"}
        << QStringList{"INSERT INTO <dest>.defectref VALUES (1, 'ТП', 'Трещина поперечная'), "
                       "(2, 'РК', 'Раковина усадочная')"}
        << "SELECT * FROM <dest>.defectref ORDER BY ID"
        << QStringList{"1|ТП|Трещина поперечная", "2|РК|Раковина усадочная", "3|ЗК|Закат"}
        << QStringList{"1", "SELECT ID, Short, Name FROM <src>.defectref WHERE ID=2",
                       "SELECT ID, Short, Name FROM <dest>.defectref WHERE ID=2"};
    QTest::newRow("dettypes: conflict on the short name only")
        << QStringList{"INSERT INTO <src>.dettypes VALUES (5, 'КБ', 'Корпус буксы'), (6, NULL, 'Без сокращения')"}
        << QStringList{"INSERT INTO <dest>.dettypes VALUES (5, 'КБ-1', 'Корпус буксы'), (6, NULL, 'Без сокращения')"}
        << "SELECT * FROM <dest>.dettypes ORDER BY ID"
        << QStringList{"5|КБ-1|Корпус буксы", "6|NULL|Без сокращения"}
        << QStringList{"3", "SELECT ID, Short, Name FROM <src>.dettypes WHERE ID=5",
                       "SELECT ID, Short, Name FROM <dest>.dettypes WHERE ID=5"};
    QTest::newRow("results: new records keep their IDs")
        << QStringList{"INSERT INTO <src>.results VALUES (3, 'ПК', 'Повторный контроль'), (9, 'Г', 'Годна')"}
        << QStringList{"INSERT INTO <dest>.results VALUES (1, 'Б', 'Брак')"}
        << "SELECT * FROM <dest>.results ORDER BY ID"
        << QStringList{"1|Б|Брак", "3|ПК|Повторный контроль", "9|Г|Годна"}
        << QStringList();
    QTest::newRow("device: the conflict is handed over like any other")
        << QStringList{"INSERT INTO <src>.device VALUES (1, 'ВД-12НФП зав. № 1007'), (2, 'УД2-102')"}
        << QStringList{"INSERT INTO <dest>.device VALUES (1, 'ВД-12НФП зав. № 1007, поверка 2022')"}
        << "SELECT * FROM <dest>.device ORDER BY ID"
        << QStringList{"1|ВД-12НФП зав. № 1007, поверка 2022", "2|УД2-102"}
        << QStringList{"4", "SELECT ID, Name FROM <src>.device WHERE ID=1",
                       "SELECT ID, Name FROM <dest>.device WHERE ID=1"};
    QTest::newRow("factory: matched by code, not ID; new ones get the destination's ID")
        << QStringList{"INSERT INTO <src>.factory VALUES (5, 31, 'РЗХМ', 'Рузаевский завод'), "
                       "(6, 34, 'БСЗ', 'Бежицкий сталелитейный завод'), (7, 40, 'НЗ', 'Новый завод')"}
        << QStringList{"INSERT INTO <dest>.factory VALUES (1, 31, 'РЗХМ', 'Рузаевский завод'), "
                       "(2, 34, 'БСЗ', 'Бежицкий завод')"}
        << "SELECT * FROM <dest>.factory ORDER BY ID"
        << QStringList{"1|31|РЗХМ|Рузаевский завод", "2|34|БСЗ|Бежицкий завод", "3|40|НЗ|Новый завод"}
        << QStringList{"5", "SELECT ID, Cod, Short, Name FROM <src>.factory WHERE Cod=34",
                       "SELECT ID, Cod, Short, Name FROM <dest>.factory WHERE Cod=34"};
    QTest::newRow("humans: into an empty table the IDs start at 1")
        << QStringList{"INSERT INTO <src>.humans VALUES (10, 'Иванов', 'Пётр', 'Ильич', 'Иванов П. И.', 1001), "
                       "(11, 'Петров', 'Олег', 'Юрьевич', 'Петров О. Ю.', 1002)"}
        << QStringList()
        << "SELECT * FROM <dest>.humans ORDER BY ID"
        << QStringList{"1|Иванов|Пётр|Ильич|Иванов П. И.|1001", "2|Петров|Олег|Юрьевич|Петров О. Ю.|1002"}
        << QStringList();
    QTest::newRow("humans: matched by names and TabNo, not ID; new ones get the largest ID + 1")
        << QStringList{"INSERT INTO <src>.humans VALUES (1, 'Иванов', 'Пётр', 'Ильич', 'Иванов П. И.', 1001), "
                       "(2, 'Петров', 'Олег', 'Юрьевич', 'Петров О. Ю.', 1002), "
                       "(3, 'Сидоров', 'Иван', 'Петрович', 'Сидоров И. П.', 1003)"}
        << QStringList{"INSERT INTO <dest>.humans VALUES (7, 'Иванов', 'Пётр', 'Ильич', 'Иванов П. И.', 1001), "
                       "(3, 'Петров', 'Олег', 'Иванович', 'Петров О. И.', 1002)"}
        << "SELECT * FROM <dest>.humans ORDER BY ID"
        << QStringList{"3|Петров|Олег|Иванович|Петров О. И.|1002", "7|Иванов|Пётр|Ильич|Иванов П. И.|1001",
                       "8|Сидоров|Иван|Петрович|Сидоров И. П.|1003"}
        << QStringList{"7", "SELECT ID, Famname, FstName, SecName, FullName, TabNo FROM <src>.humans WHERE TabNo=1002",
                       "SELECT ID, Famname, FstName, SecName, FullName, TabNo FROM <dest>.humans WHERE TabNo=1002"};
    QTest::newRow("zones: every column counts")
        << QStringList{"INSERT INTO <src>.zones VALUES (101, 1, 1, 'Зона 1'), (102, 2, 1, 'Зона 2 — галтель'), "
                       "(103, 3, 1, 'Зона 3'), (104, 5, 1, 'Зона 4'), (201, 1, 2, 'Зона 1')"}
        << QStringList{"INSERT INTO <dest>.zones VALUES (101, 1, 1, 'Зона 1'), (102, 2, 1, 'Зона 2'), "
                       "(104, 4, 1, 'Зона 4')"}
        << "SELECT * FROM <dest>.zones ORDER BY DetTypeZone"
        << QStringList{"101|1|1|Зона 1", "102|2|1|Зона 2", "103|3|1|Зона 3", "104|4|1|Зона 4", "201|1|2|Зона 1"}
        << QStringList{"9", "SELECT DetTypeZone, ID, DetTypeId, Name FROM <src>.zones WHERE DetTypeZone=102",
                       "SELECT DetTypeZone, ID, DetTypeId, Name FROM <dest>.zones WHERE DetTypeZone=102",
                       "9", "SELECT DetTypeZone, ID, DetTypeId, Name FROM <src>.zones WHERE DetTypeZone=104",
                       "SELECT DetTypeZone, ID, DetTypeId, Name FROM <dest>.zones WHERE DetTypeZone=104"};
}

void tst_KvtMerger::referenceTables()
{
    QFETCH(QStringList, source);
    QFETCH(QStringList, destination);
    QFETCH(QString, check);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, conflicts);
    QStringList statements = source + destination;
    statements.replaceInStrings("<src>", q(m_src));
    statements.replaceInStrings("<dest>", q(m_dest));
    exec(statements);
    check.replace("<dest>", q(m_dest));
    conflicts.replaceInStrings("<src>", q(m_src));
    conflicts.replaceInStrings("<dest>", q(m_dest));

    MergeHarness harness; // answers every conflict by resuming: the destination keeps its record
    QVERIFY(harness.run(m_dest, {m_src}));
    QCOMPARE(harness.errorTexts, QStringList());
    QStringList seen;
    for (const MergeHarness::Conflict &c : harness.conflicts) {
        seen << QString::number(c.table) << c.sourceQuery << c.destinationQuery;
        QVERIFY(c.workerWaiting);
    }
    QCOMPARE(seen, conflicts);
    QCOMPARE(rows(check), expected);
    QVERIFY(harness.events.contains("done:" + m_src));

    // The second run meets the same conflicts and adds nothing.
    QVERIFY(harness.run(m_dest, {m_src}));
    QCOMPARE(harness.conflicts.size(), conflicts.size() / 3);
    QCOMPARE(rows(check), expected);
}

void tst_KvtMerger::everyConflictWaitsForItsResume()
{
    exec({QStringLiteral("INSERT INTO %1.results VALUES (1, 'Г', 'Годна'), (2, 'Б', 'Брак'), (3, 'Р', 'Ремонт')").arg(q(m_src)),
          QStringLiteral("INSERT INTO %1.results VALUES (1, 'Г', 'Годен'), (2, 'Б', 'Брак!')").arg(q(m_dest))});
    MergeHarness harness;
    int answered = 0;
    QVector<bool> stillWaiting;
    // Resume late, from a timer: until then the worker must stay in its wait.
    harness.setConflictHandler([&](const MergeHarness::Conflict &) {
        QTimer::singleShot(100, &harness, [&]() {
            stillWaiting << harness.merger().isPaused();
            ++answered;
            harness.merger().resumeThread();
        });
        return false;
    });
    QVERIFY(harness.run(m_dest, {m_src}));
    QCOMPARE(answered, 2);
    QCOMPARE(stillWaiting, (QVector<bool>{true, true}));
    QCOMPARE(harness.events.count(QStringLiteral("conflict:8")), 2);
    QCOMPARE(count(m_dest, "results"), 3);
    QVERIFY(!harness.merger().isPaused());
}

void tst_KvtMerger::standingChoices_data()
{
    QTest::addColumn<int>("choice");
    QTest::newRow("skip") << int(adrSkip);
    QTest::newRow("replace") << int(adrReplace);
    QTest::newRow("add new") << int(adrAddNew);
}

// The main window settles every conflict of every table alike from its standing choice;
// the worker hands each one over and goes on with the next row.
void tst_KvtMerger::standingChoices()
{
    QFETCH(int, choice);
    QVERIFY(fillDemo(m_src, 1, 20, 4, 30).isEmpty());
    QVERIFY(fillDemo(m_src2, 2, 20, 4, 30).isEmpty());
    MergeHarness harness;
    QVERIFY(harness.run(m_dest, {m_src}));
    QCOMPARE(harness.conflicts.size(), 0);

    QMap<int, int> expected;
    const QVector<kvtTableName> tables{tnDefectRef, tnDetTypes, tnDevice, tnFactory, tnResults, tnHumans, tnZones};
    for (kvtTableName table : tables) {
        expected[table] = expectedConflicts(m_src2, m_dest, tableOf(table));
        QVERIFY2(expected[table] > 0, qPrintable(tableOf(table)));
    }
    const int dettypesBefore = count(m_dest, "dettypes");
    const int newDettypes = TestDatabase::scalar(
        QStringLiteral("SELECT COUNT(*) FROM %1.dettypes s WHERE NOT EXISTS "
                       "(SELECT 1 FROM %2.dettypes d WHERE d.ID = s.ID)").arg(q(m_src2), q(m_dest))).toInt();
    answerAsMainWindow(harness, actionDiffRec(choice));
    QVERIFY(harness.run(m_dest, {m_src2}));
    QCOMPARE(harness.errorTexts, QStringList());
    QVERIFY(harness.events.contains("done:" + m_src2));
    QMap<int, int> seen;
    for (const MergeHarness::Conflict &c : harness.conflicts)
        ++seen[c.table];
    QCOMPARE(seen, expected);

    // Replaced records match the source now; skipped and added ones conflict again.
    QVERIFY(harness.run(m_dest, {m_src2}));
    QCOMPARE(harness.errorTexts, QStringList());
    int total = 0;
    for (int n : expected)
        total += n;
    QCOMPARE(harness.conflicts.size(), choice == adrReplace ? 0 : total);
    // Each of the two runs added the conflicting part types once more.
    const int added = choice == adrAddNew ? 2 * expected[tnDetTypes] : 0;
    QCOMPARE(count(m_dest, "dettypes"), dettypesBefore + newDettypes + added);
}

void tst_KvtMerger::conflictSettledOnGuiThreadIsSeenByTheWorker()
{
    exec({QStringLiteral("INSERT INTO %1.humans VALUES (1, 'Иванов', 'Пётр', 'Ильич', 'Иванов П. И.', 10)").arg(q(m_dest)),
          QStringLiteral("INSERT INTO %1.humans VALUES (1, 'Иванов', 'Павел', 'Ильич', 'Иванов П. И.', 10), "
                         "(2, 'Петров', 'Олег', 'Юрьевич', 'Петров О. Ю.', 11)").arg(q(m_src))});
    MergeHarness harness;
    // Add the conflicting person under a new ID and TabNo on the default connection: the
    // worker's next new person must be numbered after it.
    harness.setConflictHandler([this](const MergeHarness::Conflict &) {
        const QString error = TestDatabase::exec(QStringLiteral(
            "INSERT INTO %1.humans SELECT 2, Famname, FstName, SecName, FullName, 99 "
            "FROM %2.humans WHERE TabNo = 10").arg(q(m_dest), q(m_src)));
        if (!error.isEmpty())
            qWarning("%s", qPrintable(error));
        return true;
    });
    QVERIFY(harness.run(m_dest, {m_src}));
    QCOMPARE(harness.errorTexts, QStringList());
    QCOMPARE(rows(QStringLiteral("SELECT ID, FstName, TabNo FROM %1.humans ORDER BY ID").arg(q(m_dest))),
             (QStringList{"1|Пётр|10", "2|Павел|99", "3|Олег|11"}));
}

// ---------------------------------------------------------------- stop and errors

void tst_KvtMerger::stopDuringAConflict_data()
{
    QTest::addColumn<bool>("requestStop");
    QTest::newRow("flag, then resume") << false;
    QTest::newRow("requestStop wakes the worker") << true;
}

void tst_KvtMerger::stopDuringAConflict()
{
    QFETCH(bool, requestStop);
    exec({QStringLiteral("INSERT INTO %1.defects (MyId) VALUES (1)").arg(q(m_src)),
          QStringLiteral("INSERT INTO %1.defectref VALUES (1, 'А', 'Один'), (2, 'Б', 'Два'), (3, 'В', 'Три')").arg(q(m_src)),
          QStringLiteral("INSERT INTO %1.defectref VALUES (1, 'А', 'Один!')").arg(q(m_dest)),
          QStringLiteral("INSERT INTO %1.defects (MyId) VALUES (2)").arg(q(m_src2))});
    MergeHarness harness;
    harness.setConflictHandler([&harness, requestStop](const MergeHarness::Conflict &) {
        if (requestStop) {
            harness.merger().requestStop();
            return false; // no resume: the stop request alone ends the wait
        }
        harness.merger().setStopFlag(true);
        return true;
    });
    QVERIFY(harness.run(m_dest, {m_src, m_src2}));
    // The row loop ends before the next insert, the run ends, nothing is rolled back.
    QCOMPARE(rows(QStringLiteral("SELECT * FROM %1.defectref").arg(q(m_dest))), QStringList{"1|А|Один!"});
    QCOMPARE(count(m_dest, "defects"), 1);
    QCOMPARE(harness.events.last(), QStringLiteral("conflict:1"));
    QCOMPARE(harness.events.filter("status:").last(), "status:" + m_src + ".defectref");
    QVERIFY(!harness.events.contains("done:" + m_src));
    QVERIFY(!harness.events.contains("db:" + m_src2));
    QVERIFY(harness.merger().stopFlag());
}

void tst_KvtMerger::stopInTheMiddleOfATable()
{
    QVERIFY(fillDemo(m_src, 1, 3000, 0, 1).isEmpty());
    MergeHarness harness;
    // The per-row copy; the set-based one stops between chunks (tst_measurementcopy).
    harness.merger().setMeasurementCopy(KvtMerger::MeasurementCopy::PerRow);
    harness.setProgressHook([&harness](int value) {
        if (value == 200)
            harness.merger().setStopFlag(true);
    });
    QVERIFY(harness.run(m_dest, {m_src, m_src2}));
    const int inserted = count(m_dest, "defects");
    QVERIFY2(inserted >= 200 && inserted < 3000, qPrintable(QString::number(inserted)));
    QCOMPARE(harness.errorTexts, QStringList());
    QCOMPARE(harness.events, (QStringList{"db:" + m_src, "status:" + m_src + ".defects", "max:3006"}));
    QCOMPARE(harness.progress.value(0).size(), inserted + 1);
}

void tst_KvtMerger::missingSourceDatabaseEndsTheRun()
{
    const QString missing = TestDatabase::uniqueName("engine_missing");
    exec({QStringLiteral("INSERT INTO %1.defects (MyId) VALUES (1)").arg(q(m_src))});
    MergeHarness harness;
    QVERIFY(harness.run(m_dest, {missing, m_src}));
    // Found before the first source is merged.
    QCOMPARE(harness.events, (QStringList{"sqlErr:1049", "err"}));
    QCOMPARE(harness.errorTexts.size(), 1);
    QVERIFY2(harness.errorTexts.first().contains(missing), qPrintable(harness.errorTexts.first()));
    QCOMPARE(count(m_dest, "defects"), 0);
}

void tst_KvtMerger::missingDestinationTable_data()
{
    QTest::addColumn<bool>("sourceRows");
    QTest::newRow("source rows to merge") << true;
    QTest::newRow("empty source table") << false;
}

void tst_KvtMerger::missingDestinationTable()
{
    QFETCH(bool, sourceRows);
    exec({QStringLiteral("DROP TABLE %1.zones").arg(q(m_dest)),
          QStringLiteral("INSERT INTO %1.dettypes VALUES (1, 'ОК', 'Ось')").arg(q(m_src))});
    if (sourceRows)
        exec({QStringLiteral("INSERT INTO %1.zones VALUES (101, 1, 1, 'Шейка')").arg(q(m_src))});
    MergeHarness harness;
    QVERIFY(harness.run(m_dest, {m_src}));
    // Refused before the first write, whether the source has zones to merge or not.
    QCOMPARE(count(m_dest, "dettypes"), 0);
    QCOMPARE(harness.events, (QStringList{"sqlErr:1146", "err"}));
    QVERIFY(harness.errorTexts.value(0).contains("zones"));
}

void tst_KvtMerger::nonIntegerKeyEndsTheMerge()
{
    const QString key = "7; DROP TABLE x";
    exec({QStringLiteral("ALTER TABLE %1.device MODIFY ID VARCHAR(32) NOT NULL").arg(q(m_src)),
          QStringLiteral("ALTER TABLE %1.device MODIFY ID VARCHAR(32) NOT NULL").arg(q(m_dest)),
          QStringLiteral("INSERT INTO %1.device VALUES ('%2', 'A'), ('8', 'B')").arg(q(m_src), key),
          QStringLiteral("INSERT INTO %1.device VALUES ('%2', 'other')").arg(q(m_dest), key),
          QStringLiteral("INSERT INTO %1.results VALUES (1, 'Г', 'Годна')").arg(q(m_src))});
    MergeHarness harness;
    QVERIFY(harness.run(m_dest, {m_src}));
    QCOMPARE(harness.conflicts.size(), 0);
    QCOMPARE(harness.events.mid(harness.events.size() - 2), (QStringList{"sqlErr:0", "err"}));
    QCOMPARE(harness.errorTexts.size(), 1);
    QVERIFY2(harness.errorTexts.first().contains("not an integer"), qPrintable(harness.errorTexts.first()));
    QVERIFY(harness.errorTexts.first().contains(key));
    QCOMPARE(rows(QStringLiteral("SELECT * FROM %1.device ORDER BY ID").arg(q(m_dest))),
             QStringList{key + "|other"});
    QCOMPARE(count(m_dest, "results"), 0);
}

// The window-less connection: a failure comes back with the server's text and number.
void tst_KvtMerger::openConnection_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("code");
    const TestDatabase::Server s = TestDatabase::server();
    QTest::newRow("test server") << s.password << s.port << QString();
    QTest::newRow("wrong password") << s.password + "x" << s.port << "1045";
    QTest::newRow("no server on the port") << s.password << 1 << "2002";
}

void tst_KvtMerger::openConnection()
{
    QFETCH(QString, password);
    QFETCH(int, port);
    QFETCH(QString, code);
    const TestDatabase::Server s = TestDatabase::server();
    KvtConnectionSettings settings;
    settings.host = s.host;
    settings.port = port;
    settings.user = s.user;
    settings.password = password;
    const QString name = QStringLiteral("openConnection");
    const KvtSqlStatus status = openKvtConnection(settings, name);
    QCOMPARE(status.ok(), code.isEmpty());
    QCOMPARE(status.code(), code);
    if (status) {
        QSqlQuery query(QSqlDatabase::database(name, false));
        QVERIFY(query.exec(QStringLiteral("SELECT @@character_set_client")) && query.next());
        QCOMPARE(query.value(0).toString(), QStringLiteral("utf8mb4"));
    } else {
        QVERIFY(!status.text().isEmpty());
    }
    closeKvtConnection(name);
    QVERIFY(!QSqlDatabase::contains(name));
}

QTEST_GUILESS_MAIN(tst_KvtMerger)
#include "tst_kvtmerger.moc"
