#include "app/page.h"
#include "common/testwindow.h"

#include <QCheckBox>
#include <QtTest>

#include <memory>

namespace {

const char kSwitched[] = "Application switch successful.";

} // namespace

class TestSwitch : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_w = std::make_unique<TestWindow>(); }
    void cleanup();
    void firstLine_data();
    void firstLine();
    void applicationsChangeInPlace();
    void newTransportThenApplicationsAfterReplug();
    void transportsOnlyRereadsDetailsAfterOk();
    void transportsPage_data();
    void transportsPage();
    void applicationReplies_data();
    void applicationReplies();
    void failedTransportRestoresBoxes();
    void otpAloneLeavesOtpMenuDisabled();

private:
    // A key of model R3, whose applications page is the one with the six boxes.
    void showKey(const QString& application);
    // Shows the key, makes the wish ("-PIV +PGP") on the applications page and saves it.
    void save(const QString& application, const QString& wish);
    void check(const QString& box, bool on) { m_w->widget<QCheckBox>(box)->setChecked(on); }
    bool checked(const QString& box) const { return m_w->widget<QCheckBox>(box)->isChecked(); }
    // The lines after the details request.
    QStringList sent() const { return m_w->sent().mid(1); }

    std::unique_ptr<TestWindow> m_w;
};

void TestSwitch::cleanup()
{
    QVERIFY(m_w->modal.idle());
    m_w.reset();
}

void TestSwitch::showKey(const QString& application)
{
    m_w->showKey("FIDO+CCID+OTP", application, "R3");
    QTRY_COMPARE(m_w->sent().size(), 1);
    m_w->click("interface_2");
    QCOMPARE(m_w->page(), int(Page::Applications));
}

void TestSwitch::save(const QString& application, const QString& wish)
{
    showKey(application);
    for (const QString& change : wish.split(' ', Qt::SkipEmptyParts))
        check("is" + change.mid(1), change.startsWith('+'));
    m_w->click("save");
}

// What the save button writes first for a wish on the applications page.
void TestSwitch::firstLine_data()
{
    QTest::addColumn<QString>("application");
    QTest::addColumn<QString>("wish");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("message");
    const auto row = [](const char* name, const char* app, const char* wish, const char* line, QString message) {
        QTest::addRow("%s", name) << app << wish << line << message;
    };
    row("in place", "FIDO2+PIV", "-PIV +PGP", "device set_application -s 9", "");
    row("U2F added in place", "FIDO2", "+U2F", "device set_application -s 3", "");
    row("U2F without FIDO2", "PIV", "+U2F", "device set_transport -s 60", "");
    row("new transport first", "FIDO2", "+PIV", "device set_transport -s 60", "");
    row("transport only, OTP", "FIDO2+PIV", "+OTP", "device set_transport -s 70", "");
    row("FIDO group off", "FIDO2U2F+PIV", "-FIDO2 -U2F", "device set_transport -s 40", "");
    row("unchanged", "FIDO2", "", "", QStringLiteral("Success / ") + kSwitched);
    row("nothing on", "FIDO2", "-FIDO2", "", "Warning /  Make sure at least one protocol is available.");
}

void TestSwitch::firstLine()
{
    QFETCH(QString, application);
    QFETCH(QString, wish);
    QFETCH(QString, line);
    QFETCH(QString, message);
    if (!message.isEmpty())
        m_w->answer({"ok"});
    save(application, wish);
    QVERIFY(m_w->modal.idle());
    QCOMPARE(m_w->messages(), message.isEmpty() ? QStringList() : QStringList{message});
    QTRY_COMPARE(sent(), line.isEmpty() ? QStringList() : QStringList{line});
    QCOMPARE(m_w->busyText(), line.isEmpty() ? "" : "Switching application, please wait ...");
}

void TestSwitch::applicationsChangeInPlace()
{
    save("FIDO2+PIV", "-PIV +PGP");
    m_w->answer({"ok"});
    m_w->reply(Reply::kOk, CmdType::DeviceSetApplication);
    QVERIFY(m_w->modal.idle());
    QCOMPARE(m_w->messages(), QStringList{QStringLiteral("Success / ") + kSwitched});
    QVERIFY(!m_w->busy());
    QCOMPARE(g_currInterface, quint16(0x09));
    QCOMPARE(m_w->page(), int(Page::Home));
}

