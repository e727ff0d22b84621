#pragma once

// A main window on a recording stand-in backend, for the FIDO handler tests: replies are fed
// as the channel feeds them (lock freed, then dispatched), command lines are read back from
// what the backend received, and modal dialogs are answered by a ModalHelper. The end-to-end
// test runs the same window on the simulated key instead.

#include "app/commands.h"
#include "app/mainwindow.h"
#include "common/fakebackend.h"
#include "common/modalhelper.h"
#include "common/windowaccess.h"
#include "fido/crelistdialog.h"
#include "ui/registfingerprint.h"
#include "ui/waitingdialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

// Answers the next two-or-three-field prompt with these entries and OK.
inline void answerChangePin(ModalHelper& modal, const QString& first, const QString& second, const QString& third = {})
{
    modal.actWhenShown(QStringLiteral("changePIN"), [=](QWidget* d) {
        d->findChild<QLineEdit*>(QStringLiteral("oldpinV"))->setText(first);
        d->findChild<QLineEdit*>(QStringLiteral("newpinV"))->setText(second);
        d->findChild<QLineEdit*>(QStringLiteral("conformPinV"))->setText(third);
        d->findChild<QPushButton*>(QStringLiteral("OK"))->click();
    });
}

// Answers the next one-secret prompt with `pin` (an empty text cancels it).
inline void answerPin(ModalHelper& modal, const QString& pin)
{
    modal.actWhenShown(QStringLiteral("piv_pin"), [pin](QWidget* d) {
        d->findChild<QLineEdit*>(QStringLiteral("pinV"))->setText(pin);
        d->findChild<QPushButton*>(pin.isEmpty() ? QStringLiteral("Cancel") : QStringLiteral("OK"))->click();
    });
}

struct FidoWindow
{
    FakeBackend backend;
    MainWindow window;
    ModalHelper modal;

    // On the recording stand-in the shared FIDO state starts as a plugged-in key with a PIN; a
    // real backend (the simulated key) brings its own.
    explicit FidoWindow(const QString& program = {}) : window(nullptr, program.isEmpty() ? backend.program() : program)
    {
        if (!program.isEmpty())
            return;
        isfidoHavePin = true;
        g_insreted = true;
        template_id.clear();
        QTRY_COMPARE(backend.receivedLines().size(), 1);
    }
    ~FidoWindow()
    {
        // A dialog left open would block the next test's exec().
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<QDialog*>(w))
                w->close();
    }

    template <typename T = QWidget> T* find(const char* name) { return window.findChild<T*>(QLatin1String(name)); }
    void click(const char* button) { find<QPushButton>(button)->click(); }
    // Both PIN buttons' text, when they agree with each other and with the shared PIN state.
    QString pinState()
    {
        const QString text = find<QPushButton>("fidoSetPIN")->text();
        const bool agree = text == find<QPushButton>("fidoSetPIN1")->text() && isfidoHavePin == (text == "Change PIN");
        return agree ? text : QStringLiteral("disagree");
    }
    void reply(const QByteArray& text, int type) { Access::reply(window, text, type); }

    // Every line the window sent after " monitor start".
    QStringList sent() const { return backend.receivedLines().mid(1); }
    // Proves that `lines` and nothing else went out: a probe line must come right after them.
    void expectSentBeforeProbe(QStringList lines)
    {
        window.cmdSend(QStringLiteral("probe"), CmdType::Dropped6);
        lines.append(QStringLiteral("probe"));
        QTRY_COMPARE(sent(), lines);
    }
    bool busy() { return Access::waiting(window)->isShowing(); }
    QString busyText() { return Access::waiting(window)->text(); }
    void answerMessage() { modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok")); }
};

// A test's cleanup: every armed answer used, and no dialog left behind.
inline void finish(std::unique_ptr<FidoWindow>& w)
{
    QVERIFY(w->modal.idle());
    w.reset();
    QCOMPARE(visibleDialogCount(), 0);
}

inline QByteArray status(const char* sw, const char* info = "")
{
    return QByteArray("{\"SW\":\"") + sw + "\",\"INFO\":\"" + info + "\"}";
}
