// Every way an operation can end other than by its own reply, for the operations that hold a
// secret or show the busy panel: the panel goes, the channel is free, the secrets are gone, and
// the one message never tells of a success the key did not confirm.
#include "app/commands.h"
#include "app/mainwindow.h"
#include "common/fakebackend.h"
#include "common/modalhelper.h"
#include "common/simharness.h"
#include "common/windowaccess.h"
#include "ui/waitingdialog.h"

#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>

#include <csignal>
#include <memory>

namespace {

enum class End { TimedOut, BackendDies, ReplyCutOff, GivenUp };

const char kSecret[] = "246810";

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

QPushButton* button(QWidget* dialog, const char* name)
{
    return dialog->findChild<QPushButton*>(QLatin1String(name));
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
    void resetIsResentOnlyToTheSameKey_data();
    void resetIsResentOnlyToTheSameKey();
    void unplugDuringResetTouchShowsNoKey();

private:
    void startOperation(MainWindow& window, const Operation& operation);
    void checkEnded(MainWindow& window, ModalHelper& modal);
    std::unique_ptr<SimHarness> m_sim;
};

void TestOperations::cleanup()
{
    QCOMPARE(visibleDialogCount(), 0);
}

// As the flows do: the busy panel first, the secrets held, then the line.
void TestOperations::startOperation(MainWindow& window, const Operation& operation)
{
    Access::waiting(window)->show(&window, QStringLiteral("please wait"));
    Access::holdSecrets(window, QLatin1String(kSecret));
    window.cmdSend(operation.line, operation.type);
}

void TestOperations::checkEnded(MainWindow& window, ModalHelper& modal)
{
    QTRY_VERIFY_WITH_TIMEOUT(modal.idle(), 15000);
    QVERIFY(!Access::waiting(window)->isShowing());
    QVERIFY(!Access::lockHeld(window));
    QCOMPARE(g_currItem, 0);
    QVERIFY(Access::heldSecrets(window).isEmpty());
    QCOMPARE(modal.seen().size(), 1);
    QVERIFY(modal.seen().first().title != QLatin1String("Success"));
    QVERIFY(modal.lastText().contains(QLatin1String("backend")) ||
            modal.lastText().contains(QLatin1String("did not confirm")));
}

void TestOperations::unconfirmedEnd_data()
{
    QTest::addColumn<int>("end");
    QTest::addColumn<int>("operation");
    const QList<QPair<const char*, End>> ends = {{"time-out", End::TimedOut},
                                                 {"backend dies", End::BackendDies},
                                                 {"reply cut off", End::ReplyCutOff},
                                                 {"backend given up", End::GivenUp}};
    for (const auto& end : ends)
        for (int i = 0; i < operations().size(); ++i)
            QTest::addRow("%s, %s", end.first, operations().at(i).name) << int(end.second) << i;
}

void TestOperations::unconfirmedEnd()
{
    QFETCH(int, end);
    QFETCH(int, operation);
    const Operation op = operations().at(operation);
    const bool dies = End(end) == End::BackendDies;
    if (dies)
        m_sim = std::make_unique<SimHarness>();
    FakeBackend backend(End(end) == End::GivenUp ? QStringLiteral("die") : QStringLiteral("record"));
    MainWindow window(nullptr, dies ? SimHarness::simPath() : backend.program());
    ModalHelper modal;
    if (End(end) == End::GivenUp) {
        modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
        QTRY_VERIFY_WITH_TIMEOUT(!Access::backendAlive(window), 15000);
        QTRY_VERIFY(modal.idle());
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
    checkEnded(window, modal);
    if (dies)
        QTRY_COMPARE(m_sim->receivedLines().count(QStringLiteral(" monitor start")), 2);
    m_sim.reset();
}

// The restarted backend's start-up report is not the reply of the command it lost: with
// kvman-sim the slot stays empty and no success is shown.
void TestOperations::backendDiesMidCommandAndItsStartupReplyIsNotTheAnswer()
{
    SimHarness sim;
    MainWindow window(nullptr, SimHarness::simPath());
    ModalHelper modal;
    QVERIFY(sim.waitUntilReady());
    QTRY_VERIFY(g_currInterface != 0);
    QVERIFY(sim.control(QStringLiteral("misbehave hang")).startsWith(QLatin1String("ok")));
    startOperation(window, {"otp put", Cmd::otpList(), CmdType::OtpPut});
    QTRY_COMPARE(sim.receivedLines().size(), 2);
    QVERIFY(Access::lockHeld(window));
    modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    ::kill(pid_t(Access::backendPid(window)), SIGKILL);
    QTRY_COMPARE(sim.receivedLines(), (QStringList{" monitor start", "otp list", " monitor start"}));
    checkEnded(window, modal);
    QVERIFY(modal.lastText().startsWith(QLatin1String("The key manager backend stopped and was restarted.")));
    // What the new backend reports on its own reaches the device handling only.
    QTRY_VERIFY(g_currInterface != 0);
    QCOMPARE(modal.seen().size(), 1);
}

// A reply arriving while a question is open neither rewrites it nor answers it.
void TestOperations::replyWhileAQuestionIsOpenWaits()
{
    FakeBackend backend;
    MainWindow window(nullptr, backend.program());
    ModalHelper modal;
    QTRY_COMPARE(backend.receivedLines().size(), 1);
    isfidoHavePin = true;
    QString questionText;
    modal.actWhenShown(QStringLiteral("DialogMessage"), [&](QWidget* question) {
        Access::reply(window, QStringLiteral("{\"SW\":\"6A80\",\"INFO\":\"late failure\"}"), 7);
        questionText = question->findChild<QLabel*>(QStringLiteral("label_message"))->text();
        button(question, "cancel")->click();
    });
    modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    QMetaObject::invokeMethod(&window, "on_reset_clicked");
    QTRY_VERIFY(modal.idle());
    QVERIFY(questionText.startsWith(QLatin1String("All FIDO related credentials will be removed")));
    QCOMPARE(modal.seen().size(), 2);
    QCOMPARE(modal.lastText(), QStringLiteral("late failure"));
    QCOMPARE(backend.receivedLines(), QStringList{" monitor start"});
}

void TestOperations::resetIsResentOnlyToTheSameKey_data()
{
    QTest::addColumn<bool>("sameKey");
    QTest::newRow("same key") << true;
    QTest::newRow("another key") << false;
}

void TestOperations::resetIsResentOnlyToTheSameKey()
{
    QFETCH(bool, sameKey);
    SimHarness sim;
    MainWindow window(nullptr, SimHarness::simPath());
    ModalHelper modal;
    QVERIFY(sim.waitUntilReady());
    QTRY_VERIFY(g_currInterface != 0); // the start-up report has been read
    window.cmdSend(Cmd::deviceInfo(), CmdType::DeviceInfo);
    QTRY_VERIFY(g_insreted);
    QVERIFY(sim.control(QStringLiteral("fido clock +11")).startsWith(QLatin1String("ok")));
    modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    QMetaObject::invokeMethod(&window, "on_reset_clicked");
    QTRY_COMPARE(Access::waiting(window)->text(),
                 QStringLiteral("Remove and re-insert your VELMORA FIDO Security Key ..."));
    QCOMPARE(sim.control(QStringLiteral("unplug")), QStringLiteral("ok keys=0"));
    if (!sameKey)
        QVERIFY(sim.control(QStringLiteral("model R22")).startsWith(QLatin1String("ok")));
    modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    QCOMPARE(sim.control(QStringLiteral("plug")), QStringLiteral("ok keys=1"));
    QTRY_VERIFY(modal.idle());
    QCOMPARE(modal.lastText(), sameKey ? QStringLiteral("Reset successfully.")
                                       : QStringLiteral("This is not the key that was being reset, so it was not "
                                                        "reset.\nTo reset this key, start the reset again."));
    QCOMPARE(sim.receivedLines().count(QStringLiteral("fido reset")), sameKey ? 2 : 1);
    // Either way the window shows the key that is present.
    QTRY_VERIFY(g_insreted);
    QVERIFY(!Access::waiting(window)->isShowing());
}

void TestOperations::unplugDuringResetTouchShowsNoKey()
{
    SimHarness sim;
    MainWindow window(nullptr, SimHarness::simPath());
    ModalHelper modal;
    QVERIFY(sim.waitUntilReady());
    QTRY_VERIFY(g_currInterface != 0); // the start-up report has been read
    window.cmdSend(Cmd::deviceInfo(), CmdType::DeviceInfo);
    QTRY_VERIFY(g_insreted);
    QVERIFY(sim.control(QStringLiteral("touch manual")).startsWith(QLatin1String("ok")));
    modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    QMetaObject::invokeMethod(&window, "on_reset_clicked");
    QTRY_VERIFY(sim.control(QStringLiteral("status")).contains(QLatin1String("touch_pending=yes")));
    modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    QCOMPARE(sim.control(QStringLiteral("unplug")), QStringLiteral("ok keys=0"));
    QTRY_VERIFY(modal.idle());
    QVERIFY(modal.lastText().startsWith(QLatin1String("The key was removed before the reset was confirmed.")));
    QCOMPARE(window.findChild<QStackedWidget*>(QStringLiteral("contentPage"))->currentIndex(), 1);
    QVERIFY(!Access::waiting(window)->isShowing());
    QVERIFY(!Access::lockHeld(window));
}

QTEST_MAIN(TestOperations)
#include "tst_operations.moc"
