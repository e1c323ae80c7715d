// GridDelegate: the row-separator drawing of the comparison grids and its line-edit editing.
#include "gridDelegate.h"

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QStandardItemModel>
#include <QTest>

class tst_GridDelegate : public QObject
{
    Q_OBJECT

private slots:
    void paintsBottomSeparatorOnly_data();
    void paintsBottomSeparatorOnly();
    void editsThroughLineEdit();

private:
    static bool isGray(QRgb pixel) { return QColor(pixel) == QColor(Qt::gray); }
};

void tst_GridDelegate::paintsBottomSeparatorOnly_data()
{
    QTest::addColumn<bool>("selected");
    QTest::newRow("plain") << false;
    QTest::newRow("selected") << true;
}

void tst_GridDelegate::paintsBottomSeparatorOnly()
{
    QFETCH(bool, selected);
    QStandardItemModel model(1, 1);
    model.setData(model.index(0, 0), QStringLiteral("WWWW"));
    GridDelegate delegate;
    QImage image(120, 30, QImage::Format_RGB32);
    image.fill(Qt::white);

    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 120, 30);
    option.state = QStyle::State_Enabled | QStyle::State_Active;
    if (selected)
        option.state |= QStyle::State_Selected;
    option.palette.setColor(QPalette::Highlight, QColor(10, 20, 200));
    {
        QPainter painter(&image);
        delegate.paint(&painter, option, model.index(0, 0));
    }

    // A gray separator along the whole bottom edge.
    for (int x : {1, 60, 118})
        QVERIFY2(isGray(image.pixel(x, 29)) || isGray(image.pixel(x, 28)), qPrintable(QString::number(x)));
    // No vertical line at either side, well above the separator.
    QVERIFY(!isGray(image.pixel(0, 10)));
    QVERIFY(!isGray(image.pixel(119, 10)));
    // The text is drawn, and a selected cell gets the highlight background.
    bool dark = false;
    for (int x = 0; x < 60 && !dark; ++x) {
        for (int y = 2; y < 26 && !dark; ++y)
            dark = qGray(image.pixel(x, y)) < 128 && QColor(image.pixel(x, y)) != QColor(10, 20, 200);
    }
    QVERIFY(dark || selected);
    QCOMPARE(QColor(image.pixel(110, 10)) == QColor(10, 20, 200), selected);
}

void tst_GridDelegate::editsThroughLineEdit()
{
    QStandardItemModel model(1, 1);
    model.setData(model.index(0, 0), QStringLiteral("before"));
    GridDelegate delegate;
    QWidget parent;
    QStyleOptionViewItem option;
    option.rect = QRect(5, 6, 70, 20);

    QWidget *editor = delegate.createEditor(&parent, option, model.index(0, 0));
    auto *edit = qobject_cast<QLineEdit *>(editor);
    QVERIFY(edit);
    QCOMPARE(edit->parentWidget(), &parent);
    QVERIFY(!delegate.isEditingMode());

    delegate.setEditorData(edit, model.index(0, 0));
    QCOMPARE(edit->text(), QStringLiteral("before"));
    QVERIFY(delegate.isEditingMode());

    delegate.updateEditorGeometry(edit, option, model.index(0, 0));
    QCOMPARE(edit->geometry(), option.rect);

    edit->setText(QStringLiteral("after"));
    delegate.setModelData(edit, &model, model.index(0, 0));
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("after"));
    QVERIFY(!delegate.isEditingMode());
}

QTEST_MAIN(tst_GridDelegate)
#include "tst_gridDelegate.moc"
