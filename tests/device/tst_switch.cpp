#include "device/applicationswitch.h"
#include "devicewindow.h"

#include <QCheckBox>
#include <QPushButton>
#include <QStackedWidget>

class TestSwitch : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void plan_data();
    void plan();
    void applicationsChangeInPlace();
    void newTransportThenApplicationsAfterReplug();
    void transportsOnlyRereadsDetailsAfterOk();
    void unchangedSendsNothing();
    void nothingCheckedIsRefused();
    void transportsPage_data();
    void transportsPage();
    void applicationReplies_data();
    void applicationReplies();
    void failedTransportRestoresBoxes();
    void onlyOtpLeavesOtpMenuDisabled();

private:
    void showKey(const QString& application);
    void check(const char* box, bool on) { widget<QCheckBox>(m_window, box)->setChecked(on); }
    // The lines after the details request.
    QStringList sent() const { return m_key->sent().mid(1); }

    std::unique_ptr<DeviceWindow> m_key;
    MainWindow* m_window = nullptr;
    ModalHelper* m_modal = nullptr;
};

void TestSwitch::init()
{
    m_key = std::make_unique<DeviceWindow>();
    m_window = &m_key->window;
    m_modal = &m_key->modal;
    QTRY_COMPARE(m_key->backend.receivedLines().size(), 1);
}

void TestSwitch::cleanup()
{
    QVERIFY(m_modal->idle());
    m_key.reset();
}

// A key of model R3, whose applications page is the one with the six boxes.
void TestSwitch::showKey(const QString& application)
{
    m_key->showKey("FIDO+CCID+OTP", application, "R3");
    QTRY_COMPARE(m_key->sent().size(), 1);
    widget<QPushButton>(m_window, "interface_2")->click();
    QCOMPARE(m_key->page(), 12);
}

void TestSwitch::plan_data()
{
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("wanted");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("transports");
    QTest::newRow("PIV off, OpenPGP on") << 0x05 << 0x09 << 6 << 0x60;
    QTest::newRow("FIDO2 only, add PIV") << 0x01 << 0x05 << 7 << 0x60;
    QTest::newRow("FIDO2+PIV, add OTP") << 0x05 << 0x25 << 5 << 0x70;
    QTest::newRow("unchanged") << 0x3F << 0x3F << 4 << 0x70;
    QTest::newRow("FIDO group switched off") << 0x07 << 0x04 << 5 << 0x40;
    QTest::newRow("U2F added to FIDO2") << 0x01 << 0x03 << 6 << 0x20;
    QTest::newRow("NDEF alone from nothing") << 0x01 << 0x11 << 7 << 0x60;
}

void TestSwitch::plan()
{
    QFETCH(int, current);
    QFETCH(int, wanted);
    QFETCH(int, state);
    QFETCH(int, transports);
    const ApplicationSwitch s = ApplicationSwitch::plan(current, wanted);
    QCOMPARE(s.state, state);
    QCOMPARE(s.transports, transports);
}

void TestSwitch::applicationsChangeInPlace()
{
    showKey("FIDO2+PIV");
    check("isPIV", false);
    check("isPGP", true);
    widget<QPushButton>(m_window, "save")->click();
    QTRY_COMPARE(sent(), QStringList{"device set_application -s 9"});
    QCOMPARE(Access::waiting(*m_window)->text(), QStringLiteral("Switching application, please wait ..."));

    m_modal->clickWhenShown("DialogMessage", "ok");
    Access::reply(*m_window, kOk, CmdType::DeviceSetApplication);
    QVERIFY(m_modal->idle());
    QCOMPARE(m_modal->lastText(), QStringLiteral("Application switch successful."));
    QCOMPARE(g_currInterface, quint16(0x09));
    QCOMPARE(widget<QStackedWidget>(m_window, "contentPage")->currentIndex(), 0);
}

void TestSwitch::newTransportThenApplicationsAfterReplug()
{
    showKey("FIDO2");
    check("isPIV", true);
    widget<QPushButton>(m_window, "save")->click();
    QTRY_COMPARE(sent(), QStringList{"device set_transport -s 60"});

    Access::reply(*m_window, kOk, CmdType::DeviceSetTransport);
    QVERIFY(Access::switching(*m_window));
    QCOMPARE(Access::waiting(*m_window)->text(),
             QStringLiteral("Remove and re-insert your VELMORA FIDO Security Key ..."));
    Access::reply(*m_window, kRemoved, CmdType::DeviceSetTransport);
    QCOMPARE(widget<QStackedWidget>(m_window, "contentPage")->currentIndex(), 12);
    Access::reply(*m_window, kPlugged, CmdType::DeviceSetTransport);
    QTRY_COMPARE(sent(), (QStringList{"device set_transport -s 60", "device set_application -s 5"}));
    QVERIFY(!Access::switching(*m_window));
}

