// The relations are described in KvtRelations, the key map in KvtReferenceMap.
#include "KvtKeyMapStep.h"

#include "CONST.h"
#include "KvtMessages.h"
#include "KvtRowMerge.h"
#include "KvtRunJournal.h"
#include "KvtSql.h"
#include "KvtSourceKey.h"
#include "KvtSqlName.h"
#include "KvtTableStatements.h"
#include "MergeJournal.h"
#include "PSqlIdentifier.h"

#include <algorithm>

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

KvtKeyMapStep::KvtKeyMapStep(KvtMergeRun &run, KvtRowMerge &rows, KvtRunJournal &journal, KvtRunReport &report)
    : m_run(run)
    , m_rows(rows)
    , m_journal(journal)
    , m_report(report)
    , m_map(run.db)
{
}

void KvtKeyMapStep::startSource()
{
    m_map.start(m_run.source, m_run.destination);
}

// The zones, merged next, look their part types up. After the last reference step every
// map is on the server, its entries marked.
KvtStepResult KvtKeyMapStep::endStep(kvtTableName table)
{
    KvtSqlStatus status;
    if (table == tnDetTypes)
        status = m_map.read(tnDetTypes);
    else if (table == tnZones)
        status = m_map.store();
    if (!status) {
        m_run.fail(status);
        return KvtStepResult::RowError;
    }
    return KvtStepResult::Done;
}

// The rows translated on the client need the entries of the tables they name.
bool KvtKeyMapStep::startRows()
{
    const QStringList columns = m_run.sql().copiedColumns();
    m_relations = KvtRelations::among(columns);
    m_positions.clear();
    m_counts = KvtRunReport::Counts();
    for (const KvtRelation &r : qAsConst(m_relations)) {
        m_positions << columns.indexOf(r.column);
        const KvtSqlStatus status = m_map.read(r.target);
        if (!status)
            return m_run.fail(status);
    }
    return true;
}

void KvtKeyMapStep::endRows()
{
    m_report.addReferenceCounts(m_run, m_run.sql().table(), m_counts.translated, m_counts.mismatched);
}

// Maps the source record to the one destination record matching `condition`.
bool KvtKeyMapStep::mapTo(kvtTableName table, RefId source, const QString &condition, const Bindings &values)
{
    QVector<RefId> ids;
    const KvtSqlStatus status = m_map.destinationIds(table, condition, values, ids);
    if (!status)
        return m_run.fail(status);
    if (!ids.isEmpty())
        m_map.add(table, source, ids.first());
    return true;
}

// The key of the source record is taken by another record. With `sameKeyRule` (the
// catalogues keyed by a plain identifier) a source record whose content equals exactly one
// destination record under another key is that record: an earlier merge added it under a
// new key. Otherwise the operator settles the conflict, and the map follows the record
// that came out of it: one the conflict wrote (replaced or added under a new key), or
// else the destination record that kept the key.
bool KvtKeyMapStep::settleTakenKey(kvtTableName table, RefId source, const Bindings &content, bool sameKeyRule,
                                   const QString &keyColumn, const QString &key, const QString &sourceSelect,
                                   qint64 partType)
{
    const QString condition = contentCondition(content);
    QVector<RefId> before;
    KvtSqlStatus status = m_map.destinationIds(table, condition, content, before);
    if (!status)
        return m_run.fail(status);
    dropUnseen(before);
    // People and factories: only the record an earlier journaled run added under a new
    // key for this very source record stands for it.
    if (!sameKeyRule && m_journal.journaling()) {
        QVector<qlonglong> added;
        if (!m_journal.journal()->addedUnderNewKey(m_run.report.server(), m_run.destination, table, m_run.source,
                                                   key, added))
            return m_run.fail(KvtSqlStatus::own(KvtMessages::journalNotRead(m_journal.journal()->lastError())));
        QVector<RefId> candidates;
        for (const RefId &id : qAsConst(before))
            if (added.contains(id.id))
                candidates << id;
        if (candidates.size() == 1) {
            m_map.add(table, source, candidates.first());
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
            m_map.add(table, source, candidates.first());
            return true;
        }
    }
    bool leftOut = false;
    if (!m_rows.handOver(keyColumn, key, sourceSelect, &leftOut))
        return false;
    if (m_run.stopped())
        return true;
    if (leftOut)
        return mapTo(table, source, keyCondition(keyColumn), {{QStringLiteral(":key"), key}});
    QVector<RefId> after;
    status = m_map.destinationIds(table, condition, content, after);
    if (!status)
        return m_run.fail(status);
    dropUnseen(after);
    for (const RefId &id : qAsConst(after))
        if (!contains(before, id)) {
            m_map.add(table, source, id);
            return true;
        }
    return mapTo(table, source, keyCondition(keyColumn), {{QStringLiteral(":key"), key}});
}

