#ifndef MERGEPREVIEW_H
#define MERGEPREVIEW_H

#include "KvtPreviewSql.h"
#include "MergeReport.h"

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QVariantList>
#include <QVector>

#include <atomic>

// A dry run of a merge: what merging the sources into the destination would do, per
// source and table, computed on the server with read-only SELECTs (KvtPreviewSql) on a
// connection of its own, a clone of Qt's default connection, which must be open.
//
// Sources are previewed one after another as if the earlier ones had been merged: a row
// of a later source that equals a row of an earlier one counts as present, a reference
// row whose key an earlier source brings counts as a conflict. The counts are exact for a
// merge in which no conflict is settled; a settled conflict can change what later rows
// meet. Equal rows of one source count once, as the merge copies them once.
//
//     MergePreview preview;
//     preview.setDestination(dest); preview.setSources(sources);
//     preview.start();   // or run() on the calling thread
//     ... finished(): preview.report(), preview.conflicts()
// One preview per object: a stop request holds for good.
class MergePreview : public QThread
{
    Q_OBJECT

public:
    // A reference row whose key the destination (or an earlier source, or an earlier
    // row of its own source) holds with other content.
    struct Conflict {
        QString source;
        kvtTableName table = tnDefectRef;
        QString key;
        QStringList columns;
        QVariantList sourceRecord;
        QVariantList destinationRecord;
        QString destinationOrigin; // the database holding the destination record
    };

    explicit MergePreview(QObject *parent = nullptr);
    ~MergePreview() override;

    void setDestination(const QString &destination) { m_destination = destination; }
    void setSources(const QStringList &sources) { m_sources = sources; }

    // Ends the preview at the next statement and cancels the one running. Call from the
    // thread that owns Qt's default connection (the GUI thread) or any thread when the
    // preview is not running there.
    void requestStop();
    bool stopRequested() const { return m_stop; }

    // Valid once the preview has ended: status Preview, Stopped or Failed (with errors).
    const MergeReport &report() const { return m_report; }
    const QVector<Conflict> &conflicts() const { return m_conflicts; }

    // Runs the preview on the calling thread (also the thread body).
    void run() override;

signals:
    // After each table: `done` of `total` table steps.
    void progressed(int done, int total);

private:
    bool openConnection();
    void closeConnection();
    bool previewSource(int position, const QVector<int> &earlier);
    bool previewMeasurement(int position, kvtTableName table, const KvtPreviewSql &sql);
    bool previewReference(int position, kvtTableName table, const KvtPreviewSql &sql,
                          const QVector<int> &earlier);
    bool findTakenRecords(const KvtPreviewSql &sql, const QVector<int> &earlier, int keyAt,
                          QVector<Conflict> &conflicts);
    bool copyOf(const QString &database, kvtTableName table, KvtPreviewSql::Copy &copy, bool &ordered);
    bool fail(const QSqlError &error);

    QString m_destination;
    QStringList m_sources;
    MergeReport m_report;
    QVector<Conflict> m_conflicts;
    int m_tablesDone = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<qulonglong> m_connectionId{0};
    const QString m_connectionName;
    QSqlDatabase m_db;
    // Columns, probe index and order of each database's table, read once.
    struct CopyInfo {
        KvtPreviewSql::Copy copy;
        bool ordered = false;
    };
    QHash<QString, CopyInfo> m_copies;
};

#endif // MERGEPREVIEW_H
