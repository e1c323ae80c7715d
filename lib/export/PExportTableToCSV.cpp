#include "PExportTableToCSV.h"

#include "PAutomationFactory.h"
#include "PAutomationObject.h"
#include "PLocal8Bit.h"
#include "PLog.h"

#include <QFile>
#include <QProgressBar>
#include <QRegularExpression>
#include <QStringList>
#include <QTableView>
#include <QTextCodec>

namespace {

const QChar quote(QLatin1Char('"'));

// A text between double quotes; quotes inside it are doubled so that
// spreadsheet programs read the text back unchanged.
QString quoted(QString text)
{
    return quote + text.replace(quote, QStringLiteral("\"\"")) + quote;
}

} // namespace

PExportTableToCSV::PExportTableToCSV(QTableView *tableView, const QString &csvFileFullPathName)
    : m_tableView(tableView)
    , m_csvFileFullPathName(csvFileFullPathName)
{
}

void PExportTableToCSV::setCSVFileFullPathName(const QString &csvFileFullPathName)
{
    m_csvFileFullPathName = csvFileFullPathName;
}

void PExportTableToCSV::setCodecFile(const QString &codecName)
{
    m_codecName = codecName;
}

void PExportTableToCSV::setOfficeCompabilityMode(unsigned short mode)
{
    m_officeCompabilityMode = mode;
}

void PExportTableToCSV::setOfficeLang(unsigned short lang)
{
    m_officeLang = lang;
}

void PExportTableToCSV::openExcelAutomatically(bool open)
{
    m_openExcel = open;
}

bool PExportTableToCSV::exportToCSV(QProgressBar *progressBar)
{
    const QAbstractItemModel *model = m_tableView ? m_tableView->model() : nullptr;
    if (!model) {
        PLOG_WARN << "CSV export: no table model to export to" << m_csvFileFullPathName;
        return false;
    }
    if (progressBar) {
        progressBar->setVisible(true);
        progressBar->setMaximum(model->rowCount(QModelIndex()));
    }
    const bool written = writeFile(buildContent(*model, progressBar));
    if (written && m_officeCompabilityMode == 0 && m_openExcel)
        openInExcel();
    if (progressBar)
        progressBar->hide();
    return written;
}

QString PExportTableToCSV::separator() const
{
    return m_officeLang == 1 ? m_firstSeparator : m_secondSeparator;
}

// Header texts stand unquoted, each followed by the separator; line breaks
// become spaces. A text holding the separator or a quote is quoted so that it
// stays one column.
QString PExportTableToCSV::headerLine(const QAbstractItemModel &model, const QString &separator) const
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\n|\r"));
    QString line;
    for (int column = 0; column < model.columnCount(QModelIndex()); ++column) {
        QString text = model.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
        text.replace(lineBreak, QStringLiteral(" "));
        line += (text.contains(separator) || text.contains(quote) ? quoted(text) : text) + separator;
    }
    return line;
}

QString PExportTableToCSV::rowLine(const QAbstractItemModel &model, int row, const QString &separator) const
{
    QStringList cells;
    for (int column = 0; column < model.columnCount(QModelIndex()); ++column)
        cells.append(quoted(model.index(row, column).data(Qt::DisplayRole).toString()));
    return cells.join(separator);
}

QString PExportTableToCSV::buildContent(const QAbstractItemModel &model, QProgressBar *progressBar) const
{
    const QString separator = this->separator();
    QStringList lines{headerLine(model, separator)};
    for (int row = 0; row < model.rowCount(QModelIndex()); ++row) {
        lines.append(rowLine(model, row, separator));
        if (progressBar)
            progressBar->setValue(row);
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

bool PExportTableToCSV::writeFile(const QString &content)
{
    QFile file(m_csvFileFullPathName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        PLOG_WARN << "CSV export: cannot write" << m_csvFileFullPathName << ":" << file.errorString();
        return false;
    }
    const QByteArray codecName = m_codecName.isEmpty() ? QByteArray("CP1251") : m_codecName.toLatin1();
    QByteArray bytes;
    if (const QTextCodec *codec = QTextCodec::codecForName(codecName)) {
        bytes = codec->fromUnicode(content);
    } else {
        PLOG_WARN << "CSV export: unknown codec" << codecName << "- the default codec is used";
        bytes = PLocal8Bit::encode(content);
    }
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    file.close();
    if (!written)
        PLOG_WARN << "CSV export: writing" << m_csvFileFullPathName << "failed:" << file.errorString();
    return written;
}

// Starts Excel, shows it and opens the file in it; Excel then belongs to the user.
void PExportTableToCSV::openInExcel()
{
    PAutomationObject *excel = PAutomationFactory::create(QStringLiteral("Excel.Application"), this);
    if (!excel)
        return;
    excel->dynamicCall("SetVisible(bool)", true);
    PAutomationObject *workbooks = excel->querySubObject("Workbooks");
    if (workbooks)
        workbooks->querySubObject("Open(const QString&)", m_csvFileFullPathName);
    else
        PLOG_WARN << "CSV export: Excel gave no workbooks; cannot open" << m_csvFileFullPathName;
    delete workbooks;
    delete excel;
}
