#include "BatchProgress.h"

#include <QTextStream>

namespace {

// A terminal redraw at most this often.
constexpr qint64 redrawIntervalMs = 200;

QString rate(int rows, double seconds)
{
    const double perSecond = seconds > 0.0 ? rows / seconds : 0.0;
    return QString::number(qRound64(perSecond));
}

} // namespace

BatchProgress::BatchProgress(QTextStream &stream, Style style)
    : m_stream(stream)
    , m_style(style)
{
}

void BatchProgress::stepStarted(const QString &source, const QString &step)
{
    endStep();
    m_source = source;
    const QString prefix = source + QLatin1Char('.');
    m_table = step.startsWith(prefix) ? step.mid(prefix.size()) : step;
    m_total = 0;
    m_handled = 0;
    m_inStep = true;
    m_stepClock.start();
    redraw(true);
}

void BatchProgress::stepSize(int rows)
{
    m_total = rows;
    redraw(false);
}

void BatchProgress::rowsHandled(int rows)
{
    m_handled = rows;
    redraw(false);
}

void BatchProgress::finish()
{
    endStep();
    if (m_style == Style::Updating && m_drawnWidth > 0) {
        m_stream << '\n';
        m_stream.flush();
        m_drawnWidth = 0;
    }
}

void BatchProgress::endStep()
{
    if (!m_inStep)
        return;
    m_inStep = false;
    const double seconds = m_stepClock.elapsed() / 1000.0;
    if (m_style == Style::Lines) {
        m_stream << stepLine(m_source, m_table, m_total, seconds) << '\n';
        m_stream.flush();
    } else if (m_style == Style::Updating) {
        m_handled = m_total;
        redraw(true);
    }
}

void BatchProgress::redraw(bool force)
{
    if (m_style != Style::Updating || !m_inStep)
        return;
    if (!force && m_drawClock.isValid() && m_drawClock.elapsed() < redrawIntervalMs)
        return;
    m_drawClock.start();
    const QString text = updatingText(m_source, m_table, m_handled, m_total,
                                      m_stepClock.elapsed() / 1000.0);
    // Back to the line's start, and blanks over what a longer text left.
    m_stream << '\r' << text << QString(qMax(0, m_drawnWidth - text.size()), QLatin1Char(' '));
    m_stream.flush();
    m_drawnWidth = text.size();
}

QString BatchProgress::updatingText(const QString &source, const QString &table, int handled,
                                    int total, double seconds)
{
    const int percent = total > 0 ? int(qMin<qint64>(100, qint64(handled) * 100 / total)) : 100;
    return QStringLiteral("%1  %2  %3%  %4 rows/s")
        .arg(source, table, QString::number(percent), rate(handled, seconds));
}

QString BatchProgress::stepLine(const QString &source, const QString &table, int rows,
                                double seconds)
{
    return QStringLiteral("%1.%2: %3 rows in %4 s, %5 rows/s")
        .arg(source, table, QString::number(rows), QString::number(seconds, 'f', 1),
             rate(rows, seconds));
}
