#pragma once

// A MainWindow on a recording backend, for the OTP pages' handler tests: the test reads the
// command lines the window wrote and answers them as the backend would.
#include "app/mainwindow.h"
#include "common/fakebackend.h"
#include "common/modalhelper.h"
#include "ui/waitingdialog.h"

#include <QApplication>
#include <QtTest>

class MainWindowTestAccess
{
public:
    static void otpClicked(MainWindow& w) { w.on_otp_clicked(); }
    static void setModel(MainWindow& w, const QString& model) { w.m_model = model; }
    static OTP_STRUCT slot(MainWindow& w, int index) { return w.m_otp[index]; }
    static WaitingDialog* waiting(MainWindow& w) { return w.m_waiting; }
};

class OtpWindow
{
public:
    FakeBackend backend;
    MainWindow window{nullptr, backend.program()};
    ModalHelper modal;

    template <typename T> T* widget(const char* name) const
    {
        T* found = window.findChild<T*>(QLatin1String(name));
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }

    QStringList lines() const { return backend.receivedLines(); }
    QString lastLine() const
    {
        const QStringList all = lines();
        return all.isEmpty() ? QString() : all.last();
    }
    void reply(const QByteArray& json) { backend.writeStdout(json + "\n"); }
    bool busy() { return MainWindowTestAccess::waiting(window)->isShowing(); }
    QString busyText() { return MainWindowTestAccess::waiting(window)->text(); }
    static bool messageUp() { return QApplication::activeModalWidget() != nullptr; }
    // The last message the helper answered: title and text.
    QPair<QString, QString> lastMessage() const
    {
        if (modal.seen().isEmpty())
            return {};
        return {modal.seen().last().title, modal.seen().last().text};
    }
};

// The window has started its backend and sent " monitor start".
#define OTP_WINDOW_READY(f) QTRY_COMPARE((f).lines().size(), 1)

// Enters the OTP page of a key of `model` and answers its "otp list" with `json`.
#define OTP_ENTER_PAGE(f, model, json)                                                                                 \
    do {                                                                                                               \
        MainWindowTestAccess::setModel((f).window, QStringLiteral(model));                                             \
        MainWindowTestAccess::otpClicked((f).window);                                                                  \
        QTRY_COMPARE((f).lastLine(), QStringLiteral("otp list"));                                                      \
        (f).reply(json);                                                                                               \
        QTRY_VERIFY(!(f).busy());                                                                                      \
    } while (false)
