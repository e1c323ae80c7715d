#ifndef DLGMERGEPREVIEW_H
#define DLGMERGEPREVIEW_H

#include <QDialog>
#include <QString>
#include <QStringList>

#include <memory>

class MergePreview;
class QStandardItemModel;
class QTableView;

namespace Ui {
class dlgMergePreview;
}

// Shows what a merge would do before anything is written: per source and table the rows,
// the rows to insert, the rows already present and the conflicts (tvPreview), and each
// conflict with both records (tvConflicts). The preview runs on a thread of its own with
// a progress bar and a Cancel button; the visible table can be exported, and the merge
// started from here (mergeRequested()).
class dlgMergePreview : public QDialog
{
    Q_OBJECT

public:
    explicit dlgMergePreview(QWidget *parent = nullptr);
    ~dlgMergePreview() override;

    // Starts the preview of merging the sources into the destination; an unfinished
    // earlier preview is stopped first.
    void startPreview(const QString &destination, const QStringList &sources);
    bool isComputing() const;
    // The last preview; null before the first.
    const MergePreview *preview() const { return m_preview.get(); }

signals:
    // The operator wants the merge started; the dialog has closed.
    void mergeRequested();
    // The preview has ended (complete, cancelled or failed) and the views are filled.
    void previewEnded();

public slots:
    void cancelPreview();
    // Stops a running preview before the dialog closes.
    void reject() override;

private slots:
    void showProgress(int done, int total);
    void showResults();
    void exportCsv();
    void exportExcel();
    void mergeFromPreview();

private:
    void stopPreview();
    void setComputing(bool computing);
    void showMisattributed(qint64 rows);
    QTableView *visibleView() const;

    Ui::dlgMergePreview *m_ui;
    std::unique_ptr<MergePreview> m_preview;
    QStandardItemModel *m_tables;
    QStandardItemModel *m_conflicts;
};

#endif // DLGMERGEPREVIEW_H
