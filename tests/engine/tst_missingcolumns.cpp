// A source of an older KVT version lacks columns. The vocabulary (KvtSql) reads a missing
// column as NULL on every path: such a source previews, merges, keeps references and is
// undone exactly like a full source whose column holds NULLs. Also the vocabulary's own
// behaviour on the server: NULLs, a missing column, quotes, backslashes and Cyrillic.

#include "EngineTestCase.h"
#include "EngineTestData.h"
#include "KvtSql.h"
#include "KvtTables.h"
#include "MergeHarness.h"
#include "MergeJournal.h"
#include "MergePreview.h"
#include "MergeUndo.h"
#include "PSqlIdentifier.h"
#include "PSqlNull.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace EngineTestData;

namespace {

// What a merge leaves in the destination, but the identifiers its counters give (undone
// runs leave the counters moved on).
QStringList contents(const QString &db)
{
    QStringList all;
    for (const KvtTable &t : KvtTable::all()) {
        QStringList columns;
        for (const QString &c : t.insertedColumns())
            columns << q(c);
        QStringList table = rows(QStringLiteral("SELECT %1 FROM %2.%3").arg(columns.join(", "), q(db), t.name));
        std::sort(table.begin(), table.end());
        all << t.name + ": " + table.join('\n');
    }
    return all;
}

QStringList counts(const MergeReport &report)
{
    QStringList all;
    for (const KvtTable &t : KvtTable::all()) {
        const MergeReport::TableCounts &c = report.table(0, t.id);
        all << QStringLiteral("%1 rows %2 inserted %3 present %4 conflicts %5 mismatched %6 translated %7")
                   .arg(t.name)
                   .arg(c.rows)
                   .arg(c.inserted)
                   .arg(c.present)
                   .arg(c.conflicts)
                   .arg(c.referencesMismatched)
                   .arg(c.referencesTranslated);
    }
    return all;
}

} // namespace

class tst_MissingColumns : public EngineTestCase
{
    Q_OBJECT

private slots:
    void lackingSourceMergesLikeFullOne_data();
    void lackingSourceMergesLikeFullOne();
    void vocabularyOnServer_data();
    void vocabularyOnServer();

private:
    struct Outcome
    {
        QStringList preview;
        QStringList merged;
        QStringList contents;
        QString error;
    };
    Outcome previewMergeUndo(const QString &dest, const QString &source, bool keepReferences);
};

// Previews, merges (conflicts left out) and undoes one source; the destination must be
// as before afterwards.
tst_MissingColumns::Outcome tst_MissingColumns::previewMergeUndo(const QString &dest, const QString &source,
                                                                 bool keepReferences)
{
    Outcome outcome;
    const QStringList before = checksums(dest);
    MergePreview preview;
    preview.setDestination(dest);
    preview.setSources({source});
    preview.run();
    if (!preview.report().errors().isEmpty()) {
        outcome.error = "preview: " + preview.report().errors().join('\n');
        return outcome;
    }
    outcome.preview = counts(preview.report());

    QTemporaryDir dir;
    MergeJournal journal(dir.filePath("journal.sqlite"));
    if (!journal.open()) {
        outcome.error = journal.lastError();
        return outcome;
    }
    MergeHarness harness;
    harness.merger().setKeepReferences(keepReferences);
    harness.merger().setJournal(&journal);
    harness.merger().setChunkSize(16);
    harness.setConflictHandler([](const MergeHarness::Conflict &) { return true; });
    if (!harness.run(dest, {source}) || !harness.errorTexts.isEmpty()) {
        outcome.error = "merge: " + harness.errorTexts.join('\n');
        return outcome;
    }
    outcome.merged = counts(harness.merger().report());
    outcome.contents = contents(dest);

    MergeUndo undo(journal, QSqlDatabase::database());
    MergeUndo::Plan plan;
    if (!undo.plan(harness.merger().journalRun(), plan)) {
        outcome.error = "undo plan: " + undo.error();
        return outcome;
    }
    const MergeUndo::Result result = undo.execute(plan, dir.filePath("reports"));
    if (!result.complete)
        outcome.error = "undo: " + result.error;
    else if (checksums(dest) != before)
        outcome.error = "undo left the destination changed";
    return outcome;
}

void tst_MissingColumns::lackingSourceMergesLikeFullOne_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column"); // lacking in the source; empty: an extra column
    QTest::addColumn<bool>("keepReferences");
    const QList<QPair<const char *, const char *>> lacking{
        {"defects", "DefectSize"}, {"graphics", "DetParameter"}, {"defectref", "Short"},
        {"dettypes", "Name"},      {"device", "Name"},           {"factory", "Short"},
        {"results", "Name"},       {"humans", "SecName"},        {"zones", "Name"}};
    for (const auto &l : lacking)
        for (const bool keep : {false, true})
            QTest::addRow("%s.%s%s", l.first, l.second, keep ? ", keeping references" : "")
                << QString(l.first) << QString(l.second) << keep;
    QTest::newRow("an extra column") << "humans" << QString() << false;
    QTest::newRow("an extra column, keeping references") << "humans" << QString() << true;
}

