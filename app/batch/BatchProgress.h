#ifndef BATCHPROGRESS_H
#define BATCHPROGRESS_H

#include <QElapsedTimer>
#include <QString>

class QTextStream;

// Progress lines of a batch run, fed from the merge worker's signals. On a terminal one
// line is redrawn in place (source, table, percentage, rows per second); elsewhere (a
// log, a pipe, the journal of a timer) each finished table step gets a line of its own.
class BatchProgress
{
public:
    enum class Style { Silent, Updating, Lines };

    BatchProgress(QTextStream &stream, Style style);

    // A table step begins; `step` is the worker's status text, "<source>.<table>".
    void stepStarted(const QString &source, const QString &step);
    // The step's source table has this many rows.
    void stepSize(int rows);
    // Rows of the step handled so far.
    void rowsHandled(int rows);
    // The last step has ended (the run is over, stopped or failed).
    void finish();

    // "<source>  <table>  <percent>%  <rate> rows/s" and the per-step line; public for tests.
    static QString updatingText(const QString &source, const QString &table, int handled,
                                int total, double seconds);
    static QString stepLine(const QString &source, const QString &table, int rows,
                            double seconds);

private:
    void endStep();
    void redraw(bool force);

    QTextStream &m_stream;
    Style m_style;
    QString m_source;
    QString m_table;
    int m_total = 0;
    int m_handled = 0;
    bool m_inStep = false;
    int m_drawnWidth = 0;
    QElapsedTimer m_stepClock;
    QElapsedTimer m_drawClock;
};

#endif // BATCHPROGRESS_H
