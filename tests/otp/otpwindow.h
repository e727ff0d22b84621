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
    // No command in flight: the last reply has been read and dispatched.
    static bool lockFree(MainWindow& w)
    {
        if (!w.m_cmdLock.tryLock())
            return false;
        w.m_cmdLock.unlock();
        return true;
    }
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
    bool idle() { return MainWindowTestAccess::lockFree(window); }
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

// Opens the configuration page of slot 1 or 2; slot 1's page reads the with-enter setting,
// answered with `info`.
#define OTP_OPEN_CONF(f, button, info)                                                                                 \
    do {                                                                                                               \
        const int before = (f).lines().size();                                                                         \
        (f).widget<QAbstractButton>(button)->click();                                                                  \
        if (QLatin1String(button) == QLatin1String("otp1Conf")) {                                                      \
            QTRY_COMPARE((f).lines().size(), before + 1);                                                              \
            QCOMPARE((f).lastLine(), QStringLiteral("device send_apdu -c 80E3050001"));                                \
            (f).reply(QByteArray(R"({"SW":"9000","INFO":")") + (info) + "\"}");                                        \
            QTRY_VERIFY((f).idle());                                                                                   \
        }                                                                                                              \
    } while (false)

// Enters the OTP page of a key of `model` and answers its "otp list" with `json`.
#define OTP_ENTER_PAGE(f, model, json)                                                                                 \
    do {                                                                                                               \
        MainWindowTestAccess::setModel((f).window, QStringLiteral(model));                                             \
        MainWindowTestAccess::otpClicked((f).window);                                                                  \
        QTRY_COMPARE((f).lastLine(), QStringLiteral("otp list"));                                                      \
        (f).reply(json);                                                                                               \
        QTRY_VERIFY(!(f).busy());                                                                                      \
    } while (false)
