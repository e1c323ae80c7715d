#include "PExportTableToCSV.h"
#include "PMD5.h"
#include "PSingleRun.h"
#include "PVigenereCrypt.h"

#include <QApplication>
#include <QFile>
#include <QStandardItemModel>
#include <QTableView>

#include <algorithm>
#include <cstdio>

// Usage: pelmora0_consumer FILE.csv
// Writes a two-row table to FILE.csv (UTF-8, ";" separated) and prints
// "<md5>  FILE.csv". Exit status 0 on success, 1 when the file cannot be written.
int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("consumer.csv");

    QStandardItemModel model(0, 2);
    model.setHorizontalHeaderLabels({QStringLiteral("Part"), QStringLiteral("Count")});
    model.appendRow({new QStandardItem(QStringLiteral("Axle")), new QStandardItem(QStringLiteral("2"))});
    model.appendRow({new QStandardItem(QStringLiteral("Wheel")), new QStandardItem(QStringLiteral("4"))});
    QTableView view;
    view.setModel(&model);

    PExportTableToCSV exporter(&view, path);
    exporter.setCodecFile(QStringLiteral("UTF-8"));
    exporter.setOfficeCompabilityMode(1); // only the file, no spreadsheet program
    if (!exporter.exportToCSV())
        return 1;

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray content = file.readAll();
    char digest[PMD5::digestTextSize];
    PMD5().GetMD5(content.constData(), static_cast<unsigned int>(content.size()), digest);
    std::printf("%s  %s\n", digest, argv[1] ? argv[1] : "consumer.csv");

    // The library's class constants bound to references, which needs their definitions.
    const int &letters = PVigenereCrypt::alphabetLetters;
    return std::max(PSingleRun::segmentSize, letters) == PSingleRun::segmentSize ? 0 : 1;
}
