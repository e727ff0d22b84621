#include "common/testwindow.h"
#include "ui/waitingdialog.h"

#include <QLoggingCategory>
#include <QtTest>

#include <memory>

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
    void init() { m_w = std::make_unique<TestWindow>(); }
    void cleanup();
    void commandAskedWhileOneIsInFlightWaitsItsTurn();
    void fullQueueIsRefusedWithAMessage();
    void oneReplyWhateverTheBytes_data();
    void oneReplyWhateverTheBytes();
    void mergedRepliesAreAllDispatched();
    void floodOfPresenceEventsEndsInTheLastState();
    void lineWithLineBreakIsNeverWritten();
    void exitStopsMonitorThenExits();
    void secretsNeverReachTheLog();
    void credentialListIsSummarisedInTheLog();
    void shellCommandGivesItsStandardOutput();

private:
    // Sends a command and waits until the backend has it: commands wait out the start-up report.
    void sendAndWait(const QString& line, int type);
    // The debug log written while `run` runs.
    static QString logOf(const std::function<void()>& run);

    std::unique_ptr<TestWindow> m_w;
};

void TestChannel::cleanup()
{
    QVERIFY(m_w->modal.idle());
    m_w.reset();
}

void TestChannel::sendAndWait(const QString& line, int type)
{
    m_w->window.cmdSend(line, type);
    QTRY_COMPARE(m_w->lastSent(), line);
}

QString TestChannel::logOf(const std::function<void()>& run)
{
    captured.clear();
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=true"));
    const QtMessageHandler previous = qInstallMessageHandler(capture);
    run();
    qInstallMessageHandler(previous);
    return captured.join(QLatin1Char('\n'));
}

// A command is never lost because another is in flight: it goes out once the first is answered,
// and the first reply reaches the first command's handler (type 7 has none: the generic report).
void TestChannel::commandAskedWhileOneIsInFlightWaitsItsTurn()
{
    sendAndWait("first", 7);
    m_w->window.cmdSend("second", CmdType::Dropped6);
    QCOMPARE(g_currItem, 7);
    QCOMPARE(m_w->sent(), QStringList{"first"});

    m_w->answer({"ok"});
    m_w->answerFromBackend("{\"SW\":\"9000\"}");
    QTRY_VERIFY(m_w->modal.idle());
    QCOMPARE(m_w->lastMessage(), QStringLiteral("Other error.Please try again or replug..."));
    QTRY_COMPARE(m_w->sent(), (QStringList{"first", "second"}));
    QCOMPARE(g_currItem, int(CmdType::Dropped6));
}

void TestChannel::fullQueueIsRefusedWithAMessage()
{
    sendAndWait("first", 7);
    for (int i = 0; i < BackendChannel::kMaxQueued; ++i)
        m_w->window.cmdSend("queued", 7);
    Access::waiting(m_w->window)->show(&m_w->window, QStringLiteral("busy"));
    m_w->answer({"ok"});
    m_w->window.cmdSend("one too many", 7);
    QTRY_VERIFY(m_w->modal.idle());
    QVERIFY(m_w->lastMessage().startsWith("Another operation is still running."));
    QVERIFY(!m_w->busy());
    QCOMPARE(m_w->sent(), QStringList{"first"});
}

// Blanks and warnings are no answer, a reply object on standard error is one, and a reply cut in
// two is joined: the command stays in flight until its whole reply comes, and gets one report.
void TestChannel::oneReplyWhateverTheBytes_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("onStderr");
    QTest::addRow("blank lines") << QByteArray(" \r\n\t \n") << QByteArray("{\"SW\":\"6A80\",\"INFO\":\"answer\"}\n")
                                 << false;
    QTest::addRow("standard error") << QByteArray("warning: something the backend wanted to say\n")
                                    << QByteArray("{\"SW\":\"6A80\",\"INFO\":\"answer\"}\n") << true;
    QTest::addRow("split") << QByteArray("{\"SW\":\"6A80\",\"IN") << QByteArray("FO\":\"answer\"}\n") << false;
}