// A record present in the destination, or inserted under its free key, is mapped to
// `written` (the record as it was written).
KvtKeyMapStep::Placed KvtKeyMapStep::place(kvtTableName table, RefId source, RefId written,
                                           const Bindings &sameRecord, const Bindings &key, const Bindings &insert)
{
    switch (m_rows.lookUp(sameRecord, key)) {
    case KvtRowMerge::ReferenceState::Failed:
        return Placed::Failed;
    case KvtRowMerge::ReferenceState::KeyTaken:
        return Placed::KeyTaken;
    case KvtRowMerge::ReferenceState::KeyFree:
        if (!m_rows.execInsert(m_run.statements().insert, insert))
            return Placed::Failed;
        break;
    case KvtRowMerge::ReferenceState::Present:
        break;
    }
    m_map.add(table, source, written);
    return Placed::Mapped;
}

void KvtKeyMapStep::dropUnseen(QVector<RefId> &ids) const
{
    if (m_unseen.isEmpty())
        return;
    ids.erase(std::remove_if(ids.begin(), ids.end(), [this](const RefId &id) { return contains(m_unseen, id); }),
              ids.end());
}

// defectref, dettypes, results and device: key and identifier ID.
bool KvtKeyMapStep::simpleReference(kvtTableName table, const QString &fID, const Bindings &content,
                                    const Values &record)
{
    const RefId source{0, fID.toLongLong()};
    const Placed placed = place(table, source, source, m_run.sql().sameRecordValues(record),
                                {{KvtSql::testPlaceholder(QStringLiteral("ID")), fID}}, m_run.sql().insertValues(record));
    if (placed != Placed::KeyTaken)
        return placed == Placed::Mapped;
    return settleTakenKey(table, source, content, true, QStringLiteral("ID"), fID);
}

// A person is keyed by the personnel number; a namesake under another number is never
// taken for the same person, so a conflict is always the operator's.
bool KvtKeyMapStep::human(const QString &fID, const Bindings &content, const QString &fTabNo)
{
    const RefId source{0, fID.toLongLong()};
    const QString tabNo = QStringLiteral("TabNo");
    Bindings same = content;
    same.append({KvtSql::testPlaceholder(tabNo), fTabNo});
    switch (m_rows.lookUp(same, {{KvtSql::testPlaceholder(tabNo), fTabNo}})) {
    case KvtRowMerge::ReferenceState::Failed:
        return false;
    case KvtRowMerge::ReferenceState::Present:
        return mapTo(tnHumans, source, keyCondition(tabNo), {{QStringLiteral(":key"), fTabNo}});
    case KvtRowMerge::ReferenceState::KeyFree: {
        qlonglong id = 0;
        if (!m_rows.nextId(id))
            return false;
        Bindings insert{{KvtSql::valuePlaceholder(QStringLiteral("ID")), id}, {KvtSql::valuePlaceholder(tabNo), fTabNo}};
        for (const auto &value : content)
            insert.append({KvtSql::valuePlaceholder(value.first.mid(KvtSql::testPrefix.size())), value.second});
        if (!m_rows.execInsert(m_run.statements().insert, insert))
            return false;
        m_map.add(tnHumans, source, RefId{0, id});
        return true;
    }
    case KvtRowMerge::ReferenceState::KeyTaken:
        break;
    }
    return settleTakenKey(tnHumans, source, content, false, QStringLiteral("TabNo"), fTabNo);
}

