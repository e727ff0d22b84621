#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

class QWidget;

// Answers modal dialogs for tests: a dialog run with exec() blocks the test until somebody
// presses its button, so the answer is armed before the call that shows it. A message or PIN
// prompt nobody armed an answer for fails the test and is closed, so a test that went wrong
// ends instead of waiting for ever.
class ModalHelper : public QObject
{
    Q_OBJECT

public:
    struct Seen
    {
        QString dialog; // object name of the dialog
        QString title;  // text of its "title" label, when it has one
        QString text;   // text of its "label_message" label, when it has one
    };

    explicit ModalHelper(QObject* parent = nullptr);

    // When a modal widget named `dialog` is up, click its child button named `button`.
    void clickWhenShown(const QString& dialog, const QString& button);
    // When a modal widget named `dialog` is up, run `action` on it.
    void actWhenShown(const QString& dialog, std::function<void(QWidget*)> action);

    // Every message dialog answered so far, oldest first.
    const QList<Seen>& seen() const { return m_seen; }
    QString lastText() const { return m_seen.isEmpty() ? QString() : m_seen.last().text; }
    void clearSeen() { m_seen.clear(); }
    // True when every armed answer has been used.
    bool idle() const { return m_pending.isEmpty(); }

private:
    struct Pending
    {
        QString dialog;
        std::function<void(QWidget*)> action;
    };

    void poll();
    // Fails the test once `modal`, which nothing answers, has been up for a while.
    void failWhenLeftUnanswered(QWidget* modal);

    QTimer m_timer;
    QList<Pending> m_pending;
    QList<Seen> m_seen;
    QPointer<QWidget> m_unanswered;
    QElapsedTimer m_unansweredFor;
};

// The visible top-level dialogs, for checking that a test left none open.
int visibleDialogCount();
