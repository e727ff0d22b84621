#include "common/modalhelper.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QWidget>

ModalHelper::ModalHelper(QObject* parent) : QObject(parent)
{
    m_timer.setInterval(5);
    connect(&m_timer, &QTimer::timeout, this, &ModalHelper::poll);
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
    m_timer.start();
}

void ModalHelper::poll()
{
    if (m_pending.isEmpty()) {
        m_timer.stop();
        return;
    }
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || modal->objectName() != m_pending.first().dialog)
        return;
    Seen seen{modal->objectName(), QString(), QString()};
    if (auto* title = modal->findChild<QLabel*>(QStringLiteral("title")))
        seen.title = title->text();
    if (auto* text = modal->findChild<QLabel*>(QStringLiteral("label_message")))
        seen.text = text->text();
    m_seen.append(seen);
    const Pending next = m_pending.takeFirst();
    next.action(modal);
}

int visibleDialogCount()
{
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QDialog*>(w) && w->isVisible())
            ++count;
    return count;
}
