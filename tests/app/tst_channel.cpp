#include "app/commands.h"
#include "app/mainwindow.h"
#include "common/fakebackend.h"
#include "common/modalhelper.h"
#include "common/windowaccess.h"
#include "ui/waitingdialog.h"

#include <QLoggingCategory>
#include <QtTest>

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
    void commandAskedWhileOneIsInFlightWaitsItsTurn();
    void fullQueueIsRefusedWithAMessage();
    void blankOutputIsNotAReply();
    void standardErrorAnswersOnlyWithAnObject();
    void splitReplyIsJoined();
    void mergedRepliesAreAllDispatched();
    void floodOfPresenceEventsEndsInTheLastState();
    void replyThatNeverCompletesIsAFailure();
    void lineWithLineBreakIsNeverWritten();
    void exitStopsMonitorThenExits();
    void secretsNeverReachTheLog();
    void credentialListIsSummarisedInTheLog();
    void shellCommandGivesItsStandardOutput();

private:
    // Sends a command and waits until the backend has it: commands wait out the start-up report.
    void sendAndWait(const QString& line, int type);

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

void TestChannel::sendAndWait(const QString& line, int type)
{
    const int before = m_backend->receivedLines().size();
    m_window->cmdSend(line, type);
    QTRY_COMPARE(m_backend->receivedLines().size(), before + 1);
    QCOMPARE(m_backend->receivedLines().last(), line);
}

void TestChannel::firstLineIsMonitorStart()
{
    QCOMPARE(m_backend->received(), QByteArray(" monitor start\n"));
}

// A command is never lost because another is in flight: it goes out once the first is answered,
// and the first reply reaches the first command's handler (type 7 has none: the generic report).
void TestChannel::commandAskedWhileOneIsInFlightWaitsItsTurn()
{
    sendAndWait(QStringLiteral("first"), 7);
    m_window->cmdSend(QStringLiteral("second"), CmdType::Dropped6);
    QCOMPARE(g_currItem, 7);
    QCOMPARE(m_backend->receivedLines(), (QStringList{" monitor start", "first"}));

    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    m_backend->writeStdout("{\"SW\":\"9000\"}\n");
    QTRY_VERIFY(m_modal->idle());
    QCOMPARE(m_modal->lastText(), QStringLiteral("Other error.Please try again or replug..."));
    QTRY_COMPARE(m_backend->receivedLines(), (QStringList{" monitor start", "first", "second"}));
    QCOMPARE(g_currItem, int(CmdType::Dropped6));
}

void TestChannel::fullQueueIsRefusedWithAMessage()
{
    sendAndWait(QStringLiteral("first"), 7);
    for (int i = 0; i < BackendChannel::kMaxQueued; ++i)
        m_window->cmdSend(QStringLiteral("queued"), 7);
    Access::waiting(*m_window)->show(m_window, QStringLiteral("busy"));
    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    m_window->cmdSend(QStringLiteral("one too many"), 7);
    QTRY_VERIFY(m_modal->idle());
    QVERIFY(m_modal->lastText().startsWith(QLatin1String("Another operation is still running.")));
    QVERIFY(!Access::waiting(*m_window)->isShowing());
    QCOMPARE(m_backend->receivedLines(), (QStringList{" monitor start", "first"}));
}

// Blanks are no answer: the command stays in flight until its reply comes.
void TestChannel::blankOutputIsNotAReply()
{
    sendAndWait(QStringLiteral("first"), 7);
    m_backend->writeStdout(" \r\n\t \n");
    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    m_backend->writeStdout("{\"SW\":\"6A80\",\"INFO\":\"the answer\"}\n");
    QTRY_VERIFY(m_modal->idle());
    QCOMPARE(m_modal->seen().size(), 1);
    QCOMPARE(m_modal->lastText(), QStringLiteral("the answer"));
    QVERIFY(!Access::lockHeld(*m_window));
}

// A warning line on standard error is a diagnostic; a reply object there is an answer.
void TestChannel::standardErrorAnswersOnlyWithAnObject()
{
    sendAndWait(QStringLiteral("first"), 7);
    m_backend->writeStderr("warning: something the backend wanted to say\n");
    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    m_backend->writeStderr("{\"SW\":\"6A80\",\"INFO\":\"from stderr\"}\n");
    QTRY_VERIFY(m_modal->idle());
    QCOMPARE(m_modal->seen().size(), 1);
    QCOMPARE(m_modal->lastText(), QStringLiteral("from stderr"));
}

