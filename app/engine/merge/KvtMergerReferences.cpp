// The mode "Keep references consistent" and the check of references, as the worker runs
// them. The relations are described in KvtRelations, the key map in KvtReferenceMap.
#include "KvtMerger.h"

#include "MergeJournal.h"

#include "CONST.h"
#include "KvtSourceReader.h"
#include "KvtSql.h"
#include "KvtSqlName.h"
#include "PSqlIdentifier.h"
#include "KvtTableSql.h"
#include "KvtTableStatements.h"
#include "PLog.h"

#include <QMutexLocker>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

namespace {

// Rows named in the log per kind of mismatch and table.
constexpr int loggedRows = 5;

QString countsKey(const QString &source, kvtTableName table)
{
    return source + QLatin1Char('/') + QString::number(int(table));
}

QString tableNameOf(kvtTableName table)
{
    return KvtTable::of(table).name;
}

} // namespace

KvtMerger::ReferenceCounts KvtMerger::referenceCounts(const QString &source, kvtTableName table) const
{
    QMutexLocker locker(&m_countsMutex);
    return m_referenceCounts.value(countsKey(source, table));
}

// In the mode the seven reference steps come first, so that the map is complete before
// the first measurement row is written.
QVector<kvtTableName> KvtMerger::stepOrder() const
{
    QVector<kvtTableName> order{tnDefects, tnGraphics, tnDefectRef, tnDetTypes, tnDevice,
                                tnFactory, tnResults,  tnHumans,    tnZones};
    if (m_keepReferences)
        std::rotate(order.begin(), order.begin() + 2, order.end());
    return order;
}

void KvtMerger::startReferences()
{
    m_inserted.clear();
    if (!m_keepReferences) {
        m_referenceMap.reset();
        return;
    }
    if (!m_referenceMap)
        m_referenceMap.reset(new KvtReferenceMap(m_db));
    m_referenceMap->start(currentSourceDB, currentDestinationDB);
}

// After the last reference step of the mode the map goes to the server.
void KvtMerger::endReferenceSteps(kvtTableName table, int &errCode)
{
    if (!mappingReferences() || table != tnZones)
        return;
    const KvtSqlStatus status = m_referenceMap->store();
    if (!status) {
        reportError(status.text(), status.code());
        errCode = stepRowError;
        return;
    }
    PLOG_DEBUG << "key map of " << currentSourceDB << ": " << m_referenceMap->size(tnHumans) << " people, "
               << m_referenceMap->size(tnDetTypes) << " part types, " << m_referenceMap->size(tnZones)
               << " zones";
}

void KvtMerger::addReferenceCounts(kvtTableName table, qint64 translated, qint64 mismatched)
{
    {
        QMutexLocker locker(&m_countsMutex);
        ReferenceCounts &counts = m_referenceCounts[countsKey(currentSourceDB, table)];
        counts.translated += translated;
        counts.mismatched += mismatched;
    }
    if (mismatched > 0)
        PLOG_WARN << tr("%1.%2: %3 rows inserted whose references name a record of other content or none")
                         .arg(currentSourceDB, tableNameOf(table))
                         .arg(mismatched);
    emit referencesChecked(currentSourceDB, table, translated, mismatched);
}

void KvtMerger::logMismatch(kvtTableName table, const QString &row, const QString &column, const QString &value,
                            KvtReferenceSql::Mismatch kind)
{
    int &logged = m_logged[int(kind)];
    if (logged++ >= loggedRows)
        return;
    if (column.isEmpty())
        PLOG_WARN << currentSourceDB << '.' << tableNameOf(table) << ", " << row
                  << ": " << tr("a reference names a record of other content or none");
    else
        PLOG_WARN << currentSourceDB << '.' << tableNameOf(table) << ", " << row << ": " << column << ' ' << value
                  << ' ' << KvtReferenceSql::describe(kind);
}

