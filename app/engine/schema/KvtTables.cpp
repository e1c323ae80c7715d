#include "KvtTables.h"

#include <QtGlobal>

namespace {

using Role = ColumnRole;
using Width = ColumnWidth;

const ColumnRoles sameCopied = ColumnRoles(Role::Same) | Role::Copied;
const ColumnRoles keySameCopied = sameCopied | Role::Key;

const char *const dialog = "dlgDiffRecordsCompare";
const char *const object = "QObject";

KvtColumn column(const char *name, ColumnRoles roles, KvtCaption caption = {}, Width width = Width::Interactive)
{
    return {QLatin1String(name), roles, false, caption, width, {}};
}

// A measurement column: Copied, and Same unless listed as copied only.
QVector<KvtColumn> measurementColumns(std::initializer_list<const char *> names,
                                      std::initializer_list<const char *> copiedOnly)
{
    QVector<KvtColumn> columns;
    for (const char *name : names) {
        bool onlyCopied = false;
        for (const char *other : copiedOnly)
            onlyCopied = onlyCopied || qstrcmp(name, other) == 0;
        columns << column(name, onlyCopied ? ColumnRoles(Role::Copied) : sameCopied);
    }
    return columns;
}

// defectref, dettypes and results: key ID, the record keeps its source ID.
KvtTable shortNameTable(kvtTableName id, const QString &name, const char *processMessage)
{
    return {id, name,
            {column("ID", keySameCopied, {nullptr, {"ID"}}, Width::Fixed),
             column("Short", sameCopied, {dialog, {QT_TRANSLATE_NOOP("dlgDiffRecordsCompare", "Abbreviation")}},
                    Width::Fixed),
             column("Name", sameCopied, {dialog, {QT_TRANSLATE_NOOP("dlgDiffRecordsCompare", "Full name")}},
                    Width::Stretch)},
            IdRule::FromSource, processMessage};
}

// The measurement columns that name reference records.
void addReferences(QVector<KvtColumn> &columns)
{
    const struct
    {
        const char *column;
        kvtTableName target;
    } references[] = {{"DefectoscopistID", tnHumans}, {"DetTypeId", tnDetTypes}, {"Result", tnResults},
                      {"DefectID", tnDefectRef},       {"Device", tnDevice},        {"ZoneID", tnZones}};
    for (KvtColumn &c : columns)
        for (const auto &r : references)
            if (c.name == QLatin1String(r.column))
                c.refers = {true, r.target, r.target == tnZones};
}

KvtOtherTable otherTable(const char *name, std::initializer_list<const char *> names)
{
    KvtOtherTable table{QLatin1String(name), {}};
    for (const char *c : names)
        table.columns << column(c, Role::None);
    addReferences(table.columns);
    return table;
}

QVector<KvtTable> makeTables()
{
    QVector<KvtTable> tables;

    KvtTable defects{tnDefects, QStringLiteral("defects"),
                     measurementColumns({"MyId", "Date", "DefectoscopistID", "VagNo", "DetTypeId", "DetNo",
                                         "DetParameter", "DefectNo", "ZavNo", "ProdYear", "Time", "ZoneID",
                                         "Result", "DefectID", "DefectSize", "Amplitude", "Printed", "CRC32",
                                         "Device", "Errors"},
                                        {"Printed", "CRC32", "Errors"}),
                     IdRule::Generated, QT_TRANSLATE_NOOP("KvtMerger", "table \"defects\" in process")};
    addReferences(defects.columns);
    tables << defects;

    KvtTable graphics{tnGraphics, QStringLiteral("graphics"),
                      measurementColumns({"VagNo", "DetNo", "ZavNo", "ProdYear", "Date", "DefectoscopistID",
                                          "DetTypeId", "Time", "DataType", "FieldType", "GradientType",
                                          "CountType", "CRC32", "Graphic", "Device", "Picture", "DetParameter",
                                          "DataId", "Synced", "Errors"},
                                         {"DataType", "FieldType", "GradientType", "CountType", "CRC32",
                                          "Picture", "Synced", "Errors"}),
                      IdRule::Generated, QT_TRANSLATE_NOOP("KvtMerger", "table \"graphic\" in process")};
    for (KvtColumn &c : graphics.columns)
        c.binary = c.name == QLatin1String("Graphic");
    addReferences(graphics.columns);
    tables << graphics;

    tables << shortNameTable(tnDefectRef, QStringLiteral("defectref"), QT_TRANSLATE_NOOP("KvtMerger", "table \"defectref\" in process"));
    tables << shortNameTable(tnDetTypes, QStringLiteral("dettypes"), QT_TRANSLATE_NOOP("KvtMerger", "table \"dettypes\" in process"));

    tables << KvtTable{tnDevice, QStringLiteral("device"),
                       {column("ID", keySameCopied, {object, {QT_TRANSLATE_NOOP("QObject", "ID")}}, Width::Fixed),
                        column("Name", sameCopied, {object, {QT_TRANSLATE_NOOP("QObject", "Name")}}, Width::Stretch)},
                       IdRule::FromSource, QT_TRANSLATE_NOOP("KvtMerger", "table \"device\" in process")};

    // Key Cod; the destination numbers a new factory itself.
    tables << KvtTable{tnFactory, QStringLiteral("factory"),
                       {column("ID", Role::None, {nullptr, {"ID"}}, Width::Fixed),
                        column("Cod", keySameCopied, {dialog, {QT_TRANSLATE_NOOP("dlgDiffRecordsCompare", "Code")}},
                               Width::Fixed),
                        column("Short", sameCopied,
                               {dialog, {QT_TRANSLATE_NOOP("dlgDiffRecordsCompare", "Abbreviation")}}, Width::Fixed),
                        column("Name", sameCopied, {dialog, {QT_TRANSLATE_NOOP("dlgDiffRecordsCompare", "Full name")}},
                               Width::Stretch)},
                       IdRule::Generated, QT_TRANSLATE_NOOP("KvtMerger", "table \"factory\" in process")};

    tables << shortNameTable(tnResults, QStringLiteral("results"), QT_TRANSLATE_NOOP("KvtMerger", "table \"results\" in process"));

    // Key TabNo (the personnel number); a new person gets the largest ID plus 1. A
    // person's full name is worded apart from the full name of a reference entry.
    tables << KvtTable{
        tnHumans, QStringLiteral("humans"),
        {column("ID", Role::None, {nullptr, {"ID"}}, Width::Fixed),
         column("Famname", sameCopied, {dialog, {QT_TRANSLATE_NOOP("dlgDiffRecordsCompare", "Surname")}}, Width::Stretch),
         column("FstName", sameCopied, {dialog, {QT_TRANSLATE_NOOP("dlgDiffRecordsCompare", "Name")}}, Width::Stretch),
         column("SecName", sameCopied, {dialog, {QT_TRANSLATE_NOOP("dlgDiffRecordsCompare", "Patronymic")}},
                Width::Stretch),
         column("FullName", sameCopied, {dialog, QT_TRANSLATE_NOOP3("dlgDiffRecordsCompare", "Full name", "person")}),
         column("TabNo", keySameCopied, {dialog, {QT_TRANSLATE_NOOP("dlgDiffRecordsCompare", "Tab. No")}}, Width::Fixed)},
        IdRule::NextAfterMax, QT_TRANSLATE_NOOP("KvtMerger", "table \"human\" in process")};

    // Key DetTypeZone (the part type's ID times 100 plus the zone's number); the record
    // keeps all four source values.
    tables << KvtTable{tnZones, QStringLiteral("zones"),
                       {column("DetTypeZone", keySameCopied, {object, {QT_TRANSLATE_NOOP("QObject", "DetTypeZone")}},
                               Width::Fixed),
                        column("ID", sameCopied, {nullptr, {"ID"}}, Width::Fixed),
                        column("DetTypeId", sameCopied, {object, {QT_TRANSLATE_NOOP("QObject", "DetTypeId")}},
                               Width::Fixed),
                        column("Name", sameCopied, {object, {QT_TRANSLATE_NOOP("QObject", "Zone")}}, Width::Stretch)},
                       IdRule::FromSource, QT_TRANSLATE_NOOP("KvtMerger", "table \"zones\" in process")};
    // A zone belongs to a part type.
    addReferences(tables.last().columns);
    return tables;
}

} // namespace

