#include "app/commands.h"
#include "app/mainwindow.h"
#include "common/fakebackend.h"
#include "common/modalhelper.h"
#include "common/simharness.h"
#include "common/windowaccess.h"
#include "ui/waitingdialog.h"

#include <QLoggingCategory>
#include <QtTest>

#include <csignal>
#include <unistd.h>

namespace {

QStringList captured;

void capture(QtMsgType, const QMessageLogContext&, const QString& text)
{
    captured.append(text);
}

} // namespace

class TestChannel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void firstLineIsMonitorStart();
    void secondCommandIsDroppedWhileFirstIsInFlight();
    void deletionCarriesRememberedPin();
    void blankOutputReleasesLockAndDispatchesNothing();
    void standardErrorIsDispatchedLikeOutput();
    void splitReplyIsJoined();
    void mergedRepliesAreAllDispatched();
    void partialReplyIsNotHeldForEver();
    void lineWithLineBreakIsNeverWritten();
    void killedBackendIsRestartedAndLockReleased();
    void exitStopsMonitorThenExits();
    void secretsNeverReachTheLog();
    void shellCommandGivesItsStandardOutput();

private:
    FakeBackend* m_backend = nullptr;
    MainWindow* m_window = nullptr;
    ModalHelper* m_modal = nullptr;
};

void TestChannel::init()
{
    m_backend = new FakeBackend;
    m_window = new MainWindow(nullptr, m_backend->program());
    m_modal = new ModalHelper;
    QTRY_COMPARE(m_backend->receivedLines().size(), 1);
}

void TestChannel::cleanup()
{
    QVERIFY(m_modal->idle());
    delete m_modal;
    delete m_window;
    delete m_backend;
}

void TestChannel::firstLineIsMonitorStart()
{
    QCOMPARE(m_backend->received(), QByteArray(" monitor start\n"));
}

// Type 6 replies are dropped, so only a dispatch under the first type shows a message.
void TestChannel::secondCommandIsDroppedWhileFirstIsInFlight()
{
    Access::waiting(*m_window)->show(m_window, QStringLiteral("busy"));
    m_window->cmdSend(QStringLiteral("first"), 7);
    m_window->cmdSend(QStringLiteral("second"), CmdType::Dropped6);
    QVERIFY(!Access::waiting(*m_window)->isShowing());
    QCOMPARE(g_currItem, 7);

    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    m_backend->writeStdout("{\"SW\":\"9000\"}\n");
    QTRY_VERIFY(m_modal->idle());
    QCOMPARE(m_modal->seen().last().title, QStringLiteral("Warning"));
    QCOMPARE(m_modal->lastText(), QStringLiteral("Other error.Please try again or replug..."));
    QCOMPARE(m_backend->receivedLines(), (QStringList{" monitor start", "first"}));
}

void TestChannel::deletionCarriesRememberedPin()
{
    Access::fidoPin(*m_window) = QStringLiteral("1234");
    m_window->cmdSend(Cmd::fidoDeleteCredential("abc", "public-key"), CmdType::FidoDeleteCredential);
    QTRY_COMPARE(m_backend->receivedLines().value(1),
                 QStringLiteral("fido delete-resident-credential -i abc -t public-key -p 31323334"));
    QVERIFY(Access::waiting(*m_window)->isShowing());
    QCOMPARE(Access::waiting(*m_window)->text(), QStringLiteral("Deleting, please wait ..."));
}

void TestChannel::blankOutputReleasesLockAndDispatchesNothing()
{
    m_window->cmdSend(QStringLiteral("first"), 7);
    QVERIFY(Access::lockHeld(*m_window));
    m_backend->writeStdout(" \r\n\t \n");
    QTRY_VERIFY(!Access::lockHeld(*m_window));
    QCOMPARE(visibleDialogCount(), 0);
}

void TestChannel::standardErrorIsDispatchedLikeOutput()
{
    m_window->cmdSend(QStringLiteral("first"), 7);
    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    m_backend->writeStderr("{\"SW\":\"6A80\",\"INFO\":\"from stderr\"}\n");
    QTRY_VERIFY(m_modal->idle());
    QCOMPARE(m_modal->lastText(), QStringLiteral("from stderr"));
}

