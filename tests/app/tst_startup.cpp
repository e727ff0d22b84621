#include "app/mainwindow.h"
#include "app/page.h"
#include "app/singleinstance.h"
#include "common/fakebackend.h"
#include "common/modalhelper.h"
#include "common/windowaccess.h"

#include <QLockFile>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QtTest>

#include <csignal>

namespace {

const char kAppKey[] = "vela_7C2E91A0-5D3B-4F86-A1E4-29B7C0D5E8F3";

// The process id that holds the application's guard in the runtime folder, or 0 when none does.
qint64 guardHolder()
{
    QLockFile lock(QDir(qEnvironmentVariable("XDG_RUNTIME_DIR")).filePath(QLatin1String(kAppKey) + ".lock"));
    qint64 pid = 0;
    QString host;
    QString app;
    return lock.getLockInfo(&pid, &host, &app) ? pid : 0;
}

QByteArray coreLimitOf(qint64 pid)
{
    QFile limits(QStringLiteral("/proc/%1/limits").arg(pid));
    if (!limits.open(QIODevice::ReadOnly))
        return QByteArray();
    for (const QByteArray& line : limits.readAll().split('\n'))
        if (line.startsWith("Max core file size"))
            return line.simplified();
    return QByteArray();
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
    void initTestCase();
    void missingBackendIsReportedOnceAndWindowStaysUsable();
    void backendThatKeepsDyingIsNotRestartedForEver();
    void freshWindowOffersNoKeyAndSendsOnlyTheMonitor();
    void guardRefusesSecondHolderAndWakesIt();
    void secondInstanceExitsAndKilledOneDoesNotBlock();

private:
    QTemporaryDir m_runtime;
};

// The guard lives in the user's runtime folder: a folder of the suite's own never meets the
// guard of a manager the user is running.
void TestStartup::initTestCase()
{
    QVERIFY(m_runtime.isValid());
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
}

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
    QCOMPARE(window.findChild<QStackedWidget*>(QStringLiteral("contentPage"))->currentIndex(), int(Page::NoKey));
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

// Until a key is read nothing about one is offered; closing the window writes nothing more.
void TestStartup::freshWindowOffersNoKeyAndSendsOnlyTheMonitor()
{
    FakeBackend backend;
    {
        MainWindow window(nullptr, backend.program());
        QTRY_COMPARE(backend.receivedLines().size(), 1);
        QCOMPARE(window.findChild<QStackedWidget*>(QStringLiteral("contentPage"))->currentIndex(), int(Page::NoKey));
        QVERIFY(window.findChild<QWidget*>(QStringLiteral("btn_getdeviceinfo"))->isHidden());
        for (const char* menu : {"application", "interface_2"})
            QVERIFY(!window.findChild<QWidget*>(menu)->isEnabled());
    }
    QCOMPARE(backend.received(), QByteArray(" monitor start\n"));
}

void TestStartup::guardRefusesSecondHolderAndWakesIt()
{
    auto first = std::make_unique<SingleInstance>(QStringLiteral("skm-test-guard"));
    QVERIFY(first->acquire());
    QSignalSpy activated(first.get(), &SingleInstance::activated);
    SingleInstance second(QStringLiteral("skm-test-guard"));
    QVERIFY(!second.acquire());
    QTRY_COMPARE(activated.count(), 1);
    first.reset();
    SingleInstance third(QStringLiteral("skm-test-guard"));
    QVERIFY(third.acquire());
}

// The second start exits with -1; a SIGKILL leaves the lock file and the socket behind, and the
// next start must take them over.
void TestStartup::secondInstanceExitsAndKilledOneDoesNotBlock()
{
    QProcess first;
    startApp(first);
    QTRY_COMPARE(guardHolder(), first.processId());
    QCOMPARE(coreLimitOf(first.processId()), QByteArray("Max core file size 0 0 bytes"));
    QProcess second;
    startApp(second);
    QVERIFY(second.waitForFinished(15000));
    QCOMPARE(second.exitCode(), 255);
    QCOMPARE(guardHolder(), first.processId());
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
