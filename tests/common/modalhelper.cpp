#include "common/modalhelper.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QtTest>

namespace {

// Long enough for any flow that answers its own dialogs, even on a loaded machine.
constexpr int kUnansweredMs = 10000;
// The dialogs only a test's armed answer closes.
const QStringList AnsweredByTests = {"DialogMessage", "piv_pin", "changePIN"};

} // namespace

ModalHelper::ModalHelper(QObject* parent) : QObject(parent)
{
    m_timer.setInterval(5);
    connect(&m_timer, &QTimer::timeout, this, &ModalHelper::poll);
    m_timer.start();
}

void ModalHelper::clickWhenShown(const QString& dialog, const QString& button)
{
    actWhenShown(dialog, [button](QWidget* w) {
        if (auto* b = w->findChild<QAbstractButton*>(button))
            b->click();
    });
}

void ModalHelper::actWhenShown(const QString& dialog, std::function<void(QWidget*)> action)
{
    m_pending.append({dialog, std::move(action)});
    // Started again, the timer also fires in a dialog an answer itself opens (Qt never re-enters
    // a running timer's slot).
    m_timer.start();
}

void ModalHelper::poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) {
        m_unanswered = nullptr;
        return;
    }
    if (m_pending.isEmpty() || modal->objectName() != m_pending.first().dialog) {
        failWhenLeftUnanswered(modal);
        return;
    }
    const auto label = [modal](const char* name) {
        auto* found = modal->findChild<QLabel*>(QLatin1String(name));
        return found ? found->text() : QString();
    };
    m_seen.append({modal->objectName(), label("title"), label("label_message")});
    m_unanswered = nullptr;
    const Pending next = m_pending.takeFirst();
    next.action(modal);
}

void ModalHelper::failWhenLeftUnanswered(QWidget* modal)
{
    if (!AnsweredByTests.contains(modal->objectName()))
        return;
    if (modal != m_unanswered) {
        m_unanswered = modal;
        m_unansweredFor.start();
        return;
    }
    if (m_unansweredFor.elapsed() < kUnansweredMs)
        return;
    const QString what =
        modal->objectName() + " left unanswered: " +
        (m_pending.isEmpty() ? QStringLiteral("nothing was armed") : "armed for " + m_pending.first().dialog);
    QTest::qFail(qPrintable(what), __FILE__, __LINE__);
    m_unanswered = nullptr;
    modal->close();
}

int visibleDialogCount()
{
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QDialog*>(w) && w->isVisible())
            ++count;
    return count;
}