void tst_MissingColumns::lackingSourceMergesLikeFullOne()
{
    QFETCH(QString, table);
    QFETCH(QString, column);
    QFETCH(bool, keepReferences);
    const QString dest = createDatabase("mcol_dest");
    const QString full = createDatabase("mcol_full");
    const QString lacking = createDatabase("mcol_lack");
    QVERIFY(!lacking.isEmpty());
    QCOMPARE(fillDemo(dest, 2, 60, 6, 8), QString());
    QCOMPARE(fillDemo(full, 1, 60, 6, 8), QString());
    QCOMPARE(fillDemo(lacking, 1, 60, 6, 8), QString());
    if (column.isEmpty()) {
        exec({QStringLiteral("ALTER TABLE %1.%2 ADD COLUMN kvt_extra VARCHAR(8) DEFAULT 'x'").arg(q(lacking), table)});
    } else {
        exec({QStringLiteral("UPDATE %1.%2 SET %3 = NULL").arg(q(full), table, q(column)),
              QStringLiteral("ALTER TABLE %1.%2 DROP COLUMN %3").arg(q(lacking), table, q(column))});
    }

    const Outcome expected = previewMergeUndo(dest, full, keepReferences);
    QVERIFY2(expected.error.isEmpty(), qPrintable(expected.error));
    const Outcome outcome = previewMergeUndo(dest, lacking, keepReferences);
    QVERIFY2(outcome.error.isEmpty(), qPrintable(outcome.error));
    QCOMPARE(outcome.preview, expected.preview);
    QCOMPARE(outcome.merged, expected.merged);
    QCOMPARE(outcome.contents, expected.contents);
    // The table took part: the source has records in it.
    QVERIFY(count(lacking, table) > 0);
}

// The vocabulary's statements against a real table: a value stored through insertValues()
// is found again NULL-safely by sameIn(), also compared with a copy lacking a column.
void tst_MissingColumns::vocabularyOnServer_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::newRow("NULL") << PSqlNull::typed();
    QTest::newRow("quotes") << QVariant(QStringLiteral("O'Brien \"Jr\" `x`"));
    QTest::newRow("backslashes") << QVariant(QStringLiteral("C:\\kvt\\") + QStringLiteral("\\n"));
    QTest::newRow("Cyrillic") << QVariant(QStringLiteral("Иванов Пётр"));
    QTest::newRow("empty") << QVariant(QStringLiteral(""));
}

void tst_MissingColumns::vocabularyOnServer()
{
    QFETCH(QVariant, value);
    const QString db = createDatabase("mcol_sql");
    QVERIFY(!db.isEmpty());
    const QString table = PSqlIdentifier::qualified(db, "words");
    const QString older = PSqlIdentifier::qualified(db, "older");
    exec({QStringLiteral("CREATE TABLE %1 (ID INT NOT NULL PRIMARY KEY, `Date` VARCHAR(40) NULL, "
                         "Note VARCHAR(40) NULL) CHARACTER SET utf8mb4").arg(table),
          QStringLiteral("CREATE TABLE %1 (ID INT NOT NULL, `Date` VARCHAR(40) NULL) CHARACTER SET utf8mb4").arg(older)});
    QSqlQuery query;

    QVERIFY(query.exec(KvtSql::largestKey(table)) && query.next());
    QCOMPARE(query.value(0).toInt(), 0);

    const QStringList columns{"ID", "Date", "Note"};
    QVERIFY(query.prepare(KvtSql::insertValues(table, columns)));
    query.bindValue(KvtSql::valuePlaceholder("ID"), 7);
    query.bindValue(KvtSql::valuePlaceholder("Date"), value);
    query.bindValue(KvtSql::valuePlaceholder("Note"), PSqlNull::typed());
    QVERIFY2(query.exec(), qPrintable(query.lastError().text()));
    QVERIFY(query.exec(KvtSql::insertInto(older, {"ID", "Date"}) + " SELECT ID, `Date` FROM " + table));

    QVERIFY(query.exec(KvtSql::largestKey(table)) && query.next());
    QCOMPARE(query.value(0).toInt(), 7);

    // Found by its bound values, the NULL Note equal to a NULL.
    QVERIFY(query.prepare("SELECT COUNT(*) FROM " + table + " WHERE "
                          + KvtSql::sameIn(columns, KvtSql::Row::described(QString()),
                                           KvtSql::Row::bound(KvtSql::testPrefix))));
    query.bindValue(KvtSql::testPlaceholder("ID"), 7);
    query.bindValue(KvtSql::testPlaceholder("Date"), value);
    query.bindValue(KvtSql::testPlaceholder("Note"), PSqlNull::typed());
    QVERIFY2(query.exec() && query.next(), qPrintable(query.lastError().text()));
    QCOMPARE(query.value(0).toInt(), 1);

    // The older copy lacks Note, which reads as NULL there: equal to the row's NULL Note,
    // not to a Note set since.
    const QString join = "SELECT COUNT(*) FROM " + table + " a" + KvtSql::indexHint("PRIMARY") + " JOIN " + older
                         + " b ON " + KvtSql::sameIn(columns, KvtSql::Row::described("a"),
                                                    KvtSql::Row::having("b", {"id", "DATE"}));
    QVERIFY2(query.exec(join) && query.next(), qPrintable(query.lastError().text()));
    QCOMPARE(query.value(0).toInt(), 1);
    QVERIFY(query.exec("UPDATE " + table + " SET Note = 'n'"));
    QVERIFY(query.exec(join) && query.next());
    QCOMPARE(query.value(0).toInt(), 0);
}

QTEST_GUILESS_MAIN(tst_MissingColumns)
#include "tst_missingcolumns.moc"