// The plain merge: the rows each measurement step inserted (IDs the destination gave them
// after the step's start) are checked once the source's reference tables are merged too.
// Rows another session inserts into the same table meanwhile are checked with them.
void KvtMerger::checkReferences(int &errCode)
{
    if (mappingReferences())
        return;
    KvtSql::Columns sourceTables; // read once a table has rows to check
    for (const kvtTableName table : {tnDefects, tnGraphics}) {
        const auto it = m_inserted.constFind(table);
        if (it == m_inserted.constEnd() || it->second <= it->first) // nothing inserted
            continue;
        if (sourceTables.isEmpty()) {
            const KvtSqlStatus read = KvtSql::readColumns(m_db, currentSourceDB, sourceTables);
            if (!read) {
                reportError(read.text(), read.code());
                errCode = stepRowError;
                return;
            }
        }
        const KvtTableSql sql = KvtTableSql::forTable(table, currentDestinationDB);
        const QVector<KvtRelation> relations = KvtRelations::among(sql.copiedColumns());
        const KvtPreparedQuery::Bindings range{{QStringLiteral(":after"), it->first},
                                               {QStringLiteral(":last"), it->second}};
        KvtPreparedQuery count(m_db, KvtReferenceSql::countInserted(relations, currentSourceDB, sourceTables,
                                                                    currentDestinationDB, sql.tableName()));
        int mismatched = 0;
        if (!countMatches(count, range, mismatched)) {
            errCode = stepRowError;
            return;
        }
        m_logged.clear();
        if (mismatched > 0) {
            KvtPreparedQuery rows(m_db, KvtReferenceSql::insertedRows(relations, currentSourceDB, sourceTables,
                                                                     currentDestinationDB, sql.tableName()));
            KvtPreparedQuery::Bindings values = range;
            values.append({QStringLiteral(":rows"), 10 * loggedRows});
            if (!rows.exec(values)) {
                getSqlErr(&rows.query());
                errCode = stepRowError;
                return;
            }
            QSqlQuery &q = rows.query();
            QStringList names{QStringLiteral("ID")};
            for (const KvtRelation &r : relations)
                names << r.column;
            const QVector<int> at = KvtSql::positions(q.record(), names);
            while (q.next())
                for (int i = 0; i < relations.size(); ++i)
                    if (const int kind = q.value(at.at(i + 1)).toInt())
                        logMismatch(table, tr("destination ID %1").arg(q.value(at.first()).toString()),
                                    relations.at(i).column, QString(), KvtReferenceSql::Mismatch(kind));
        }
        addReferenceCounts(table, 0, mismatched);
    }
    m_inserted.clear();
}

bool KvtMerger::readInsertedEnd(kvtTableName table, qulonglong &last)
{
    QSqlQuery query(m_db);
    if (!query.exec(KvtSql::largestKey(PSqlIdentifier::qualified(currentDestinationDB, tableNameOf(table))))) {
        getSqlErr(&query);
        return false;
    }
    last = query.next() ? query.value(0).toULongLong() : 0;
    return true;
}

// ---------------------------------------------------------------- the key map

// Maps the source record to the one destination record matching `condition`.
bool KvtMerger::mapTo(kvtTableName table, RefId source, const QString &condition, const Bindings &values)
{
    QVector<RefId> ids;
    const KvtSqlStatus status = m_referenceMap->destinationIds(table, condition, values, ids);
    if (!status) {
        reportError(status.text(), status.code());
        return false;
    }
    if (!ids.isEmpty())
        m_referenceMap->add(table, source, ids.first());
    return true;
}

namespace {

// The record's content without its key (test placeholders, KvtSql), as bound in `content`.
QString contentCondition(const KvtPreparedQuery::Bindings &content)
{
    QStringList columns;
    for (const auto &value : content)
        columns << value.first.mid(KvtSql::testPrefix.size());
    return KvtSql::sameIn(columns, KvtSql::Row::described(QString()), KvtSql::Row::bound(KvtSql::testPrefix));
}

// The key column equals :key.
QString keyCondition(const QString &keyColumn)
{
    return KvtSql::same(KvtSql::column(QString(), keyColumn), QStringLiteral(":key"));
}

bool contains(const QVector<KvtReferenceMap::Id> &ids, const KvtReferenceMap::Id &id)
{
    for (const KvtReferenceMap::Id &other : ids)
        if (other.part == id.part && other.id == id.id)
            return true;
    return false;
}

} // namespace

