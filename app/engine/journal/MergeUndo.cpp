#include "MergeUndo.h"

#include "DestinationState.h"
#include "KvtDestinationLock.h"
#include "KvtMessages.h"
#include "KvtPaths.h"
#include "KvtRelations.h"
#include "KvtRowFingerprint.h"
#include "KvtSql.h"
#include "KvtTables.h"
#include "PLog.h"
#include "PSqlIdentifier.h"
#include "PSqlNull.h"

#include <QDateTime>
#include <QDir>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>


int MergeUndo::Plan::deletes() const
{
    int n = 0;
    for (const TablePlan &t : tables)
        n += t.deletes.size();
    return n;
}

int MergeUndo::Plan::restores() const
{
    int n = 0;
    for (const TablePlan &t : tables)
        n += t.restores.size();
    return n;
}

int MergeUndo::Plan::left() const
{
    int n = 0;
    for (const TablePlan &t : tables)
        n += t.left.size();
    return n;
}

MergeUndo::MergeUndo(MergeJournal &journal, const QSqlDatabase &db)
    : m_journal(journal)
    , m_db(db)
{
}

const QVector<kvtTableName> &MergeUndo::order()
{
    static const QVector<kvtTableName> tables{tnDefects, tnGraphics, tnZones,   tnHumans,   tnResults,
                                              tnFactory, tnDevice,   tnDetTypes, tnDefectRef};
    return tables;
}

QString MergeUndo::reasonText(Reason reason)
{
    switch (reason) {
    case Reason::ChangedSince: return QStringLiteral("changed since the merge");
    case Reason::TouchedLater: return QStringLiteral("touched by a later run");
    case Reason::DependedOn: return QStringLiteral("other rows depend on it");
    case Reason::Gone: return QStringLiteral("no longer there");
    }
    return QString();
}

bool MergeUndo::fail(const QString &text)
{
    m_error = text;
    return false;
}

QString MergeUndo::table(kvtTableName t) const
{
    return PSqlIdentifier::qualified(m_destination, KvtTable::of(t).name);
}

// ---------------------------------------------------------------- plan

bool MergeUndo::plan(qlonglong run, Plan &plan)
{
    m_error.clear();
    plan = Plan();
    if (!m_journal.run(run, plan.run))
        return fail(m_journal.lastError());
    m_destination = plan.run.destination;
    m_kind = plan.run.fingerprintKind;
    m_deleting.clear();
    m_heldIds.clear();
    if (!readState(plan.run.id))
        return false;
    QVector<MergeJournal::Entry> entries;
    QVector<MergeJournal::Chunk> chunks;
    if (!m_journal.entries(run, entries) || !m_journal.openChunks(run, chunks))
        return fail(m_journal.lastError());
    for (const MergeJournal::Chunk &c : qAsConst(chunks))
        plan.openChunks << c.chunk;
    for (const kvtTableName t : order()) {
        TablePlan tp;
        tp.table = t;
        if (!planTable(plan, t, entries, chunks, tp))
            return false;
        plan.tables << tp;
    }
    plan.heldIds = m_heldIds;
    return true;
}