void TestChannel::splitReplyIsJoined()
{
    m_window->cmdSend(QStringLiteral("first"), 7);
    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    m_backend->writeStdout("{\"SW\":\"6A80\",\"IN");
    QTRY_VERIFY(m_backend->receivedLines().size() == 2);
    QCoreApplication::processEvents();
    QVERIFY(Access::lockHeld(*m_window));
    m_backend->writeStdout("FO\":\"joined\"}\n");
    QTRY_VERIFY(m_modal->idle());
    QCOMPARE(m_modal->seen().size(), 1);
    QCOMPARE(m_modal->lastText(), QStringLiteral("joined"));
}

void TestChannel::mergedRepliesAreAllDispatched()
{
    m_window->cmdSend(QStringLiteral("first"), 7);
    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    m_backend->writeStdout("{\"SW\":\"6A80\",\"INFO\":\"one\"}{\"SW\":\"6A80\",\"INFO\":\"two\"}");
    QTRY_VERIFY(m_modal->idle());
    QCOMPARE(m_modal->seen().size(), 2);
    QCOMPARE(m_modal->seen().at(0).text, QStringLiteral("one"));
    QCOMPARE(m_modal->seen().at(1).text, QStringLiteral("two"));
}

void TestChannel::partialReplyIsNotHeldForEver()
{
    m_window->cmdSend(QStringLiteral("first"), 7);
    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    m_backend->writeStdout("{\"SW\":\"6A80\",\"INFO\":\"never closed\"");
    QTRY_VERIFY_WITH_TIMEOUT(m_modal->idle(), 10000);
    QVERIFY(!Access::lockHeld(*m_window));
}

void TestChannel::lineWithLineBreakIsNeverWritten()
{
    m_window->cmdSend(QStringLiteral("otp list\nexit"), CmdType::OtpList);
    m_window->cmdSend(QStringLiteral("otp list\rexit"), CmdType::OtpList);
    QVERIFY(!Access::lockHeld(*m_window));
    m_window->cmdSend(QStringLiteral("otp list"), CmdType::OtpList);
    QTRY_COMPARE(m_backend->receivedLines(), (QStringList{" monitor start", "otp list"}));
}

void TestChannel::killedBackendIsRestartedAndLockReleased()
{
    SimHarness sim;
    MainWindow window(nullptr, SimHarness::simPath());
    QTRY_COMPARE(sim.receivedLines(), QStringList{" monitor start"});
    QVERIFY(sim.waitUntilReady());
    QTRY_VERIFY(g_currInterface != 0); // the start-up replies have been read
    QVERIFY(sim.control(QStringLiteral("touch manual")).startsWith(QLatin1String("ok")));
    // Sent as a type whose replies are dropped, so the start-up replies that follow the restart
    // raise no message.
    window.cmdSend(Cmd::fidoReset(), CmdType::Dropped6);
    QTRY_COMPARE(sim.receivedLines().size(), 2);
    QVERIFY(Access::lockHeld(window));
    ::kill(pid_t(Access::backendPid(window)), SIGKILL);
    QTRY_COMPARE(sim.receivedLines(), (QStringList{" monitor start", "fido reset", " monitor start"}));
    QVERIFY(!Access::lockHeld(window));
}

void TestChannel::exitStopsMonitorThenExits()
{
    m_window->on_exit_clicked();
    QTRY_COMPARE(m_backend->received(), QByteArray(" monitor start\nmonitor stop\nexit\n"));
}

void TestChannel::secretsNeverReachTheLog()
{
    captured.clear();
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=true"));
    const QtMessageHandler previous = qInstallMessageHandler(capture);
    m_window->cmdSend(Cmd::pivChangePin("123456", "654321"), CmdType::PivChangePin);
    qInstallMessageHandler(previous);
    QTRY_COMPARE(m_backend->receivedLines().value(1), QStringLiteral(" piv change-pin -P 123456 -n 654321"));
    const QString log = captured.join(QLatin1Char('\n'));
    QVERIFY(log.contains(QLatin1String("piv change-pin")));
    QVERIFY(!log.contains(QLatin1String("123456")));
    QVERIFY(!log.contains(QLatin1String("654321")));
}

void TestChannel::shellCommandGivesItsStandardOutput()
{
    QCOMPARE(m_window->executeLinuxCmd(QStringLiteral("echo out; echo err >&2")), QStringLiteral("out\n"));
    QCOMPARE(m_window->executeLinuxCmd(QStringLiteral("no-such-command-here")), QString());
}

QTEST_MAIN(TestChannel)
#include "tst_channel.moc"
