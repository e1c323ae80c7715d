#include "PSingleton.h"
#include "PWindowService.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPointer>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

class tst_WindowService : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void singletonIsOneObject();
    void centre_data();
    void centre();
    void centreOfShownWindow();
    void maximized();
    void flags();
    void iconFromFile();
    void missingIconGivesNoIcon();
    void widgetParameters();
    void widgetDeleteOnCloseDestroys();
    void dialogWithoutRunReturnsModalHidden();
    void dialogWithRunReturnsAfterClose();
    void dialogRunAndDeleteOnClose();
    void nullPointersIgnored();

private:
    static QPoint expectedTopLeft(const QSize &size);
    static void flushDeferredDeletes();

    QTemporaryDir m_dir;
    QString m_icon;
    PWindowService m_service;
};

void tst_WindowService::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_icon = m_dir.filePath(QStringLiteral("icon.png"));
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(m_icon));
    QVERIFY(QGuiApplication::primaryScreen());
}

// The Part's integer arithmetic: the centre of the available area is
// ((left + right) / 2, (top + bottom) / 2), right and bottom being the last pixels inside;
// the window's centre, by the same rule, is put on it.
QPoint tst_WindowService::expectedTopLeft(const QSize &size)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const int cx = (area.left() + area.right()) / 2;
    const int cy = (area.top() + area.bottom()) / 2;
    return QPoint(cx - (size.width() - 1) / 2, cy - (size.height() - 1) / 2);
}

void tst_WindowService::flushDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

void tst_WindowService::singletonIsOneObject()
{
    PWindowService *first = PSingleton<PWindowService>::instance();
    QVERIFY(first);
    QCOMPARE(PSingleton<PWindowService>::instance(), first);
}

void tst_WindowService::centre_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("main window 350x280") << QSize(350, 280);
    QTest::newRow("odd 351x281") << QSize(351, 281);
    QTest::newRow("one pixel") << QSize(1, 1);
    QTest::newRow("ten fields 350x460") << QSize(350, 460);
}

void tst_WindowService::centre()
{
    QFETCH(QSize, size);
    QWidget window;
    window.setFixedSize(size);
    m_service.setWindowCenter(&window);
    QCOMPARE(window.geometry().size(), size);
    QCOMPARE(window.geometry().topLeft(), expectedTopLeft(size));
    // The Part's worked example, when the platform's available area is that one
    // (e.g. run under Xvfb with a 1920x1040 screen and no panel).
    if (QGuiApplication::primaryScreen()->availableGeometry() == QRect(0, 0, 1920, 1040)
        && size == QSize(350, 280))
        QCOMPARE(window.geometry().topLeft(), QPoint(785, 380));
}

void tst_WindowService::centreOfShownWindow()
{
    QWidget window;
    window.setFixedSize(350, 280);
    m_service.setDlgParameters(&window, m_icon, false, true);
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.geometry(), QRect(expectedTopLeft(QSize(350, 280)), QSize(350, 280)));
}

void tst_WindowService::maximized()
{
    QWidget window;
    m_service.setWindowMaximized(&window);
    QCOMPARE(int(window.windowState()), 2);
}

void tst_WindowService::flags()
{
    // Each operation sets exactly the Part's value, replacing all earlier flags. Qt then
    // completes what a top-level window reports (window type; title hint, and the default
    // buttons when no title-bar hint is given), so compare with a fresh widget given the
    // bare value, after starting from other flags (minimise and maximise buttons).
    const struct {
        void (PWindowService::*operation)(QWidget *);
        int value;
    } cases[] = {
        {&PWindowService::setWindowStayOnTop, 0x40000},
        {&PWindowService::setWindowFixed, 0x2000},
        {&PWindowService::setWindowFixedCloseOnlyStayOnTop, 0x42100},
    };
    for (const auto &c : cases) {
        QWidget window;
        window.setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowContextHelpButtonHint);
        (m_service.*c.operation)(&window);
        QWidget reference;
        reference.setWindowFlags(Qt::WindowFlags(c.value));
        QCOMPARE(int(window.windowFlags()), int(reference.windowFlags()));
        QCOMPARE(int(window.windowFlags() & c.value), c.value);
        QVERIFY(!(window.windowFlags() & Qt::WindowContextHelpButtonHint));
    }
    QCOMPARE(int(Qt::WindowStaysOnTopHint), 0x40000);
    QCOMPARE(int(Qt::WindowSystemMenuHint), 0x2000);
    QCOMPARE(int(Qt::MSWindowsFixedSizeDialogHint | Qt::WindowSystemMenuHint | Qt::WindowStaysOnTopHint), 0x42100);

    // With a title-bar hint among the flags Qt adds no buttons: the earlier minimise and
    // maximise hints are gone.
    QWidget fixed;
    fixed.setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint);
    m_service.setWindowFixed(&fixed);
    QVERIFY(!(fixed.windowFlags() & Qt::WindowMinMaxButtonsHint));
    m_service.setWindowFixedCloseOnlyStayOnTop(&fixed);
    QVERIFY(!(fixed.windowFlags() & Qt::WindowMinMaxButtonsHint));
    QVERIFY(fixed.windowFlags() & Qt::MSWindowsFixedSizeDialogHint);
}