bool MergeUndo::planTable(const Plan &plan, kvtTableName t, const QVector<MergeJournal::Entry> &entries,
                          const QVector<MergeJournal::Chunk> &chunks, TablePlan &tp)
{
    QHash<qlonglong, qlonglong> later;
    QHash<qlonglong, qlonglong> others;
    if (!m_journal.idsOfOtherRuns(plan.run.id, t, true, later)
        || !m_journal.idsOfOtherRuns(plan.run.id, t, false, others))
        return fail(m_journal.lastError());
    QVector<Item> deletes;
    QVector<Item> restores;
    QSet<qlonglong> journaled;
    // A record the run wrote more than once (inserted for one source, replaced for the
    // next) is taken back to before its first entry, as long as it is as the last left it.
    QHash<qlonglong, int> itemOf; // by identifier: position in `items`
    QVector<Item> items;
    QVector<bool> inserted;
    for (const MergeJournal::Entry &e : entries) {
        if (e.table != t)
            continue;
        journaled.insert(e.id);
        const auto found = itemOf.constFind(e.id);
        if (found == itemOf.constEnd()) {
            itemOf.insert(e.id, items.size());
            items << Item{{e.entry}, e.id, e.fingerprint, e.before};
            inserted << (e.kind != MergeJournal::Kind::Replaced);
            continue;
        }
        items[*found].entries << e.entry;
        items[*found].fingerprint = e.fingerprint;
    }
    for (int i = 0; i < items.size(); ++i)
        (inserted.at(i) ? deletes : restores) << items.at(i);
    for (auto it = others.constBegin(); it != others.constEnd(); ++it)
        journaled.insert(it.key());
    for (const MergeJournal::Chunk &c : chunks)
        if (c.table == t && !openChunkRows(t, c, journaled, deletes))
            return false;

    QVector<qlonglong> ids;
    for (const Item &i : qAsConst(deletes))
        ids << i.id;
    for (const Item &i : qAsConst(restores))
        ids << i.id;
    QHash<qlonglong, QString> current;
    QString error;
    if (!KvtRowFingerprint::read(m_db, m_destination, t, ids, current, &error, m_kind))
        return fail(error);

    // Which rows can be taken back as they stand; deletes first, so that the
    // dependants found below know what goes.
    QSet<qlonglong> &deleting = m_deleting[KvtTable::of(t).name];
    auto sort = [&](const Item &item, QVector<Item> &target) -> bool {
        if (!current.contains(item.id)) {
            tp.gone += item.entries;
            return false;
        }
        if (later.contains(item.id)) {
            tp.left << Left{t, item.id, Reason::TouchedLater, later.value(item.id)};
            return false;
        }
        if (current.value(item.id) != item.fingerprint) {
            tp.left << Left{t, item.id, Reason::ChangedSince, 0};
            return false;
        }
        target << item;
        return true;
    };
    for (const Item &item : qAsConst(deletes)) {
        QVector<Item> kept;
        if (!sort(item, kept))
            continue;
        bool depended = false;
        if (!dependedOn(t, item.id, depended))
            return false;
        if (depended) {
            tp.left << Left{t, item.id, Reason::DependedOn, 0};
            continue;
        }
        tp.deletes << item;
        deleting.insert(item.id);
    }
    for (const Item &item : qAsConst(restores))
        sort(item, tp.restores);
    // Rows that came after the run began although their identifier is not above the largest
    // of the time (a zone's DetTypeZone): what the run wrote and leaves, and what later runs
    // wrote.
    QSet<qlonglong> &held = m_heldIds[KvtTable::of(t).name];
    for (const Left &l : qAsConst(tp.left))
        held.insert(l.id);
    for (auto it = later.constBegin(); it != later.constEnd(); ++it)
        held.insert(it.key());
    QSet<qlonglong> runs;
    for (auto it = later.constBegin(); it != later.constEnd(); ++it)
        runs.insert(it.value());
    tp.laterRuns = QVector<qlonglong>(runs.begin(), runs.end());
    std::sort(tp.laterRuns.begin(), tp.laterRuns.end());
    return true;
}

// The rows of a chunk journaled as an intent only: after the destination's largest ID of
// the time, not journaled by any run, with one of the intended fingerprints (each used
// once).
bool MergeUndo::openChunkRows(kvtTableName t, const MergeJournal::Chunk &chunk, const QSet<qlonglong> &journaled,
                              QVector<Item> &rows)
{
    QHash<QString, int> wanted;
    for (const QString &f : chunk.fingerprints)
        ++wanted[f];
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("SELECT t.ID, %1 FROM %2 t WHERE t.ID > %3 ORDER BY t.ID")
                        .arg(KvtRowFingerprint::of(t, QStringLiteral("t"), m_kind), table(t))
                        .arg(chunk.maxBefore)))
        return fail(query.lastError().text());
    while (query.next()) {
        const qlonglong id = query.value(0).toLongLong();
        const QString print = query.value(1).toString();
        if (journaled.contains(id) || wanted.value(print) <= 0)
            continue;
        --wanted[print];
        rows << Item{{}, id, print, {}};
    }
    return true;
}

// The state before the run: the destination's columns that name records, and each of
// their tables' largest identifier when the run began (none for a run journaled before
// they were recorded: then every row counts).
bool MergeUndo::readState(qlonglong run)
{
    QString error;
    if (!DestinationState::namingColumns(m_db, m_destination, m_naming, &error))
        return fail(error);
    if (!m_journal.largestIds(run, m_largest))
        return fail(m_journal.lastError());
    return true;
}

// The rows of other tables that name a record of `target` and hold it back: rows after the
// largest identifier of the run's start, or journaled since (heldIds), when the run recorded
// the largest; every row otherwise. The condition names the row `m` and the record `t`
// (`t` may be the table's full name).
QVector<MergeUndo::Dependant> MergeUndo::dependantsOf(kvtTableName target, const QString &t) const
{
    QVector<Dependant> result;
    for (const KvtNamingColumn &c : m_naming) {
        if (c.target != target)
            continue;
        const QString identifier = KvtSql::column(QStringLiteral("m"), c.identifier);
        QString condition = KvtRelations::names(target, t, KvtSql::column(QStringLiteral("m"), QStringLiteral("DetTypeId")),
                                                KvtSql::column(QStringLiteral("m"), c.column));
        const auto largest = m_largest.constFind(c.table);
        if (largest != m_largest.constEnd()) {
            QStringList held;
            for (const qlonglong id : m_heldIds.value(c.table))
                if (id <= *largest)
                    held << QString::number(id);
            condition += QStringLiteral(" AND (%1 > %2").arg(identifier).arg(*largest);
            if (!held.isEmpty())
                condition += QStringLiteral(" OR %1 IN (%2)").arg(identifier, held.join(QLatin1Char(',')));
            condition += QLatin1Char(')');
        }
        result << Dependant{c.table, c.identifier, condition};
    }
    return result;
}