// A zone is written under its part type's destination identifier: DetTypeId translated,
// DetTypeZone = 100 * DetTypeId + ID. A part type the map does not know leaves the zone
// as it is.
bool KvtKeyMapStep::zone(const QString &fDetTypeZone, const QString &fID, const QString &fDetTypeId,
                         const QString &fName)
{
    const RefId source{fDetTypeId.toLongLong(), fID.toLongLong()};
    QString detTypeId = fDetTypeId;
    QString detTypeZone = fDetTypeZone;
    KvtReferenceMap::Target partType;
    if (m_map.lookUp(tnDetTypes, RefId{0, source.part}, partType) && partType.id.id != source.part) {
        detTypeId = QString::number(partType.id.id);
        detTypeZone = QString::number(100 * partType.id.id + source.id);
    }
    const RefId written{detTypeId.toLongLong(), source.id};
    // The zone as written, bound by the names of its described columns.
    const QHash<QString, QString> zone{{QStringLiteral("DetTypeZone"), detTypeZone},
                                       {QStringLiteral("ID"), fID},
                                       {QStringLiteral("DetTypeId"), detTypeId},
                                       {QStringLiteral("Name"), fName}};
    const KvtTable &zones = m_run.sql().description();
    Bindings tested;
    Bindings inserted;
    for (const QString &column : zones.columnNames()) {
        tested.append({KvtSql::testPlaceholder(column), zone.value(column)});
        inserted.append({KvtSql::valuePlaceholder(column), zone.value(column)});
    }
    const Placed placed = place(tnZones, source, written, tested,
                                {{KvtSql::testPlaceholder(zones.keyColumn()), detTypeZone}}, inserted);
    if (placed != Placed::KeyTaken)
        return placed == Placed::Mapped;
    // The operator sees, and a replacement writes, the zone under its translated part type.
    QString sourceSelect;
    if (detTypeZone != fDetTypeZone && KvtSqlName::isInteger(fDetTypeZone))
        sourceSelect = QStringLiteral("SELECT %1 AS DetTypeZone, ID, %2 AS DetTypeId, %3 FROM %4 WHERE DetTypeZone=%5")
                           .arg(detTypeZone, detTypeId,
                                KvtSql::Row::having(QString(), m_run.sourceKey().columns()).has(QStringLiteral("Name"))
                                    ? QStringLiteral("Name")
                                    : KvtSql::named(QStringLiteral("NULL"), QStringLiteral("Name")),
                                PSqlIdentifier::qualified(m_run.source, tbZONES), fDetTypeZone);
    return settleTakenKey(tnZones, source, {{KvtSql::testPlaceholder(QStringLiteral("Name")), fName}}, true,
                          QStringLiteral("DetTypeZone"), detTypeZone, sourceSelect, written.part);
}

// Reference records go through the decisions that feed the map; measurement rows are
// written translated and counted.
bool KvtKeyMapStep::mergeRecord(const Values &record)
{
    const KvtTableSql &sql = m_run.sql();
    const auto text = [&](const char *column) { return sql.text(record, QLatin1String(column)); };
    // The record's content without its key, for finding it under another key.
    Bindings content;
    for (const QString &column : KvtRelations::content(sql.table()))
        if (column != sql.description().keyColumn())
            content.append({KvtSql::testPlaceholder(column), sql.text(record, column)});
    switch (sql.table()) {
    case tnDefects:
    case tnGraphics:
        return measurementRow(record);
    case tnDefectRef:
    case tnDetTypes:
    case tnResults:
    case tnDevice:
        return simpleReference(sql.table(), text("ID"), content, record);
    case tnHumans:
        return human(text("ID"), content, text("TabNo"));
    case tnZones:
        return zone(text("DetTypeZone"), text("ID"), text("DetTypeId"), text("Name"));
    case tnFactory:
        break;
    }
    return m_rows.mergePlain(record);
}

// The plain merge of the translated row, counted when it was inserted.
bool KvtKeyMapStep::measurementRow(const Values &record)
{
    const Values translated = translatedRecord(record);
    const qint64 before = m_run.counts().inserted;
    const bool merged = m_rows.mergePlain(translated);
    if (m_run.counts().inserted > before)
        countRow(translated);
    return merged;
}

// The record with its references translated through the map. NULL stays NULL; an
// identifier the map does not know (a record missing from the row's own source) stays.
KvtKeyMapStep::Values KvtKeyMapStep::translatedRecord(const Values &record)
{
    const QStringList columns = m_run.sql().copiedColumns();
    Values values = record;
    m_rowTranslated = false;
    m_rowMismatches.clear();
    // The translated DetTypeId, which the row's zone must belong to.
    const int partAt = columns.indexOf(QStringLiteral("DetTypeId"));
    const qint64 sourcePart = partAt < 0 ? 0 : record.value(partAt).toLongLong();
    qint64 partType = sourcePart;
    for (int i = 0; i < m_relations.size(); ++i) {
        const KvtRelation &r = m_relations.at(i);
        const int at = m_positions.at(i);
        const QString value = record.value(at).toString();
        if (value.isNull())
            continue;
        bool numeric = false;
        const qint64 id = value.toLongLong(&numeric);
        KvtReferenceMap::Target target;
        if (!numeric || !m_map.lookUp(r.target, RefId{r.withinPartType ? sourcePart : 0, id}, target)) {
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

void KvtKeyMapStep::countRow(const Values &values)
{
    if (m_rowTranslated)
        ++m_counts.translated;
    if (m_rowMismatches.isEmpty())
        return;
    ++m_counts.mismatched;
    for (const auto &mismatch : qAsConst(m_rowMismatches))
        m_report.logMismatch(m_run, m_run.sql().table(), tr("inserted row %1").arg(m_counts.mismatched),
                             m_relations.at(mismatch.first).column,
                             values.value(m_positions.at(mismatch.first)).toString(), mismatch.second);
}
