// Resetting FIDO2, across the re-plug the key asks for when it has been powered too long.
#include "app/commands.h"
#include "fidowindow.h"

#include <QStackedWidget>

namespace {

const QString kTouch = QStringLiteral("  Please touch your VELMORA FIDO Security Key ... ");
const QString kReplug = QStringLiteral("Remove and re-insert your VELMORA FIDO Security Key ...");
const QByteArray kRemoved = "{\"SW\":\"80900001\"}";
const QByteArray kInserted = "{\"SW\":\"80900002\"}";

} // namespace

class TestFidoReset : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void cancelSendsNothing();
    void replugFlowEndsInSuccess();
    void failureKeepsPinState_data();
    void failureKeepsPinState();
    void replugTimesOut();

private:
    // Opens the FIDO page of a key with a PIN and confirms the reset question.
    void confirmReset();
    int page() { return m_w->find<QStackedWidget>("contentPage")->currentIndex(); }

    FidoWindow* m_w = nullptr;
};

void TestFidoReset::init()
{
    isfidoHavePin = false;
    m_w = new FidoWindow;
    g_insreted = true;
    Access::setModel(m_w->window, QStringLiteral("R15"));
}

void TestFidoReset::cleanup()
{
    QVERIFY(m_w->modal.idle());
    delete m_w;
    QCOMPARE(visibleDialogCount(), 0);
}

void TestFidoReset::confirmReset()
{
    m_w->click("fido");
    m_w->reply(status("9000"), CmdType::FidoPinRetries);
    QCOMPARE(m_w->text("fidoSetPIN1"), QStringLiteral("Change PIN"));
    m_w->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    m_w->click("reset1");
    QCOMPARE(m_w->modal.seen().last().title, QStringLiteral("Reset FIDO"));
    QCOMPARE(m_w->modal.lastText(), QStringLiteral("All FIDO related credentials will be removed, continue ? "));
    QTRY_COMPARE(m_w->sent(), (QStringList{" fido get_pin_retries ", "fido reset"}));
    QCOMPARE(m_w->busyText(), kTouch);
    QVERIFY(Access::resetting(m_w->window));
}

void TestFidoReset::cancelSendsNothing()
{
    m_w->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("cancel"));
    m_w->click("reset");
    QVERIFY(!Access::resetting(m_w->window));
    QVERIFY(!m_w->busy());
    m_w->window.cmdSend(QStringLiteral("probe"), CmdType::Dropped6);
    QTRY_COMPARE(m_w->sent(), QStringList{"probe"});
}

void TestFidoReset::replugFlowEndsInSuccess()
{
    confirmReset();
    Access::fidoPin(m_w->window) = QStringLiteral("1234");
    m_w->reply(status("30"), CmdType::FidoReset);
    QCOMPARE(m_w->busyText(), kReplug);
    QVERIFY(Access::resetting(m_w->window));
    QVERIFY(Access::fidoPin(m_w->window).isEmpty());
    QCOMPARE(m_w->modal.seen().size(), 1); // only the question: the busy panel says the rest

    // Pulling the key out is what was asked for: the page and the prompt stay.
    m_w->reply(kRemoved, CmdType::FidoReset);
    QCOMPARE(page(), 3);
    QCOMPARE(m_w->busyText(), kReplug);

    m_w->reply(kInserted, CmdType::FidoReset);
    QTRY_COMPARE(m_w->sent().mid(1), (QStringList{"fido reset", "fido reset"}));
    QCOMPARE(m_w->busyText(), kTouch);

    m_w->answerMessage();
    m_w->reply(status("9000"), CmdType::FidoReset);
    QCOMPARE(m_w->modal.seen().last().title, QStringLiteral("Success"));
    QCOMPARE(m_w->modal.lastText(), QStringLiteral("Reset successfully."));
    QVERIFY(!m_w->busy());
    QVERIFY(!Access::resetting(m_w->window));
    QVERIFY(!isfidoHavePin);
    QCOMPARE(m_w->text("fidoSetPIN"), QStringLiteral("Set PIN"));
    QCOMPARE(m_w->text("fidoSetPIN1"), QStringLiteral("Set PIN"));

    // The next credential action asks for a PIN to be set first.
    m_w->answerMessage();
    m_w->click("enumCre1");
    QCOMPARE(m_w->modal.lastText(), QStringLiteral("Please set pin first. "));
}

void TestFidoReset::failureKeepsPinState_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("message");
    QTest::newRow("with INFO") << status("6F00", "Not touched") << "Not touched";
    QTest::newRow("without INFO") << status("6F00") << "Other error.Please try again or replug...";
}

void TestFidoReset::failureKeepsPinState()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, message);
    confirmReset();
    m_w->answerMessage();
    m_w->reply(reply, CmdType::FidoReset);
    QCOMPARE(m_w->modal.seen().last().title, QStringLiteral("Warning"));
    QCOMPARE(m_w->modal.lastText(), message);
    QVERIFY(!m_w->busy());
    QVERIFY(!Access::resetting(m_w->window));
    QVERIFY(isfidoHavePin);
    QCOMPARE(m_w->text("fidoSetPIN1"), QStringLiteral("Change PIN"));
}

void TestFidoReset::replugTimesOut()
{
    confirmReset();
    m_w->reply(status("30"), CmdType::FidoReset);
    m_w->reply(kRemoved, CmdType::FidoReset);
    QCOMPARE(page(), 3);

    m_w->answerMessage();
    emit Access::waiting(m_w->window)->operationTimedout();
    QCOMPARE(m_w->modal.lastText(), QStringLiteral("Operation time out."));
    QVERIFY(!Access::resetting(m_w->window));
    QCOMPARE(page(), 1); // the removal's no-key handling, skipped during the wait, runs now

    // A later insertion is an ordinary one: no reset is sent.
    m_w->reply(kInserted, CmdType::FidoReset);
    m_w->window.cmdSend(QStringLiteral("probe"), CmdType::Dropped6);
    QTRY_COMPARE(m_w->sent().mid(1), (QStringList{"fido reset", "probe"}));
}

QTEST_MAIN(TestFidoReset)
#include "tst_fidoui_reset.moc"
