// Every way an operation can end other than by its own reply, for the operations that hold a
// secret or show the busy panel: the panel goes, the channel is free, the secrets are gone, and
// the one message never tells of a success the key did not confirm.
#include "app/page.h"
#include "common/simharness.h"
#include "common/testwindow.h"
#include "ui/waitingdialog.h"

#include <QLabel>
#include <QtTest>

#include <csignal>
#include <memory>

namespace {

enum class End { TimedOut, BackendDies, ReplyCutOff, GivenUp };

const char kSecret[] = "246810";

const char kDied[] = "The key manager backend stopped and was restarted.\nThe key did not confirm";

struct Operation
{
    const char* name;
    QString line;
    int type;
};

QList<Operation> operations()
{
    return {
        {"fido change-pin", Cmd::fidoChangePin(kSecret, "13579"), CmdType::FidoChangePin},
        {"fido set-pin", Cmd::fidoSetPin(kSecret), CmdType::FidoSetPin},
        {"fido reset", Cmd::fidoReset(), CmdType::FidoReset},
        {"piv change-pin", Cmd::pivChangePin(kSecret, "135790"), CmdType::PivChangePin},
        {"piv change-puk", Cmd::pivChangePuk(kSecret, "13579024"), CmdType::PivChangePuk},
        {"piv delete-certificate", Cmd::pivDeleteCertificate("9a", kSecret, kSecret), CmdType::PivDeleteCertificate},
        {"piv reset", Cmd::pivReset(), CmdType::PivReset},
        {"otp put", Cmd::otpList(), CmdType::OtpPut},
    };
}

} // namespace

class TestOperations : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void unconfirmedEnd_data();
    void unconfirmedEnd();
    void backendDiesMidCommandAndItsStartupReplyIsNotTheAnswer();
    void replyWhileAQuestionIsOpenWaits();
    void unplugDuringResetTouchShowsNoKey();

private:
    void startOperation(MainWindow& window, const Operation& operation);
    // Checks the one message shown starts with `message`.
    void checkEnded(MainWindow& window, ModalHelper& modal, const QString& message);
    std::unique_ptr<SimHarness> m_sim;
};

void TestOperations::cleanup()
{
    QCOMPARE(visibleDialogCount(), 0);
}

// As the flows do: the busy panel (or the fingerprint dialog) first, the secrets held, then the line.
void TestOperations::startOperation(MainWindow& window, const Operation& operation)
{
    Access::waiting(window)->show(&window, QStringLiteral("please wait"));
    Access::regFinger(window)->show();
    Access::holdSecrets(window, QLatin1String(kSecret));
    window.cmdSend(operation.line, operation.type);
}

void TestOperations::checkEnded(MainWindow& window, ModalHelper& modal, const QString& message)
{
    QTRY_VERIFY_WITH_TIMEOUT(modal.idle(), 15000);
    QVERIFY(!Access::waiting(window)->isShowing());
    QVERIFY(!Access::regFinger(window)->isVisible());
    QVERIFY(!Access::lockHeld(window));
    QCOMPARE(g_currItem, 0);
    QVERIFY(Access::heldSecrets(window).isEmpty());
    QCOMPARE(modal.seen().size(), 1);
    QVERIFY2(modal.lastText().startsWith(message), qPrintable(modal.lastText()));
}

void TestOperations::unconfirmedEnd_data()
{
    QTest::addColumn<int>("end");
    QTest::addColumn<int>("operation");
    QTest::addColumn<QString>("message"); // the first words of the one message the end gives
    const struct
    {
        const char* name;
        End end;
        const char* message;
    } ends[] = {
        {"time-out", End::TimedOut, "Operation time out.\nThe key did not confirm the operation."},
        {"backend dies", End::BackendDies, kDied},
        {"reply cut off", End::ReplyCutOff,
         "The answer of the key manager backend was cut off.\nThe key did not confirm"},
        {"backend given up", End::GivenUp, "The key manager backend is not available, nothing was sent to the key:\n"},
    };
    // A cut-off reply and a given-up backend each take seconds of the window's own waiting: the
    // ending is the same for every operation, so two of them stand for the rest.
    const QList<QByteArray> slowEndOperations = {"fido reset", "otp put"};
    const auto slow = [](End end) { return end == End::ReplyCutOff || end == End::GivenUp; };
    for (const auto& end : ends)
        for (int i = 0; i < operations().size(); ++i)
            if (!slow(end.end) || slowEndOperations.contains(operations().at(i).name))
                QTest::addRow("%s, %s", end.name, operations().at(i).name) << int(end.end) << i << QString(end.message);
}

