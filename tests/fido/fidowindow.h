#pragma once

// A main window on a recording stand-in backend, for the FIDO handler tests: replies are fed
// as the channel feeds them (lock freed, then dispatched), command lines are read back from
// what the backend received, and modal dialogs are answered by a ModalHelper.

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
    static QMap<QString, QString> changePin(MainWindow& w, const QString& mode) { return w.showChangePINDialog(mode); }
    static QString pin(MainWindow& w, const QString& type) { return w.showPINDialog(type); }
};
using Access = MainWindowTestAccess;

struct FidoWindow
{
    FakeBackend backend;
    MainWindow window{nullptr, backend.program()};
    ModalHelper modal;

    FidoWindow() { QTRY_COMPARE(backend.receivedLines().size(), 1); }
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
    QString text(const char* button) { return find<QPushButton>(button)->text(); }
    void reply(const QByteArray& text, int type) { Access::reply(window, text, type); }

    // Every line the window sent after " monitor start".
    QStringList sent() const { return backend.receivedLines().mid(1); }
    bool busy() { return Access::waiting(window)->isShowing(); }
    QString busyText() { return Access::waiting(window)->text(); }

    // Answers the next one-secret prompt with `pin` (an empty text cancels it).
    void answerPin(const QString& pin)
    {
        modal.actWhenShown(QStringLiteral("piv_pin"), [pin](QWidget* d) {
            if (pin.isEmpty()) {
                d->findChild<QPushButton*>(QStringLiteral("Cancel"))->click();
                return;
            }
            d->findChild<QLineEdit*>(QStringLiteral("pinV"))->setText(pin);
            d->findChild<QPushButton*>(QStringLiteral("OK"))->click();
        });
    }
    void answerMessage() { modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok")); }
};

inline QByteArray status(const char* sw, const char* info = "")
{
    return QByteArray("{\"SW\":\"") + sw + "\",\"INFO\":\"" + info + "\"}";
}
