#ifndef ISOLATEDHOME_H
#define ISOLATEDHOME_H

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

// Points HOME and XDG_CONFIG_HOME at a fresh temporary folder before the application
// object exists, so that settings and autostart entries never reach the real user's
// configuration (QSettings caches its paths on first use).
class IsolatedHome
{
public:
    IsolatedHome()
    {
        qputenv("HOME", m_dir.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", configHome().toLocal8Bit());
    }
    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString configHome() const { return m_dir.path() + QStringLiteral("/config"); }

private:
    QTemporaryDir m_dir;
};

#define SERVICES_TEST_MAIN(TestClass)                   \
    int main(int argc, char *argv[])                    \
    {                                                   \
        IsolatedHome home;                              \
        if (!home.isValid())                            \
            return 2;                                   \
        QApplication app(argc, argv);                   \
        TestClass test(home.configHome());              \
        QTEST_SET_MAIN_SOURCE_PATH                      \
        return QTest::qExec(&test, argc, argv);         \
    }

#endif // ISOLATEDHOME_H
