#pragma once

// A MainWindow for the OTP pages' tests: on a recording backend the test reads the command
// lines the window wrote and answers them as the backend would; given a program (kvman-sim)
// the window talks to that instead.
#include "app/mainwindow.h"
#include "common/fakebackend.h"
#include "common/modalhelper.h"
#include "common/windowaccess.h"
#include "ui/waitingdialog.h"

#include <QAbstractButton>
#include <QtTest>

class OtpWindow
{
public:
    explicit OtpWindow(const QString& program = QString())
        : window(nullptr, program.isEmpty() ? backend.program() : program)
    {
    }

    FakeBackend backend;
    MainWindow window;
    ModalHelper modal;

    template <typename T = QWidget> T* widget(const QString& name) const
    {
        T* found = window.findChild<T*>(name);
        return found ? found : (qFatal("no widget %s", qPrintable(name)), nullptr);
    }
    void click(const QString& button) const { widget<QAbstractButton>(button)->click(); }
    QString text(const QString& name) const { return widget(name)->property("text").toString(); }
    bool slotConfigured(int slot) { return Access::otpConfigured(window, slot); }

    QStringList lines() const { return backend.receivedLines(); }
    QString lastLine() const { return lines().value(lines().size() - 1); }
    void reply(const QByteArray& json) { backend.writeStdout(json + "\n"); }
    bool busy() { return Access::waiting(window)->isShowing(); }
    QString busyText() { return busy() ? Access::waiting(window)->text() : QString(); }
    // No command in flight: the last reply has been read and dispatched.
    bool idle() { return !Access::lockHeld(window); }
    QPair<QString, QString> lastMessage() const
    {
        const ModalHelper::Seen last = modal.seen().value(modal.seen().size() - 1);
        return {last.title, last.text};
    }
    static bool waitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition); }

    // Enters the OTP page of a key of `model` and answers its "otp list" with `list`.
    bool enterPage(const QString& model, const QByteArray& list)
    {
        const int before = lines().size();
        Access::model(window) = model;
        QMetaObject::invokeMethod(&window, "on_otp_clicked");
        if (!waitFor([&] { return lines().size() > before && lastLine() == QLatin1String("otp list"); }))
            return false;
        reply(list);
        return waitFor([this] { return !busy(); });
    }
    // Opens slot 1's configuration page, answering its read of the with-enter setting.
    bool openConf(const QByteArray& withEnter = R"({"SW":"9000","INFO":"00"})")
    {
        const int before = lines().size();
        click(QStringLiteral("otp1Conf"));
        if (!waitFor([&] { return lines().size() == before + 1; }) ||
            lastLine() != QLatin1String("device send_apdu -c 80E3050001"))
            return false;
        reply(withEnter);
        return waitFor([this] { return idle(); });
    }
    // Answers the command in flight with `json`, confirms the message it brings and returns it.
    QPair<QString, QString> answer(const QByteArray& json)
    {
        modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
        reply(json);
        return waitFor([this] { return modal.idle(); }) ? lastMessage() : QPair<QString, QString>();
    }
};