void TestOperations::unconfirmedEnd()
{
    QFETCH(int, end);
    QFETCH(int, operation);
    QFETCH(QString, message);
    const Operation op = operations().at(operation);
    const bool dies = End(end) == End::BackendDies;
    if (dies)
        m_sim = std::make_unique<SimHarness>();
    FakeBackend backend(End(end) == End::GivenUp ? QStringLiteral("die") : QStringLiteral("record"));
    MainWindow window(nullptr, dies ? SimHarness::simPath() : backend.program());
    ModalHelper modal;
    if (End(end) == End::GivenUp) {
        modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
        // A backend that keeps dying is restarted a few times, then given up and reported once.
        QTRY_VERIFY_WITH_TIMEOUT(!Access::backendAlive(window), 15000);
        QVERIFY(backend.starts() >= 2 && backend.starts() <= 8);
        QTRY_VERIFY(modal.idle());
        QCOMPARE(modal.seen().size(), 1);
        QVERIFY(modal.lastText().contains(backend.program()));
        modal.clearSeen();
    }
    if (dies) {
        QVERIFY(m_sim->waitUntilReady());
        QTRY_VERIFY(g_currInterface != 0); // the start-up report has been read
        QVERIFY(m_sim->control(QStringLiteral("misbehave die")).startsWith(QLatin1String("ok")));
    }
    modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    startOperation(window, op);
    if (End(end) == End::TimedOut) {
        QTRY_COMPARE(backend.receivedLines().size(), 2);
        emit Access::waiting(window)->operationTimedout();
        // The hung backend is replaced: a late answer can't be taken for the next command's.
        QTRY_COMPARE(backend.starts(), 2);
    } else if (End(end) == End::ReplyCutOff) {
        QTRY_COMPARE(backend.receivedLines().size(), 2);
        backend.writeStdout("{\"SW\":\"9000\",\"INFO\":\"cut");
    }
    checkEnded(window, modal, message);
    if (dies)
        QTRY_COMPARE(m_sim->receivedLines().count(QStringLiteral(" monitor start")), 2);
    m_sim.reset();
}

// The restarted backend's start-up report is not the reply of the command it lost: with
// kvman-sim the slot stays empty and no success is shown.
void TestOperations::backendDiesMidCommandAndItsStartupReplyIsNotTheAnswer()
{
    SimHarness sim;
    TestWindow w(SimHarness::simPath());
    QVERIFY(sim.waitUntilReady());
    QTRY_VERIFY(g_currInterface != 0);
    QVERIFY(sim.control("misbehave hang").startsWith("ok"));
    startOperation(w.window, {"otp put", Cmd::otpList(), CmdType::OtpPut});
    QTRY_COMPARE(sim.receivedLines().size(), 2);
    QVERIFY(!w.channelFree());
    w.answer({"ok"});
    ::kill(pid_t(Access::backendPid(w.window)), SIGKILL);
    QTRY_COMPARE(sim.receivedLines(), (QStringList{" monitor start", "otp list", " monitor start"}));
    checkEnded(w.window, w.modal, kDied);
    // What the new backend reports on its own reaches the device handling only.
    QTRY_VERIFY(g_currInterface != 0);
    QCOMPARE(w.messages().size(), 1);
}

// A reply arriving while a question is open neither rewrites it nor answers it.
void TestOperations::replyWhileAQuestionIsOpenWaits()
{
    TestWindow w;
    isfidoHavePin = true;
    QString questionText;
    w.modal.actWhenShown("DialogMessage", [&](QWidget* question) {
        w.reply(Reply::status("6A80", "late failure"), 7);
        questionText = question->findChild<QLabel*>("label_message")->text();
        question->findChild<QAbstractButton*>("cancel")->click();
    });
    w.answer({"ok"});
    QMetaObject::invokeMethod(&w.window, "on_reset_clicked");
    QTRY_VERIFY(w.modal.idle());
    QVERIFY(questionText.startsWith("All FIDO related credentials will be removed"));
    QCOMPARE(w.messages().size(), 2);
    QCOMPARE(w.lastMessage(), QStringLiteral("late failure"));
    QVERIFY(w.sent().isEmpty());
}

void TestOperations::unplugDuringResetTouchShowsNoKey()
{
    SimHarness sim;
    TestWindow w(SimHarness::simPath());
    QVERIFY(sim.waitUntilReady());
    QTRY_VERIFY(g_currInterface != 0); // the start-up report has been read
    w.window.cmdSend(Cmd::deviceInfo(), CmdType::DeviceInfo);
    QTRY_VERIFY(g_insreted);
    QVERIFY(sim.control("touch manual").startsWith("ok"));
    w.answer({"ok"});
    QMetaObject::invokeMethod(&w.window, "on_reset_clicked");
    QTRY_VERIFY(sim.control("status").contains("touch_pending=yes"));
    w.answer({"ok"});
    QCOMPARE(sim.control("unplug"), QStringLiteral("ok keys=0"));
    QTRY_VERIFY(w.modal.idle());
    QVERIFY(w.lastMessage().startsWith("The key was removed before the reset was confirmed."));
    QCOMPARE(w.page(), int(Page::NoKey));
    QVERIFY(!w.busy());
    QVERIFY(w.channelFree());
}

QTEST_MAIN(TestOperations)
#include "tst_operations.moc"
