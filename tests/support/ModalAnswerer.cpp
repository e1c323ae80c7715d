#include "ModalAnswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QPushButton>
#include <QTest>

ModalAnswerer::ModalAnswerer(QObject *parent)
    : QObject(parent)
{
    m_timer.setInterval(20);
    connect(&m_timer, &QTimer::timeout, this, &ModalAnswerer::poll);
    m_timer.start();
}

ModalAnswerer::~ModalAnswerer() = default;

void ModalAnswerer::clickButton(QMessageBox::StandardButton button)
{
    handle([button](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box) {
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
            return;
        }
        QAbstractButton *target = button != QMessageBox::NoButton ? box->button(button) : nullptr;
        if (!target)
            target = box->escapeButton() ? box->escapeButton() : static_cast<QAbstractButton *>(box->defaultButton());
        if (target)
            target->click();
        else
            box->done(QMessageBox::Ok);
    });
}

void ModalAnswerer::handle(const Action &action)
{
    m_actions.append(action);
}

void ModalAnswerer::clear()
{
    m_actions.clear();
    m_titles.clear();
    m_texts.clear();
}

bool ModalAnswerer::waitAnswered(int count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return m_titles.size() >= count; }, timeoutMs);
}

void ModalAnswerer::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible())
        return;
    // Stop the timer while the action runs: it may open nested modal windows.
    m_timer.stop();
    QPointer<QWidget> guard(modal);
    m_titles << modal->windowTitle();
    auto *box = qobject_cast<QMessageBox *>(modal);
    m_texts << (box ? box->text() : QString());
    if (!m_actions.isEmpty()) {
        const Action action = m_actions.takeFirst();
        action(modal);
    } else if (auto *dialog = qobject_cast<QDialog *>(modal)) {
        dialog->reject();
    } else {
        modal->close();
    }
    m_timer.start();
}