void TestSwitch::transportsOnlyRereadsDetailsAfterOk()
{
    showKey("FIDO2+PIV");
    check("isOTP", true);
    widget<QPushButton>(m_window, "save")->click();
    QTRY_COMPARE(sent(), QStringList{"device set_transport -s 70"});
    QCOMPARE(g_currProtocol, quint16(1));

    Access::reply(*m_window, kOk, CmdType::DeviceSetTransport);
    Access::reply(*m_window, kRemoved, CmdType::DeviceSetTransport);
    m_modal->clickWhenShown("DialogMessage", "ok");
    Access::reply(*m_window, kPlugged, CmdType::DeviceSetTransport);
    QVERIFY(m_modal->idle());
    QCOMPARE(m_modal->lastText(), QStringLiteral("Application switch successful."));
    QCOMPARE(g_currProtocol, quint16(0));
    QVERIFY(!Access::waiting(*m_window)->isShowing());
    QTRY_COMPARE(sent(), (QStringList{"device set_transport -s 70", "monitor deviceinfo"}));
}

void TestSwitch::unchangedSendsNothing()
{
    showKey("FIDO2+PIV");
    m_modal->clickWhenShown("DialogMessage", "ok");
    widget<QPushButton>(m_window, "save")->click();
    QVERIFY(m_modal->idle());
    QCOMPARE(m_modal->seen().last().title, QStringLiteral("Success"));
    QCOMPARE(m_modal->lastText(), QStringLiteral("Application switch successful."));
    QVERIFY(!Access::waiting(*m_window)->isShowing());
    QVERIFY(sent().isEmpty());
}

void TestSwitch::nothingCheckedIsRefused()
{
    showKey("FIDO2");
    check("isFIDO2", false);
    m_modal->clickWhenShown("DialogMessage", "ok");
    widget<QPushButton>(m_window, "save")->click();
    QVERIFY(m_modal->idle());
    QCOMPARE(m_modal->lastText(), QStringLiteral(" Make sure at least one protocol is available."));
    QVERIFY(sent().isEmpty());
}

void TestSwitch::transportsPage_data()
{
    QTest::addColumn<bool>("otp");
    QTest::addColumn<bool>("fido");
    QTest::addColumn<bool>("ccid");
    QTest::addColumn<QString>("line");
    QTest::newRow("keyboard only") << true << false << false << "device set_transport -s 10";
    QTest::newRow("all") << true << true << true << "device set_transport -s 70";
    QTest::newRow("fido and ccid") << false << true << true << "device set_transport -s 60";
}

void TestSwitch::transportsPage()
{
    QFETCH(bool, otp);
    QFETCH(bool, fido);
    QFETCH(bool, ccid);
    QFETCH(QString, line);
    showKey("FIDO2");
    check("isotp_p", otp);
    check("isfido_p", fido);
    check("isccid_p", ccid);
    widget<QPushButton>(m_window, "save_protocol")->click();
    QTRY_COMPARE(sent(), QStringList{line});
    QCOMPARE(g_currProtocol, quint16(1));
    QVERIFY(!Access::waiting(*m_window)->isShowing());
}

void TestSwitch::applicationReplies_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("message");
    QTest::newRow("not installed") << "{\"SW\":\"6A82\"}"
                                   << "Application not install, switch fail.";
    QTest::newRow("other failure") << "{\"SW\":\"6F00\",\"INFO\":\"x\"}"
                                   << "Application switch fail.";
}

void TestSwitch::applicationReplies()
{
    QFETCH(QString, reply);
    QFETCH(QString, message);
    showKey("FIDO2+PIV");
    check("isPIV", false);
    check("isPGP", true);
    widget<QPushButton>(m_window, "save")->click();
    m_modal->clickWhenShown("DialogMessage", "ok");
    Access::reply(*m_window, reply, CmdType::DeviceSetApplication);
    QVERIFY(m_modal->idle());
    QCOMPARE(m_modal->lastText(), message);
    // The boxes show the key's state again, not the refused wish.
    QVERIFY(widget<QCheckBox>(m_window, "isPIV")->isChecked());
    QVERIFY(!widget<QCheckBox>(m_window, "isPGP")->isChecked());
    QCOMPARE(g_currInterface, quint16(0x05));
}

void TestSwitch::failedTransportRestoresBoxes()
{
    showKey("FIDO2");
    check("isPIV", true);
    widget<QPushButton>(m_window, "save")->click();
    m_modal->clickWhenShown("DialogMessage", "ok");
    Access::reply(*m_window, "{\"SW\":\"6F00\"}", CmdType::DeviceSetTransport);
    QVERIFY(m_modal->idle());
    QCOMPARE(m_modal->lastText(), QStringLiteral("Protocol switch fail."));
    QVERIFY(!widget<QCheckBox>(m_window, "isPIV")->isChecked());
    QVERIFY(!Access::waiting(*m_window)->isShowing());
    QVERIFY(!Access::switching(*m_window));
}

void TestSwitch::onlyOtpLeavesOtpMenuDisabled()
{
    showKey("OTP");
    QCOMPARE(g_currInterface, quint16(0x20));
    widget<QPushButton>(m_window, "application")->click();
    QVERIFY(widget<QCheckBox>(m_window, "isOTP")->isChecked());
    QVERIFY(!widget(m_window, "otp")->isEnabled());
    QVERIFY(!widget(m_window, "fido")->isEnabled());
}

QTEST_MAIN(TestSwitch)
#include "tst_switch.moc"