// Whether rows the plan does not delete hold the record back.
bool MergeUndo::dependedOn(kvtTableName t, qlonglong id, bool &depended)
{
    depended = false;
    for (const Dependant &d : dependantsOf(t)) {
        QSqlQuery query(m_db);
        const QString statement = QStringLiteral("SELECT m.%1 FROM %2 m, %3 t WHERE t.%4 = %5 AND %6")
                                      .arg(PSqlIdentifier::quote(d.identifier),
                                           PSqlIdentifier::qualified(m_destination, d.table), table(t),
                                           PSqlIdentifier::quote(KvtRowFingerprint::identifierColumn(t)))
                                      .arg(id)
                                      .arg(d.condition);
        if (!query.exec(statement))
            return fail(query.lastError().text());
        const QSet<qlonglong> &deleting = m_deleting.value(d.table);
        while (query.next())
            if (!deleting.contains(query.value(0).toLongLong())) {
                depended = true;
                return true;
            }
    }
    return true;
}

// ---------------------------------------------------------------- execution

MergeUndo::Result MergeUndo::execute(const Plan &plan, const QString &reportFolder)
{
    Result result;
    m_error.clear();
    m_destination = plan.run.destination;
    m_kind = plan.run.fingerprintKind;
    m_heldIds = plan.heldIds;
    // Nothing beside a merge or another undo into the destination: they would find present,
    // and name, what this one deletes.
    KvtDestinationLock lock(m_db, m_destination);
    switch (lock.take()) {
    case KvtDestinationLock::Outcome::Taken: break;
    case KvtDestinationLock::Outcome::Busy:
        result.busy = true;
        result.error = KvtMessages::destinationBusy(m_destination);
        return result;
    case KvtDestinationLock::Outcome::Failed: result.error = lock.status().text(); return result;
    }
    if (!readState(plan.run.id)) {
        result.error = m_error;
        return result;
    }
    QStringList lines{QStringLiteral("table;identifier;outcome;reason")};
    for (const TablePlan &tp : plan.tables) {
        QVector<qlonglong> undone = tp.gone;
        for (const Left &l : tp.left)
            result.left << l;
        if (!executeTable(tp, result, undone, lines)) {
            result.error = m_error;
            PLOG_ERROR << "undo of run " << plan.run.id << ": " << m_error;
            break;
        }
        if (!m_journal.markUndone(undone)) {
            result.error = m_journal.lastError();
            break;
        }
    }
    for (const Left &l : qAsConst(result.left))
        lines << QStringLiteral("%1;%2;left;%3")
                     .arg(KvtTable::of(l.table).name)
                     .arg(l.id)
                     .arg(l.reason == Reason::TouchedLater
                              ? reasonText(l.reason) + QStringLiteral(" (run %1)").arg(l.laterRun)
                              : reasonText(l.reason));
    result.ok = result.error.isEmpty();
    result.complete = result.ok && result.left.isEmpty();
    if (result.ok && !m_journal.closeChunks(plan.openChunks))
        result.error = m_journal.lastError();
    const QString status = result.complete ? QStringLiteral("undone") : QStringLiteral("partly undone");
    if (result.deleted + result.restored > 0 || result.complete)
        m_journal.setUndoStatus(plan.run.id, status);
    PLOG_INFO << "undo of run " << plan.run.id << " (" << plan.run.destination << "): " << result.deleted
              << " rows deleted, " << result.restored << " records restored, " << result.left.size() << " left";
    for (const Left &l : qAsConst(result.left))
        PLOG_INFO << "left " << KvtTable::of(l.table).name << " " << l.id << ": " << reasonText(l.reason);

    const QString folder = reportFolder.isEmpty() ? KvtPaths::reportsFolder() : reportFolder;
    QDir().mkpath(folder);
    QSaveFile file(QDir(folder).filePath(QStringLiteral("undo_%1_%2.csv")
                                             .arg(plan.run.id)
                                             .arg(QDateTime::currentDateTime().toString(
                                                 QStringLiteral("yyyy-MM-dd_HH-mm-ss")))));
    if (file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        file.write(lines.join(QLatin1Char('\n')).toUtf8() + '\n');
        if (file.commit())
            result.reportFile = file.fileName();
    }
    if (result.reportFile.isEmpty())
        PLOG_ERROR << "undo report not written: " << file.errorString();
    return result;
}

