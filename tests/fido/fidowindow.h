#pragma once

// A main window on a recording stand-in backend, for the FIDO handler tests: replies are fed
// as the channel feeds them (lock freed, then dispatched), command lines are read back from
// what the backend received, and modal dialogs are answered by a ModalHelper.

#include "app/commands.h"
#include "app/mainwindow.h"
#include "common/fakebackend.h"
#include "common/modalhelper.h"
#include "fido/crelistdialog.h"
#include "fido/registfingerprint.h"
#include "ui/waitingdialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

class MainWindowTestAccess
{
public:
    static void reply(MainWindow& w, const QByteArray& text, int type)
    {
        w.releaseCommandLock();
        w.setCurrentItemInfo(QString::fromUtf8(text), type);
    }
    static void setModel(MainWindow& w, const QString& model) { w.m_model = model; }
    static QString& fidoPin(MainWindow& w) { return w.m_fidoPin; }
    static bool& resetting(MainWindow& w) { return w.m_isResetting; }
    static WaitingDialog* waiting(MainWindow& w) { return w.m_waiting; }
    static CreListDialog* creList(MainWindow& w) { return w.m_creList; }
    static registFingerprint* regFinger(MainWindow& w) { return w.m_regFinger; }
};
using Access = MainWindowTestAccess;

// Fills the two-or-three-field prompt and presses OK.
inline void fillChangePin(QWidget* dialog, const QString& first, const QString& second, const QString& third = {})
{
    dialog->findChild<QLineEdit*>(QStringLiteral("oldpinV"))->setText(first);
    dialog->findChild<QLineEdit*>(QStringLiteral("newpinV"))->setText(second);
    dialog->findChild<QLineEdit*>(QStringLiteral("conformPinV"))->setText(third);
    dialog->findChild<QPushButton*>(QStringLiteral("OK"))->click();
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
    MainWindow window{nullptr, backend.program()};
    ModalHelper modal;

    // The shared FIDO state starts as a plugged-in key with or without a PIN.
    explicit FidoWindow(bool havePin)
    {
        isfidoHavePin = havePin;
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

    template <typename T = QWidget> T* find(const char* name)
    {
        return window.findChild<T*>(QString::fromLatin1(name));
    }
    void click(const char* button) { find<QPushButton>(button)->click(); }
    // The text both PIN buttons share, or both texts when they differ.
    QString pinButtons()
    {
        const QString first = find<QPushButton>("fidoSetPIN")->text(),
                      second = find<QPushButton>("fidoSetPIN1")->text();
        return first == second ? first : first + QLatin1Char('|') + second;
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
