// The FIDO2 page's PIN state: setting or changing the PIN, failures, and a reset whose re-plug
// never comes (the successful re-plug runs end to end against the simulated key).
#include "fidowindow.h"

#include <QStackedWidget>

namespace {

const QString kStock = QStringLiteral("Other error.Please try again or replug...");

} // namespace

class TestFidoPin : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_w.reset(new FidoWindow(false)); }
    void cleanup() { finish(m_w); }
    void pinRetriesReply();
    void setChangeAndFailures();
    void cancelSendsNothing();
    void replugTimesOut();

private:
    int page() { return m_w->find<QStackedWidget>("contentPage")->currentIndex(); }
    // A failure reply to a busy window that remembers a PIN: warned, not busy, PIN forgotten.
    void failure(const QByteArray& reply, int type, const QString& message);

    std::unique_ptr<FidoWindow> m_w;
};

void TestFidoPin::failure(const QByteArray& reply, int type, const QString& message)
{
    Access::fidoPin(m_w->window) = QStringLiteral("1234");
    m_w->answerMessage();
    m_w->reply(reply, type);
    QCOMPARE(m_w->modal.seen().last().title, QStringLiteral("Warning"));
    QCOMPARE(m_w->modal.lastText(), message);
    QVERIFY(!m_w->busy());
    QVERIFY(Access::fidoPin(m_w->window).isEmpty());
}

void TestFidoPin::pinRetriesReply()
{
    m_w->reply("{\"SW\":\"9000\",\"DATA\":{\"RETRIES\":\"8\"}}", CmdType::FidoPinRetries);
    QVERIFY(isfidoHavePin);
    QCOMPARE(m_w->pinButtons(), QStringLiteral("Change PIN"));
    m_w->reply(status("6F00", "busy"), CmdType::FidoPinRetries); // anything else changes nothing
    QVERIFY(isfidoHavePin);
    QCOMPARE(m_w->pinButtons(), QStringLiteral("Change PIN"));
    m_w->reply(status("35"), CmdType::FidoPinRetries);
    QVERIFY(!isfidoHavePin);
    QCOMPARE(m_w->pinButtons(), QStringLiteral("Set PIN"));
}

void TestFidoPin::setChangeAndFailures()
{
    m_w->reply(status("35"), CmdType::FidoPinRetries);
    m_w->modal.actWhenShown(QStringLiteral("changePIN"),
                            [](QWidget* d) { fillChangePin(d, QString::fromUtf8("pä55"), QString::fromUtf8("pä55")); });
    m_w->click("fidoSetPIN1");
    QTRY_COMPARE(m_w->sent(), QStringList{" fido set-pin -p 70c3a43535"});
    QCOMPARE(m_w->busyText(), QStringLiteral("Setting PIN, please wait ..."));
    failure(status("6F00", "PIN too short"), CmdType::FidoSetPin, QStringLiteral("PIN too short"));
    QVERIFY(!isfidoHavePin);
    QCOMPARE(m_w->pinButtons(), QStringLiteral("Set PIN"));
    m_w->answerMessage();
    m_w->reply(status("9000"), CmdType::FidoSetPin);
    QCOMPARE(m_w->modal.lastText(), QStringLiteral("Set PIN successfully."));
    QVERIFY(isfidoHavePin);
    QCOMPARE(m_w->pinButtons(), QStringLiteral("Change PIN"));

    m_w->modal.actWhenShown(QStringLiteral("changePIN"), [](QWidget* d) { fillChangePin(d, "1234", "abcd", "abcd"); });
    m_w->click("fidoSetPIN");
    QTRY_COMPARE(m_w->sent().value(1), QStringLiteral(" fido change-pin -p 31323334 -n 61626364"));
    QCOMPARE(m_w->busyText(), QStringLiteral("Changing PIN, please wait ..."));
    failure("kaput", CmdType::FidoChangePin, kStock);
    m_w->answerMessage();
    m_w->reply(status("9000"), CmdType::FidoChangePin);
    QCOMPARE(m_w->modal.lastText(), QStringLiteral("Change PIN successfully."));
    Access::resetting(m_w->window) = true;
    failure(status("6F00"), CmdType::FidoReset, kStock);
    QVERIFY(!Access::resetting(m_w->window));
    QVERIFY(isfidoHavePin);
    QCOMPARE(m_w->pinButtons(), QStringLiteral("Change PIN"));
}

void TestFidoPin::cancelSendsNothing()
{
    m_w->modal.clickWhenShown(QStringLiteral("changePIN"), QStringLiteral("Cancel"));
    m_w->click("fidoSetPIN");
    isfidoHavePin = true;
    answerPin(m_w->modal, QString());
    m_w->click("enumCre");
    m_w->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("cancel"));
    m_w->click("reset");
    QVERIFY(!Access::resetting(m_w->window));
    QVERIFY(!m_w->busy());
    m_w->expectSentBeforeProbe({});
}

// The key refuses the reset (0x30) and is pulled out as asked, but never comes back.
void TestFidoPin::replugTimesOut()
{
    Access::setModel(m_w->window, QStringLiteral("R15"));
    m_w->click("fido");
    QCOMPARE(page(), 3); // the fingerprint model's page
    m_w->reply(status("9000"), CmdType::FidoPinRetries);
    m_w->answerMessage();
    m_w->click("reset1");
    QCOMPARE(m_w->modal.lastText(), QStringLiteral("All FIDO related credentials will be removed, continue ? "));
    QTRY_COMPARE(m_w->sent(), (QStringList{" fido get_pin_retries ", "fido reset"}));
    QCOMPARE(m_w->busyText(), QStringLiteral("  Please touch your VELMORA FIDO Security Key ... "));
    m_w->reply(status("30"), CmdType::FidoReset);
    m_w->reply("{\"SW\":\"80900001\"}", CmdType::FidoReset);
    QCOMPARE(page(), 3);
    QCOMPARE(m_w->busyText(), QStringLiteral("Remove and re-insert your VELMORA FIDO Security Key ..."));
    QVERIFY(Access::resetting(m_w->window));

    m_w->answerMessage();
    emit Access::waiting(m_w->window)->operationTimedout();
    QCOMPARE(m_w->modal.lastText(), QStringLiteral("Operation time out."));
    QVERIFY(!Access::resetting(m_w->window));
    QCOMPARE(page(), 1); // the removal's no-key handling, skipped during the wait, runs now
    // A later insertion is an ordinary one: no reset is sent.
    m_w->reply("{\"SW\":\"80900002\"}", CmdType::FidoReset);
    m_w->expectSentBeforeProbe({" fido get_pin_retries ", "fido reset"});
}

QTEST_MAIN(TestFidoPin)
#include "tst_fidoui_pin.moc"