// The key of the source record is taken by another record. With `sameKeyRule` (the
// catalogues keyed by a plain identifier) a source record whose content equals exactly one
// destination record under another key is that record: an earlier merge added it under a
// new key. Otherwise the operator settles the conflict, and the map follows the record
// that came out of it: one the conflict wrote (replaced or added under a new key), or
// else the destination record that kept the key.
bool KvtMerger::settleTakenKey(kvtTableName table, RefId source, const Bindings &content, bool sameKeyRule,
                               const QString &keyColumn, const QString &key, const QString &sourceSelect,
                               qint64 partType)
{
    const QString condition = contentCondition(content);
    QVector<RefId> before;
    KvtSqlStatus status = m_referenceMap->destinationIds(table, condition, content, before);
    if (!status) {
        reportError(status.text(), status.code());
        return false;
    }
    // People and factories: only the record an earlier journaled run added under a new
    // key for this very source record stands for it.
    if (!sameKeyRule && m_journalRun != 0) {
        QVector<qlonglong> added;
        if (!m_journal->addedUnderNewKey(m_report.server(), currentDestinationDB, table, currentSourceDB, key, added)) {
            reportError(tr("The merge journal cannot be read: %1").arg(m_journal->lastError()), QStringLiteral("0"));
            return false;
        }
        QVector<RefId> candidates;
        for (const RefId &id : qAsConst(before))
            if (added.contains(id.id))
                candidates << id;
        if (candidates.size() == 1) {
            m_referenceMap->add(table, source, candidates.first());
            return true;
        }
    }
    if (sameKeyRule) {
        QVector<RefId> candidates = before;
        if (table == tnZones)
            candidates.erase(std::remove_if(candidates.begin(), candidates.end(),
                                            [&](const RefId &id) { return id.part != partType; }),
                             candidates.end());
        if (candidates.size() == 1) {
            m_referenceMap->add(table, source, candidates.first());
            return true;
        }
    }
    if (!handOverConflict(keyColumn, key, sourceSelect))
        return false;
    if (m_stopFlag)
        return true;
    QVector<RefId> after;
    status = m_referenceMap->destinationIds(table, condition, content, after);
    if (!status) {
        reportError(status.text(), status.code());
        return false;
    }
    for (const RefId &id : qAsConst(after))
        if (!contains(before, id)) {
            m_referenceMap->add(table, source, id);
            return true;
        }
    return mapTo(table, source, keyCondition(keyColumn), {{QStringLiteral(":key"), key}});
}

// defectref, dettypes, results and device: key and identifier ID.
bool KvtMerger::mappedSimpleReference(kvtTableName table, const QString &fID, const Bindings &content,
                                      const Bindings &sameRecord, const Bindings &insert)
{
    const RefId source{0, fID.toLongLong()};
    switch (lookUpReference(sameRecord, {{KvtSql::testPlaceholder(QStringLiteral("ID")), fID}})) {
    case ReferenceState::Failed:
        return false;
    case ReferenceState::Present:
        m_referenceMap->add(table, source, source);
        return true;
    case ReferenceState::KeyFree:
        if (!execInsert(m_statements->insert, insert))
            return false;
        m_referenceMap->add(table, source, source);
        return true;
    case ReferenceState::KeyTaken:
        break;
    }
    return settleTakenKey(table, source, content, true, QStringLiteral("ID"), fID);
}

