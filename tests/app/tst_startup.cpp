#include "app/mainwindow.h"
#include "app/singleinstance.h"
#include "common/fakebackend.h"
#include "common/modalhelper.h"
#include "common/windowaccess.h"

#include <QSharedMemory>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QtTest>

#include <csignal>
#include <cstring>

namespace {

const char kAppKey[] = "vela_7C2E91A0-5D3B-4F86-A1E4-29B7C0D5E8F3";

// The process id the running instance wrote into the guard, or 0 when there is none.
qint64 guardHolder()
{
    QSharedMemory memory(QString::fromLatin1(kAppKey));
    if (!memory.attach(QSharedMemory::ReadOnly) || memory.size() < int(sizeof(qint64)))
        return 0;
    qint64 pid = 0;
    std::memcpy(&pid, memory.constData(), sizeof pid);
    return pid;
}

void startApp(QProcess& app)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    app.setProcessEnvironment(env);
    app.start(QStringLiteral(SKM_APP_PATH), QStringList());
    QVERIFY(app.waitForStarted());
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void missingBackendIsReportedOnceAndWindowStaysUsable();
    void backendThatKeepsDyingIsNotRestartedForEver();
    void destroyingWindowSendsNothing();
    void guardRefusesSecondHolder();
    void secondInstanceExitsWithMinusOne();
    void killedInstanceDoesNotBlockTheNext();
};

// Reported once at start; afterwards every action says the backend is not there, and nothing hangs.
void TestStartup::missingBackendIsReportedOnceAndWindowStaysUsable()
{
    ModalHelper modal;
    modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    MainWindow window(nullptr, QStringLiteral("/nonexistent/kvman"));
    window.show();
    QTRY_VERIFY(modal.idle());
    QCOMPARE(modal.seen().size(), 1);
    QCOMPARE(modal.seen().last().title, QStringLiteral("Error"));
    QVERIFY(modal.lastText().contains(QLatin1String("/nonexistent/kvman")));
    QCOMPARE(window.findChild<QStackedWidget*>(QStringLiteral("contentPage"))->currentIndex(), 1);
    modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    window.cmdSend(QStringLiteral("otp list"), 32);
    QTRY_VERIFY(modal.idle());
    QVERIFY(modal.lastText().startsWith(QLatin1String("The key manager backend is not available")));
    QVERIFY(!Access::lockHeld(window));
}

void TestStartup::backendThatKeepsDyingIsNotRestartedForEver()
{
    FakeBackend dying(QStringLiteral("die"));
    ModalHelper modal;
    modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    MainWindow window(nullptr, dying.program());
    QSignalSpy unavailable(&window, &MainWindow::backendUnavailable);
    QTRY_COMPARE_WITH_TIMEOUT(unavailable.count(), 1, 15000);
    const int starts = dying.starts();
    QVERIFY(starts >= 2 && starts <= 8);
    QTRY_VERIFY(modal.idle());
    QVERIFY(modal.lastText().contains(dying.program()));
    // Given up: nothing runs and no restart is pending.
    QVERIFY(!Access::backendAlive(window));
}

void TestStartup::destroyingWindowSendsNothing()
{
    FakeBackend backend;
    {
        MainWindow window(nullptr, backend.program());
        QTRY_COMPARE(backend.receivedLines().size(), 1);
    }
    QCOMPARE(backend.received(), QByteArray(" monitor start\n"));
}

void TestStartup::guardRefusesSecondHolder()
{
    const QString key = QStringLiteral("skm-test-guard-%1").arg(QCoreApplication::applicationPid());
    auto first = std::make_unique<SingleInstance>(key);
    QVERIFY(first->acquire());
    SingleInstance second(key);
    QVERIFY(!second.acquire());
    first.reset();
    SingleInstance third(key);
    QVERIFY(third.acquire());
}

void TestStartup::secondInstanceExitsWithMinusOne()
{
    QProcess first;
    startApp(first);
    QTRY_COMPARE(guardHolder(), first.processId());
    QProcess second;
    startApp(second);
    QVERIFY(second.waitForFinished(15000));
    QCOMPARE(second.exitCode(), 255);
    QCOMPARE(guardHolder(), first.processId());
    first.kill();
    first.waitForFinished();
}

// A SIGKILL leaves the SysV segment behind; the next start must take it over.
void TestStartup::killedInstanceDoesNotBlockTheNext()
{
    QProcess first;
    startApp(first);
    QTRY_COMPARE(guardHolder(), first.processId());
    ::kill(pid_t(first.processId()), SIGKILL);
    first.waitForFinished();
    QProcess next;
    startApp(next);
    QTRY_COMPARE(guardHolder(), next.processId());
    next.kill();
    next.waitForFinished();
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