// One transaction: deletes, then restores; a statement that finds its row changed (or
// depended on) since the plan leaves it.
bool MergeUndo::executeTable(const TablePlan &tp, Result &result, QVector<qlonglong> &undone, QStringList &lines)
{
    if (tp.deletes.isEmpty() && tp.restores.isEmpty())
        return true;
    // Single-table statements naming the table in full: a multi-table DELETE needs a
    // default database on some servers.
    const kvtTableName t = tp.table;
    const QString name = KvtTable::of(t).name;
    const QString target = table(t);
    const QString idColumn = KvtSql::column(target, KvtRowFingerprint::identifierColumn(t));
    const QString print = KvtRowFingerprint::of(t, target, m_kind);
    QString independent;
    for (const Dependant &d : dependantsOf(t, target))
        independent += QStringLiteral(" AND NOT EXISTS (SELECT 1 FROM %1 m WHERE %2)")
                           .arg(PSqlIdentifier::qualified(m_destination, d.table), d.condition);
    if (!m_db.transaction())
        return fail(m_db.lastError().text());
    Result done;
    QStringList doneLines;
    QVector<qlonglong> doneEntries;
    QSqlQuery remove(m_db);
    QSqlQuery restore(m_db);
    bool ok = remove.prepare(QStringLiteral("DELETE FROM %1 WHERE %2 = :id AND %3 = :fp").arg(target, idColumn, print)
                             + independent);
    QStringList assignments;
    const QStringList replaced = KvtTable::of(t).replacedColumns();
    for (int i = 0; i < replaced.size(); ++i)
        assignments << KvtSql::column(target, replaced.at(i)) + QStringLiteral(" = :v%1").arg(i);
    QSqlQuery still(m_db);
    if (ok && !tp.restores.isEmpty())
        ok = still.prepare(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 = :id AND %3 = :fp").arg(target, idColumn, print));
    if (ok && !tp.restores.isEmpty())
        ok = restore.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE %3 = :id AND %4 = :fp")
                                 .arg(target, assignments.join(QStringLiteral(", ")), idColumn, print));
    for (int i = 0; ok && i < tp.deletes.size(); ++i) {
        const Item &item = tp.deletes.at(i);
        remove.bindValue(QStringLiteral(":id"), item.id);
        remove.bindValue(QStringLiteral(":fp"), item.fingerprint);
        ok = remove.exec();
        if (ok && remove.numRowsAffected() == 1) {
            ++done.deleted;
            doneLines << QStringLiteral("%1;%2;deleted;").arg(name).arg(item.id);
            doneEntries += item.entries;
        } else if (ok) {
            done.left << Left{t, item.id, Reason::ChangedSince, 0};
        }
    }
    for (int i = 0; ok && i < tp.restores.size(); ++i) {
        const Item &item = tp.restores.at(i);
        for (int c = 0; c < replaced.size(); ++c) {
            // Bound with the type it was read with; NULL as NULL.
            const QVariant value = item.before.value(replaced.at(c));
            restore.bindValue(QStringLiteral(":v%1").arg(c), PSqlNull::bindable(value));
        }
        restore.bindValue(QStringLiteral(":id"), item.id);
        restore.bindValue(QStringLiteral(":fp"), item.fingerprint);
        ok = restore.exec();
        // A record the run wrote back to what it was before (replaced again and again)
        // matches but is not changed: the server counts no affected row.
        bool unchanged = false;
        if (ok && restore.numRowsAffected() == 0) {
            still.bindValue(QStringLiteral(":id"), item.id);
            still.bindValue(QStringLiteral(":fp"), item.fingerprint);
            ok = still.exec();
            unchanged = ok && still.next() && still.value(0).toInt() == 1;
            still.finish();
        }
        if (ok && (restore.numRowsAffected() == 1 || unchanged)) {
            ++done.restored;
            doneLines << QStringLiteral("%1;%2;restored;").arg(name).arg(item.id);
            doneEntries += item.entries;
        } else if (ok) {
            done.left << Left{t, item.id, Reason::ChangedSince, 0};
        }
    }
    if (!ok) {
        const QString error = (remove.lastError().isValid()    ? remove.lastError()
                               : restore.lastError().isValid() ? restore.lastError()
                                                               : still.lastError())
                                  .text();
        m_db.rollback();
        return fail(QStringLiteral("%1: %2").arg(name, error));
    }
    if (!m_db.commit())
        return fail(m_db.lastError().text());
    result.deleted += done.deleted;
    result.restored += done.restored;
    result.left += done.left;
    lines += doneLines;
    undone += doneEntries;
    return true;
}