// A person is keyed by the personnel number; a namesake under another number is never
// taken for the same person, so a conflict is always the operator's.
bool KvtMerger::mappedHuman(const QString &fID, const Bindings &content, const QString &fTabNo)
{
    const RefId source{0, fID.toLongLong()};
    const QString tabNo = QStringLiteral("TabNo");
    Bindings same = content;
    same.append({KvtSql::testPlaceholder(tabNo), fTabNo});
    switch (lookUpReference(same, {{KvtSql::testPlaceholder(tabNo), fTabNo}})) {
    case ReferenceState::Failed:
        return false;
    case ReferenceState::Present:
        return mapTo(tnHumans, source, keyCondition(tabNo), {{QStringLiteral(":key"), fTabNo}});
    case ReferenceState::KeyFree: {
        int maxId = 0;
        if (!countMatches(m_statements->maxId, {}, maxId))
            return false;
        Bindings insert{{KvtSql::valuePlaceholder(QStringLiteral("ID")), maxId + 1},
                        {KvtSql::valuePlaceholder(tabNo), fTabNo}};
        for (const auto &value : content)
            insert.append({KvtSql::valuePlaceholder(value.first.mid(KvtSql::testPrefix.size())), value.second});
        if (!execInsert(m_statements->insert, insert))
            return false;
        m_referenceMap->add(tnHumans, source, RefId{0, maxId + 1});
        return true;
    }
    case ReferenceState::KeyTaken:
        break;
    }
    return settleTakenKey(tnHumans, source, content, false, QStringLiteral("TabNo"), fTabNo);
}

// A zone is written under its part type's destination identifier: DetTypeId translated,
// DetTypeZone = 100 * DetTypeId + ID. A part type the map does not know leaves the zone
// as it is.
bool KvtMerger::mappedZone(const QString &fDetTypeZone, const QString &fID, const QString &fDetTypeId,
                           const QString &fName)
{
    const RefId source{fDetTypeId.toLongLong(), fID.toLongLong()};
    QString detTypeId = fDetTypeId;
    QString detTypeZone = fDetTypeZone;
    KvtReferenceMap::Target partType;
    if (m_referenceMap->lookUp(tnDetTypes, RefId{0, source.part}, partType) && partType.id.id != source.part) {
        detTypeId = QString::number(partType.id.id);
        detTypeZone = QString::number(100 * partType.id.id + source.id);
    }
    const RefId written{detTypeId.toLongLong(), source.id};
    // The zone as written, bound by the names of its described columns.
    const QHash<QString, QString> zone{{QStringLiteral("DetTypeZone"), detTypeZone},
                                       {QStringLiteral("ID"), fID},
                                       {QStringLiteral("DetTypeId"), detTypeId},
                                       {QStringLiteral("Name"), fName}};
    const KvtTable &zones = m_statements->sql().description();
    Bindings tested;
    Bindings inserted;
    for (const QString &column : zones.columnNames()) {
        tested.append({KvtSql::testPlaceholder(column), zone.value(column)});
        inserted.append({KvtSql::valuePlaceholder(column), zone.value(column)});
    }
    switch (lookUpReference(tested, {{KvtSql::testPlaceholder(zones.keyColumn()), detTypeZone}})) {
    case ReferenceState::Failed:
        return false;
    case ReferenceState::Present:
        m_referenceMap->add(tnZones, source, written);
        return true;
    case ReferenceState::KeyFree:
        if (!execInsert(m_statements->insert, inserted))
            return false;
        m_referenceMap->add(tnZones, source, written);
        return true;
    case ReferenceState::KeyTaken:
        break;
    }
    // The operator sees, and a replacement writes, the zone under its translated part type.
    QString sourceSelect;
    if (detTypeZone != fDetTypeZone && KvtSqlName::isInteger(fDetTypeZone))
        sourceSelect = QStringLiteral("SELECT %1 AS DetTypeZone, ID, %2 AS DetTypeId, Name FROM %3 WHERE DetTypeZone=%4")
                           .arg(detTypeZone, detTypeId, PSqlIdentifier::qualified(currentSourceDB, tbZONES), fDetTypeZone);
    return settleTakenKey(tnZones, source, {{KvtSql::testPlaceholder(QStringLiteral("Name")), fName}}, true,
                          QStringLiteral("DetTypeZone"),
                          detTypeZone, sourceSelect, written.part);
}

