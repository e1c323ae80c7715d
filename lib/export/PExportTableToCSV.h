#ifndef PEXPORTTABLETOCSV_H
#define PEXPORTTABLETOCSV_H

#include "pelmora0_global.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QAbstractItemModel;
class QProgressBar;
class QTableView;

// Writes the model of a table view to a CSV file for spreadsheet programs:
// a header line from the horizontal header, then one line per row with every
// cell in double quotes. In office compatibility mode 0 the file can be opened
// in the spreadsheet application afterwards.
class PELMORA0_EXPORT PExportTableToCSV : public QObject
{
    Q_OBJECT
public:
    PExportTableToCSV(QTableView *tableView, const QString &csvFileFullPathName);

    void setCSVFileFullPathName(const QString &csvFileFullPathName);
    QString getCSVFilePathFullName() const { return m_csvFileFullPathName; }
    // Name of the file's encoding; empty selects CP1251.
    void setCodecFile(const QString &codecName);
    // 0 is the Excel mode; any other value turns opening the file in Excel off.
    void setOfficeCompabilityMode(unsigned short mode);
    unsigned short getOfficeCompability() const { return m_officeCompabilityMode; }
    // 1 separates with ";", any other value with ",".
    void setOfficeLang(unsigned short lang);
    unsigned short getOfficeLang() const { return m_officeLang; }
    void openExcelAutomatically(bool open);
    bool isOpenExcelAutomatically() const { return m_openExcel; }

    // Writes the whole file anew; the progress bar, if given, follows the rows.
    // Returns false (logged) when the file could not be written; Excel is then not started.
    bool exportToCSV(QProgressBar *progressBar = nullptr);

private:
    QString separator() const;
    QString headerLine(const QAbstractItemModel &model, const QString &separator) const;
    QString rowLine(const QAbstractItemModel &model, int row, const QString &separator) const;
    QString buildContent(const QAbstractItemModel &model, QProgressBar *progressBar) const;
    bool writeFile(const QString &content);
    void openInExcel();

    QPointer<QTableView> m_tableView;
    QString m_csvFileFullPathName;
    QString m_codecName;
    unsigned short m_officeCompabilityMode = 0;
    unsigned short m_officeLang = 1;
    QString m_firstSeparator = QStringLiteral(";");
    QString m_secondSeparator = QStringLiteral(",");
    bool m_openExcel = false;
};

#endif // PEXPORTTABLETOCSV_H