void TestSwitch::newTransportThenApplicationsAfterReplug()
{
    save("FIDO2", "+PIV");
    m_w->reply(Reply::kOk, CmdType::DeviceSetTransport);
    QCOMPARE(m_w->busyText(), QStringLiteral("Remove and re-insert your VELMORA FIDO Security Key ..."));
    m_w->reply(Reply::kRemoved, CmdType::DeviceSetTransport);
    QCOMPARE(m_w->page(), int(Page::Applications));
    m_w->reply(Reply::kPlugged, CmdType::DeviceSetTransport);
    QTRY_COMPARE(sent(), (QStringList{"device set_transport -s 60", "device set_application -s 5"}));
    QVERIFY(!Access::switching(m_w->window));
}

void TestSwitch::transportsOnlyRereadsDetailsAfterOk()
{
    save("FIDO2+PIV", "+OTP");
    m_w->reply(Reply::kOk, CmdType::DeviceSetTransport);
    m_w->reply(Reply::kRemoved, CmdType::DeviceSetTransport);
    m_w->answer({"ok"});
    m_w->reply(Reply::kPlugged, CmdType::DeviceSetTransport);
    QVERIFY(m_w->modal.idle());
    QCOMPARE(m_w->messages(), QStringList{QStringLiteral("Success / ") + kSwitched});
    QVERIFY(!m_w->busy());
    QTRY_COMPARE(sent(), (QStringList{"device set_transport -s 70", "monitor deviceinfo"}));
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
    QTest::newRow("none") << false << false << false << "";
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
    if (line.isEmpty())
        m_w->answer({"ok"});
    m_w->click("save_protocol");
    QVERIFY(m_w->modal.idle());
    QTRY_COMPARE(sent(), line.isEmpty() ? QStringList() : QStringList{line});
    QCOMPARE(m_w->messages().size(), int(line.isEmpty()));
}

void TestSwitch::applicationReplies_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("message");
    QTest::newRow("not installed") << Reply::status("6A82") << "Application not install, switch fail.";
    QTest::newRow("other failure") << Reply::status("6F00", "x") << "Application switch fail.";
}

void TestSwitch::applicationReplies()
{
    QFETCH(QString, reply);
    QFETCH(QString, message);
    save("FIDO2+PIV", "-PIV +PGP");
    m_w->answer({"ok"});
    m_w->reply(reply, CmdType::DeviceSetApplication);
    QVERIFY(m_w->modal.idle());
    QCOMPARE(m_w->messages(), QStringList{"Warning / " + message});
    QVERIFY(!m_w->busy());
    // The boxes show the key's state again, not the refused wish.
    QVERIFY(checked("isPIV") && !checked("isPGP"));
    QCOMPARE(g_currInterface, quint16(0x05));
}

void TestSwitch::failedTransportRestoresBoxes()
{
    save("FIDO2", "+PIV");
    m_w->answer({"ok"});
    m_w->reply(Reply::status("6F00"), CmdType::DeviceSetTransport);
    QVERIFY(m_w->modal.idle());
    QCOMPARE(m_w->messages(), QStringList{"Warning / Protocol switch fail."});
    QVERIFY(!checked("isPIV"));
    QVERIFY(!m_w->busy());
    QVERIFY(!Access::switching(m_w->window));
}

// OTP as the only application leaves nothing to manage on the OTP page; beside another, it has.
void TestSwitch::otpAloneLeavesOtpMenuDisabled()
{
    m_w->showKey("FIDO+CCID+OTP", "OTP");
    m_w->click("application");
    QVERIFY(checked("isOTP"));
    QVERIFY(!m_w->widget("otp")->isEnabled());
    QVERIFY(!m_w->widget("fido")->isEnabled());
    m_w->showKey("FIDO+CCID+OTP", "FIDO2+OTP");
    m_w->click("application");
    QVERIFY(m_w->widget("otp")->isEnabled());
}

QTEST_MAIN(TestSwitch)
#include "tst_switch.moc"