// ---------------------------------------------------------------- one record in the mode

// Reference records go through the decisions that feed the map; measurement rows are
// written translated and counted. True on success, as mergeRecord().
bool KvtMerger::mergeMapped(const KvtTableSql::Values &record)
{
    const KvtTableSql &sql = m_statements->sql();
    const auto text = [&](const char *column) { return sql.text(record, QLatin1String(column)); };
    // The record's content without its key, for finding it under another key.
    Bindings content;
    for (const QString &column : KvtRelations::content(sql.table()))
        if (column != sql.description().keyColumn())
            content.append({KvtSql::testPlaceholder(column), sql.text(record, column)});
    switch (sql.table()) {
    case tnDefects:
    case tnGraphics: {
        const KvtTableSql::Values translated = translatedRecord(record);
        m_rowInserted = false;
        m_plainRecord = true; // the plain merge of the translated row
        const bool merged = mergeRecord(translated);
        m_plainRecord = false;
        countRow(translated);
        return merged;
    }
    case tnDefectRef:
    case tnDetTypes:
    case tnResults:
    case tnDevice:
        return mappedSimpleReference(sql.table(), text("ID"), content, sql.sameRecordValues(record),
                                     sql.insertValues(record));
    case tnHumans:
        return mappedHuman(text("ID"), content, text("TabNo"));
    case tnZones:
        return mappedZone(text("DetTypeZone"), text("ID"), text("DetTypeId"), text("Name"));
    case tnFactory:
        break;
    }
    m_plainRecord = true;
    const bool merged = mergeRecord(record);
    m_plainRecord = false;
    return merged;
}

// The record with its references translated through the map. NULL stays NULL; an
// identifier the map does not know (a record missing from the row's own source) stays.
KvtTableSql::Values KvtMerger::translatedRecord(const KvtTableSql::Values &record)
{
    const QStringList columns = m_statements->sql().copiedColumns();
    KvtTableSql::Values values = record;
    m_rowTranslated = false;
    m_rowMismatches.clear();
    // The translated DetTypeId, which the row's zone must belong to.
    const int partAt = columns.indexOf(QStringLiteral("DetTypeId"));
    const qint64 sourcePart = partAt < 0 ? 0 : record.value(partAt).toLongLong();
    qint64 partType = sourcePart;
    for (int i = 0; i < m_rowRelations.size(); ++i) {
        const KvtRelation &r = m_rowRelations.at(i);
        const int at = m_rowPositions.at(i);
        const QString value = record.value(at).toString();
        if (value.isNull())
            continue;
        bool numeric = false;
        const qint64 id = value.toLongLong(&numeric);
        KvtReferenceMap::Target target;
        if (!numeric || !m_referenceMap->lookUp(r.target, RefId{r.withinPartType ? sourcePart : 0, id}, target)) {
            m_rowMismatches << qMakePair(i, KvtReferenceSql::Mismatch::MissingInSource);
            continue;
        }
        if (target.id.id != id) {
            values[at] = QString::number(target.id.id);
            m_rowTranslated = true;
        }
        if (r.target == tnDetTypes)
            partType = target.id.id;
        if (!target.same || (r.withinPartType && target.id.part != partType))
            m_rowMismatches << qMakePair(i, KvtReferenceSql::Mismatch::OtherContent);
    }
    return values;
}

void KvtMerger::countRow(const KvtTableSql::Values &values)
{
    if (!m_rowInserted)
        return;
    if (m_rowTranslated)
        ++m_rowCounts.translated;
    if (m_rowMismatches.isEmpty())
        return;
    ++m_rowCounts.mismatched;
    for (const auto &mismatch : qAsConst(m_rowMismatches))
        logMismatch(m_statements->sql().table(), tr("inserted row %1").arg(m_rowCounts.mismatched),
                    m_rowRelations.at(mismatch.first).column,
                    values.value(m_rowPositions.at(mismatch.first)).toString(), mismatch.second);
}
