#ifndef MAINWIN_H
#define MAINWIN_H

#include <QMainWindow>
#include <QVector>

class QCloseEvent;
class QEvent;
class QLabel;
class QLineEdit;

namespace Ui {
class MainWin;
}

// The program's only main window (Part 1.1). Built in fixed steps after setupUi:
// createNecessaryObjects, initWidgets, initSlotSignal.
// The members and slots of Parts 1.2 and 1.3 (SQL helpers, worker, conflict dialog,
// state machine, completer, connection and merge slots) join as those Parts land.
class MainWin : public QMainWindow
{
    Q_OBJECT

public:
    // Modes of the size rule: idle (fields x 20 + 260) and merging, with the progress bar
    // shown (fields x 25 + 270). The width is always 350.
    enum mwSize {
        mwsIdle = 0,
        mwsMerging = 1
    };
    Q_ENUM(mwSize)

    explicit MainWin(QWidget *parent = nullptr);
    ~MainWin() override;

public slots:
    void initWidgets();
    void createNecessaryObjects();
    void initSlotSignal(QWidget *parent);
    // Fills the driver box and selects current_driver (empty: SQLDRIVER) when listed.
    void initDBDriverList(QString current_driver);
    // Fixes the window at 350 x (source fields x row height + base) for the mode;
    // any other mode changes nothing.
    void setMainWinSize(mwSize mode);

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

    // True while a merge runs; a close request is then ignored. There is no merge worker
    // yet, so no merge can run: false. Becomes the worker thread's isRunning() (Part 1.3).
    virtual bool mergeIsRunning() const;

    // Replaces the source fields by `count` empty ones, "edTableSource_1".., added in order
    // to layoutTableSource below label_2, and fixes the idle size. Nothing for 0.
    // Part 1.2 turns this into the slot createTableSource(int) (giving each field the
    // completer too).
    void buildTableSource(int count);

private:
    // Makes the form fit the fixed sizes of the size rule (see mainwin.cpp).
    void fitFormToFixedSize();

    Ui::MainWin *ui;
    QLabel *lbStatus;
    QVector<QLineEdit *> tableSource;
};

#endif // MAINWIN_H