void TestChannel::splitReplyIsJoined()
{
    sendAndWait(QStringLiteral("first"), 7);
    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    m_backend->writeStdout("{\"SW\":\"6A80\",\"IN");
    QCoreApplication::processEvents();
    QVERIFY(Access::lockHeld(*m_window));
    m_backend->writeStdout("FO\":\"joined\"}\n");
    QTRY_VERIFY(m_modal->idle());
    QCOMPARE(m_modal->seen().size(), 1);
    QCOMPARE(m_modal->lastText(), QStringLiteral("joined"));
}

// A device event and a reply read at once: both are handled, and the event does not end the
// command in flight.
void TestChannel::mergedRepliesAreAllDispatched()
{
    sendAndWait(QStringLiteral("first"), 7);
    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    m_backend->writeStdout("{\"SW\":\"80900002\"}{\"SW\":\"6A80\",\"INFO\":\"two\"}");
    QTRY_VERIFY(m_modal->idle());
    QCOMPARE(m_modal->seen().size(), 1);
    QCOMPARE(m_modal->lastText(), QStringLiteral("two"));
    QVERIFY(m_window->findChild<QWidget*>(QStringLiteral("btn_getdeviceinfo"))->isVisibleTo(m_window));
    QVERIFY(!Access::lockHeld(*m_window));
}

// Only the first removal and the last event of a flood are handled: the removal still ends what
// the gone key held, and the window shows the key that is there now.
void TestChannel::floodOfPresenceEventsEndsInTheLastState()
{
    Access::fidoPin(*m_window) = QStringLiteral("1234");
    QByteArray flood;
    for (int i = 0; i < 1000; ++i)
        flood += "{\"SW\":\"80900001\"}{\"SW\":\"80900002\"}";
    m_backend->writeStdout(flood);
    auto* inserted = m_window->findChild<QWidget*>(QStringLiteral("btn_getdeviceinfo"));
    QTRY_VERIFY(inserted->isVisibleTo(m_window));
    QVERIFY(Access::fidoPin(*m_window).isEmpty());
}

// A truncated success is no success: the command fails, and the channel is free again.
void TestChannel::replyThatNeverCompletesIsAFailure()
{
    sendAndWait(QStringLiteral("first"), CmdType::PivExportCertificate);
    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    m_backend->writeStdout("{\"SW\":\"9000\",\"INFO\":\"trunc");
    QTRY_VERIFY_WITH_TIMEOUT(m_modal->idle(), 10000);
    QVERIFY(m_modal->lastText().startsWith(QLatin1String("The answer of the key manager backend was cut off.")));
    QVERIFY(!Access::lockHeld(*m_window));
}

void TestChannel::lineWithLineBreakIsNeverWritten()
{
    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    m_window->cmdSend(QStringLiteral("otp list\nexit"), CmdType::OtpList);
    QTRY_VERIFY(m_modal->idle());
    QVERIFY(m_modal->lastText().startsWith(QLatin1String("A line break can't be sent to the key.")));
    QVERIFY(!Access::lockHeld(*m_window));
    sendAndWait(QStringLiteral("otp list"), CmdType::OtpList);
    QCOMPARE(m_backend->receivedLines(), (QStringList{" monitor start", "otp list"}));
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
    sendAndWait(Cmd::pivChangePin("123456", "654321"), CmdType::PivChangePin);
    qInstallMessageHandler(previous);
    const QString log = captured.join(QLatin1Char('\n'));
    QVERIFY(log.contains(QLatin1String("piv change-pin")));
    QVERIFY(!log.contains(QLatin1String("123456")));
    QVERIFY(!log.contains(QLatin1String("654321")));
}

// The dispatcher logs the first part of a reply as read; a credential list only summarised.
void TestChannel::credentialListIsSummarisedInTheLog()
{
    captured.clear();
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=true"));
    const QtMessageHandler previous = qInstallMessageHandler(capture);
    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    sendAndWait(QStringLiteral("first"), CmdType::FidoListCredentials);
    m_backend->writeStdout(
        "{\"SW\":\"6F00\",\"INFO\":\"no\",\"DATA\":[{\"USER_NAME\":\"alice\",\"CREDENTIAL_ID\":\"A1B2C3D4\"}]}\n");
    QTRY_VERIFY(m_modal->idle());
    qInstallMessageHandler(previous);
    const QString log = captured.join(QLatin1Char('\n'));
    QVERIFY(log.contains(QLatin1String("1 records, credential IDs A1B2...")));
    QVERIFY(!log.contains(QLatin1String("alice")));
    QVERIFY(!log.contains(QLatin1String("A1B2C3D4")));
}

void TestChannel::shellCommandGivesItsStandardOutput()
{
    QCOMPARE(m_window->executeLinuxCmd(QStringLiteral("echo out; echo err >&2")), QStringLiteral("out\n"));
    QCOMPARE(m_window->executeLinuxCmd(QStringLiteral("no-such-command-here")), QString());
}

QTEST_MAIN(TestChannel)
#include "tst_channel.moc"