void tst_WindowService::iconFromFile()
{
    QWidget window;
    m_service.setWindowIcon(m_icon.toUtf8().constData(), &window);
    QVERIFY(!window.windowIcon().isNull());
    QCOMPARE(window.windowIcon().pixmap(32, 32).toImage().pixelColor(5, 5), QColor(Qt::red));

    // A path outside ASCII makes the round trip through UTF-8 unharmed.
    const QString unicode = m_dir.filePath(QStringLiteral("значок.png"));
    QVERIFY(QFile::copy(m_icon, unicode));
    QWidget other;
    m_service.setDlgParameters(&other, unicode, false, false);
    QVERIFY(!other.windowIcon().isNull());
}

void tst_WindowService::missingIconGivesNoIcon()
{
    QWidget window;
    m_service.setWindowIcon(m_dir.filePath(QStringLiteral("missing.ico")).toUtf8().constData(), &window);
    QVERIFY(window.windowIcon().pixmap(32, 32).isNull());
}

void tst_WindowService::widgetParameters()
{
    QWidget window;
    window.setFixedSize(350, 280);
    m_service.setDlgParameters(&window, m_icon, false, false);
    QCOMPARE(window.geometry().topLeft(), expectedTopLeft(window.size()));
    QVERIFY(!window.windowIcon().isNull());
    QVERIFY(!window.testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(!window.isVisible());

    m_service.setDlgParameters(&window, m_icon, false, true);
    QVERIFY(window.isVisible());
}

void tst_WindowService::widgetDeleteOnCloseDestroys()
{
    QPointer<QWidget> window = new QWidget;
    window->setFixedSize(200, 100);
    m_service.setDlgParameters(window.data(), m_icon, true, true);
    QVERIFY(window->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(window->isVisible());
    QVERIFY(window->close());
    flushDeferredDeletes();
    QVERIFY(window.isNull());
}

void tst_WindowService::dialogWithoutRunReturnsModalHidden()
{
    QDialog dialog;
    dialog.resize(300, 200);
    QElapsedTimer clock;
    clock.start();
    m_service.setDlgParameters(&dialog, m_icon, false, false);
    QVERIFY(clock.elapsed() < 1000);
    QVERIFY(dialog.isModal());
    QVERIFY(!dialog.isVisible());
    QVERIFY(!dialog.testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(!dialog.windowIcon().isNull());
    QCOMPARE(dialog.geometry().topLeft(), expectedTopLeft(QSize(300, 200)));
}

void tst_WindowService::dialogWithRunReturnsAfterClose()
{
    QDialog dialog;
    bool wasVisibleWhenClosed = false;
    bool closedByTimer = false;
    QTimer::singleShot(100, &dialog, [&] {
        wasVisibleWhenClosed = dialog.isVisible();
        closedByTimer = true;
        dialog.accept();
    });
    m_service.setDlgParameters(&dialog, m_icon, false, true);
    QVERIFY(closedByTimer); // returned only after the timer had closed it
    QVERIFY(wasVisibleWhenClosed);
    QVERIFY(dialog.isModal());
    QVERIFY(!dialog.isVisible());
}

void tst_WindowService::dialogRunAndDeleteOnClose()
{
    QPointer<QDialog> dialog = new QDialog;
    QTimer::singleShot(50, dialog.data(), &QDialog::reject);
    m_service.setDlgParameters(dialog.data(), m_icon, true, true);
    flushDeferredDeletes();
    QVERIFY(dialog.isNull());
}

void tst_WindowService::nullPointersIgnored()
{
    const int before = QApplication::topLevelWidgets().size();
    m_service.setDlgParameters(static_cast<QWidget *>(nullptr), m_icon, true, true);
    m_service.setDlgParameters(static_cast<QDialog *>(nullptr), m_icon, true, true);
    QCOMPARE(QApplication::topLevelWidgets().size(), before);
    QVERIFY(!QApplication::activeModalWidget());
}

QTEST_MAIN(tst_WindowService)
#include "tst_windowservice.moc"
