#ifndef KVTTABLES_H
#define KVTTABLES_H

#include "global_vars.h"

#include <QFlags>
#include <QString>
#include <QStringList>
#include <QVector>

// The one description of the nine tables a merge copies. Every statement of the worker,
// the chunked copy and the conflict dialogs, the worker's read lists and bindings and the
// dialogs' grids are built from it: a new column or table is described here and nowhere
// else.

// What a column takes part in.
enum class ColumnRole {
    None = 0,
    Key = 1,    // identifies a reference record; a free key lets the source record in
    Same = 2,   // two records equal in every Same column are the same record
    Copied = 4  // written from the source record when it is inserted
};
Q_DECLARE_FLAGS(ColumnRoles, ColumnRole)
Q_DECLARE_OPERATORS_FOR_FLAGS(ColumnRoles)

// How an inserted record gets its identifier (column ID) when ID is not copied.
enum class IdRule {
    FromSource,  // ID is a Copied column: the record keeps the source's ID
    Generated,   // the destination's counter numbers it; ID is not written
    NextAfterMax // the destination's largest ID plus 1 (a person)
};

// How a column of the comparison dialog's grids is sized.
enum class ColumnWidth { Fixed, Stretch, Interactive };

// A column header, translated where it is shown: QCoreApplication::translate(context,
// text.source, text.comment); without a context the text is shown as it is. text is what
// QT_TRANSLATE_NOOP3 gives.
struct KvtCaption
{
    struct Text
    {
        const char *source = nullptr;
        const char *comment = nullptr;
    };
    const char *context = nullptr;
    Text text;
};

// The reference record a measurement column names by its identifier (KvtRelations).
struct KvtReference
{
    bool any = false;
    kvtTableName target = tnDefects;
    // ZoneID: the zone is found by the row's part type (DetTypeId) and this number.
    bool withinPartType = false;
};

struct KvtColumn
{
    QString name;
    ColumnRoles roles;
    bool binary = false; // read and bound as bytes, not as text
    KvtCaption caption;
    ColumnWidth width = ColumnWidth::Interactive;
    KvtReference refers;

    bool has(ColumnRole role) const { return roles.testFlag(role); }
};

struct KvtTable
{
    kvtTableName id = tnDefects;
    QString name;
    // Reference tables: the columns a conflict shows, in the grids' order. Measurement
    // tables: the copied columns, in the order of the per-row insert's values.
    QVector<KvtColumn> columns;
    IdRule idRule = IdRule::Generated;
    // The log line when the worker starts reading the table (context KvtMerger).
    const char *processMessage = nullptr;

    // The nine tables in the order a source database is merged: defects, graphics,
    // defectref, dettypes, device, factory, results, humans, zones.
    static const QVector<KvtTable> &all();
    static const KvtTable &of(kvtTableName table);
    // Null when no merged table has this name.
    static const KvtTable *find(const QString &name);

    // Measurement tables (defects, graphics) have no key and never conflict.
    bool isReference() const { return !keyColumn().isEmpty(); }
    QString keyColumn() const;
    QStringList columnNames() const;
    QStringList columnsWith(ColumnRole role) const;
    // Position in columns; -1 when absent.
    int indexOf(const QString &column) const;

    // Written when a record is inserted: ID first when the merge numbers it, then the
    // Copied columns.
    QStringList insertedColumns() const;
    // What the destination record takes from the source record when it is replaced:
    // the Copied columns but the key.
    QStringList replacedColumns() const;
};

// A table of a KVT database that the merge does not copy, with its columns that name
// records of the merged reference tables (as KvtColumn::refers). The undo counts its rows
// among those that may hold a record back, where the destination has the table.
struct KvtOtherTable
{
    QString name;
    QVector<KvtColumn> columns;

    // quart (DetTypeId), statvib (Device), defects_tmp (DefectID).
    static const QVector<KvtOtherTable> &all();
};

#endif // KVTTABLES_H