const QVector<KvtTable> &KvtTable::all()
{
    static const QVector<KvtTable> tables = makeTables();
    return tables;
}

const KvtTable &KvtTable::of(kvtTableName table)
{
    for (const KvtTable &t : all())
        if (t.id == table)
            return t;
    Q_UNREACHABLE();
}

const KvtTable *KvtTable::find(const QString &name)
{
    for (const KvtTable &t : all())
        if (t.name == name)
            return &t;
    return nullptr;
}

const QVector<KvtOtherTable> &KvtOtherTable::all()
{
    static const QVector<KvtOtherTable> tables{otherTable("quart", {"DetTypeId"}), otherTable("statvib", {"Device"}),
                                               otherTable("defects_tmp", {"DefectID"})};
    return tables;
}

QString KvtTable::keyColumn() const
{
    const QStringList keys = columnsWith(ColumnRole::Key);
    return keys.isEmpty() ? QString() : keys.first();
}

QStringList KvtTable::columnNames() const
{
    QStringList names;
    for (const KvtColumn &c : columns)
        names << c.name;
    return names;
}

QStringList KvtTable::columnsWith(ColumnRole role) const
{
    QStringList names;
    for (const KvtColumn &c : columns)
        if (c.has(role))
            names << c.name;
    return names;
}

int KvtTable::indexOf(const QString &column) const
{
    return columnNames().indexOf(column);
}

QStringList KvtTable::insertedColumns() const
{
    QStringList names = columnsWith(ColumnRole::Copied);
    if (idRule == IdRule::NextAfterMax)
        names.prepend(QStringLiteral("ID"));
    return names;
}

QStringList KvtTable::replacedColumns() const
{
    QStringList names = columnsWith(ColumnRole::Copied);
    names.removeAll(keyColumn());
    return names;
}
