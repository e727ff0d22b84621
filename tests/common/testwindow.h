#pragma once

// The one window the window tests drive. On the recording stand-in backend the test reads the
// command lines the window wrote and answers them; given a program (kvman-sim) the window talks
// to that instead. Modal dialogs are answered by `modal`, armed before the click that opens them.

#include "app/commands.h"
#include "app/mainwindow.h"
#include "common/fakebackend.h"
#include "common/modalhelper.h"
#include "common/replies.h"
#include "common/windowaccess.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QStackedWidget>
#include <QStringList>

#include <functional>

class TestWindow
{
public:
    explicit TestWindow(const QString& program = QString());
    // Closes the dialogs a failed test left open, so they can't block the next one's exec().
    ~TestWindow();

    template <typename T = QWidget> T* widget(const QString& name) const
    {
        T* found = window.findChild<T*>(name);
        return found ? found : (qFatal("no widget %s", qPrintable(name)), nullptr);
    }
    void click(const QString& button) const { widget<QAbstractButton>(button)->click(); }
    void type(const QString& edit, const QString& text) const { widget<QLineEdit>(edit)->setText(text); }
    QString text(const QString& name) const { return widget(name)->property("text").toString(); }
    int page() const { return widget<QStackedWidget>(QStringLiteral("contentPage"))->currentIndex(); }

    // The lines written after " monitor start", each private public-key file shown as "<public>".
    QStringList sent() const;
    QString lastSent() const { return sent().value(sent().size() - 1); }
    // Proves that `lines` and nothing else went out: a probe line must come right after them.
    bool sentBeforeProbe(QStringList lines);
    // What the channel does with one reply: free the channel, then dispatch (by default to the
    // command in flight).
    void reply(const QString& text, int type = g_currItem) { Access::reply(window, text, type); }
    // The stand-in backend writes `json`, as a backend answers.
    void answerFromBackend(const QString& json) { backend.writeStdout(json.toUtf8() + "\n"); }
    // Plugs a key in and reads its details, as "Click here to continue" does.
    void showKey(const QString& transport, const QString& application, const QString& model = "R15");
    void setModel(const QString& model) { Access::model(window) = model; }

    bool busy() { return Access::waiting(window)->isShowing(); }
    QString busyText() { return busy() ? Access::waiting(window)->text() : QString(); }
    bool channelFree() { return !Access::lockHeld(window); }
    // Every secret an operation may still hold; empty once it has ended.
    QString heldSecrets() { return Access::heldSecrets(window); }

    // Arms the answers to the dialogs a flow opens, in order: "ok" / "no" for a message; "pin=<text>"
    // for a one-secret prompt, "change=<old>,<new>" for the change dialog (the new value goes to every
    // field but the old one); "cancel" / "cancel change" cancels either.
    void answer(const QStringList& script);
    // Title and text of every message answered so far, as "title / text".
    QStringList messages() const;
    QString lastMessage() const { return modal.lastText(); }

    FakeBackend backend;
    MainWindow window;
    ModalHelper modal;
    // What the file dialogs answer.
    QString openPath;
    QString savePath;
};