void TestChannel::oneReplyWhateverTheBytes()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, reply);
    QFETCH(bool, onStderr);
    sendAndWait("first", 7);
    onStderr ? m_w->backend.writeStderr(before) : m_w->backend.writeStdout(before);
    QCoreApplication::processEvents();
    QVERIFY(!m_w->channelFree());
    m_w->answer({"ok"});
    onStderr ? m_w->backend.writeStderr(reply) : m_w->backend.writeStdout(reply);
    QTRY_VERIFY(m_w->modal.idle());
    QCOMPARE(m_w->messages(), QStringList{"Warning / answer"});
    QVERIFY(m_w->channelFree());
}

// A device event and a reply read at once: both are handled, and the event does not end the
// command in flight.
void TestChannel::mergedRepliesAreAllDispatched()
{
    sendAndWait("first", 7);
    m_w->answer({"ok"});
    m_w->backend.writeStdout("{\"SW\":\"80900002\"}{\"SW\":\"6A80\",\"INFO\":\"two\"}");
    QTRY_VERIFY(m_w->modal.idle());
    QCOMPARE(m_w->messages(), QStringList{"Warning / two"});
    QVERIFY(!m_w->widget("btn_getdeviceinfo")->isHidden());
    QVERIFY(m_w->channelFree());
}

// Only the first removal and the last event of a flood are handled: the removal still ends what
// the gone key held, and the window shows the key that is there now.
void TestChannel::floodOfPresenceEventsEndsInTheLastState()
{
    Access::fidoPin(m_w->window) = QStringLiteral("1234");
    QByteArray flood;
    for (int i = 0; i < 1000; ++i)
        flood += "{\"SW\":\"80900001\"}{\"SW\":\"80900002\"}";
    m_w->backend.writeStdout(flood);
    QTRY_VERIFY(!m_w->widget("btn_getdeviceinfo")->isHidden());
    QVERIFY(m_w->heldSecrets().isEmpty());
}

void TestChannel::lineWithLineBreakIsNeverWritten()
{
    m_w->answer({"ok"});
    m_w->window.cmdSend("otp list\nexit", CmdType::OtpList);
    QTRY_VERIFY(m_w->modal.idle());
    QVERIFY(m_w->lastMessage().startsWith("A line break can't be sent to the key."));
    QVERIFY(m_w->channelFree());
    sendAndWait("otp list", CmdType::OtpList);
    QCOMPARE(m_w->sent(), QStringList{"otp list"});
}

void TestChannel::exitStopsMonitorThenExits()
{
    m_w->window.on_exit_clicked();
    QTRY_COMPARE(m_w->backend.received(), QByteArray(" monitor start\nmonitor stop\nexit\n"));
}

void TestChannel::secretsNeverReachTheLog()
{
    const QString log = logOf([this] { sendAndWait(Cmd::pivChangePin("123456", "654321"), CmdType::PivChangePin); });
    QVERIFY(log.contains("piv change-pin"));
    QVERIFY(!log.contains("123456") && !log.contains("654321"));
}

// The dispatcher logs the first part of a reply as read; a credential list only summarised.
void TestChannel::credentialListIsSummarisedInTheLog()
{
    const QString log = logOf([this] {
        m_w->answer({"ok"});
        sendAndWait("first", CmdType::FidoListCredentials);
        m_w->answerFromBackend(
            "{\"SW\":\"6F00\",\"INFO\":\"no\",\"DATA\":[{\"USER_NAME\":\"alice\",\"CREDENTIAL_ID\":\"A1B2C3D4\"}]}");
        QTRY_VERIFY(m_w->modal.idle());
    });
    QVERIFY(log.contains("1 records, credential IDs A1B2..."));
    QVERIFY(!log.contains("alice") && !log.contains("A1B2C3D4"));
}

void TestChannel::shellCommandGivesItsStandardOutput()
{
    QCOMPARE(m_w->window.executeLinuxCmd("echo out; echo err >&2"), QStringLiteral("out\n"));
    QCOMPARE(m_w->window.executeLinuxCmd("no-such-command-here"), QString());
}

QTEST_MAIN(TestChannel)
#include "tst_channel.moc"
