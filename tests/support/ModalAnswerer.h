#ifndef MODALANSWERER_H
#define MODALANSWERER_H

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

// Answers the modal windows that the code under test opens, so that no test blocks.
// Queue one answer per expected window; each answer records the window's title and
// (for a message box) its text, then acts on it. Windows that show up with no answer
// queued are recorded and rejected, so an unexpected box fails the test's checks
// instead of hanging it.
//
//     ModalAnswerer answerer;
//     answerer.clickButton(QMessageBox::Ok);
//     codeThatShowsABox();
//     QCOMPARE(answerer.titles(), QStringList{"Error"});
class ModalAnswerer : public QObject
{
    Q_OBJECT
public:
    using Action = std::function<void(QWidget *modal)>;

    explicit ModalAnswerer(QObject *parent = nullptr);
    ~ModalAnswerer() override;

    // Message box: press the given standard button (or the escape/default button if NoButton).
    void clickButton(QMessageBox::StandardButton button = QMessageBox::NoButton);
    // Any modal window: run the action with it (the action must close it).
    void handle(const Action &action);

    int answered() const { return m_titles.size(); }
    int pending() const { return m_actions.size(); }
    QStringList titles() const { return m_titles; }
    QStringList texts() const { return m_texts; }
    QString lastTitle() const { return m_titles.value(m_titles.size() - 1); }
    QString lastText() const { return m_texts.value(m_texts.size() - 1); }
    void clear();

    // Waits (processing events) until `count` windows have been answered.
    bool waitAnswered(int count, int timeoutMs = 10000);

private:
    void poll();

    QTimer m_timer;
    QList<Action> m_actions;
    QStringList m_titles;
    QStringList m_texts;
    QWidget *m_lastSeen = nullptr;
};

#endif // MODALANSWERER_H
