// The home page, the key events and the application and transport switches on the recording
// stand-in backend. The flows that join up go end to end in tests/e2e.
#include "app/json.h"
#include "app/keyreport.h"
#include "app/page.h"
#include "common/testwindow.h"
#include "device/menulook.h"
#include "support/protocol.h"

#include <QCheckBox>
#include <QLabel>
#include <QtTest>

#include <memory>

namespace {

const char kOldFirmware[] = "{\"SW\":\"9000\",\"DATA\":[{\"COS_VERSION\":\"1.0.00\",\"SERIAL_NUMBER\":\"00000000\"}]}";
const char kPrefixed[] = "{\"SW\":\"9000\",\"DATA\":[{\"NAME_OF_KEY\":\"Prefixed\",\"MODULE_ID\":\"R3\"}]}";
const char kGeneric[] = "Other error.Please try again or replug...";
const char kNoKey[] = "No VELMORA FIDO Security Key Inserted";
const char kInserted[] = "VELMORA FIDO Security Key Inserted";
const QString kSwitched = QStringLiteral("Success / Application switch successful.");

} // namespace

class TestDevice : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_w = std::make_unique<TestWindow>(); }
    void cleanup();

    void removalAndSeveralKeysResetTheWindow_data();
    void removalAndSeveralKeysResetTheWindow();
    void details_data();
    void details();
    void keyTexts_data();
    void keyTexts();
    void otpAloneLeavesOtpMenuDisabled();
    void startupReplySetsApplicationsAndForgetsThePin();
    void fallbackReplies_data();
    void fallbackReplies();
    void keyEventClosesOpenMessage_data();
    void keyEventClosesOpenMessage();
    void timeOut_data();
    void timeOut();

    void firstSwitchLine_data();
    void firstSwitchLine();
    void switchReplies_data();
    void switchReplies();
    void transportSwitchAcrossReplug();

private:
    bool hidden(const QString& name) const { return m_w->widget(name)->isHidden(); }
    bool enabled(const QString& name) const { return m_w->widget(name)->isEnabled(); }
    bool checked(const QString& name) const { return m_w->widget<QCheckBox>(name)->isChecked(); }
    // Shows a key of model R3, whose applications page is the one with the six boxes, makes the
    // wish ("-PIV +PGP") on that page and saves it.
    void save(const QString& application, const QString& wish);
    // The lines after the details request.
    QStringList switchLines() const { return m_w->sent().mid(1); }

    std::unique_ptr<TestWindow> m_w;
};

void TestDevice::cleanup()
{
    QVERIFY(m_w->modal.idle());
    m_w.reset();
}

// What the label then says is checked end to end.
void TestDevice::removalAndSeveralKeysResetTheWindow_data()
{
    QTest::addColumn<QString>("event");
    QTest::addRow("no key") << QString(Reply::kRemoved);
    QTest::addRow("several keys") << QString(Reply::kSeveral);
}

void TestDevice::removalAndSeveralKeysResetTheWindow()
{
    QFETCH(QString, event);
    m_w->showKey("FIDO+CCID+OTP", "FIDO2U2F+PIV+OTP");
    m_w->widget<QLabel>("keyname_top")->setText(QStringLiteral("Kestra FIDO Plus"));
    Access::holdSecrets(m_w->window, QStringLiteral("1234"));
    m_w->window.cmdSend(Cmd::pivChangePin("123456", "654321"), CmdType::PivChangePin);
    // The event comes while a PIN prompt is up: the prompt goes with the key.
    m_w->modal.actWhenShown("changePIN", [&](QWidget*) { m_w->reply(event); });
    QVERIFY(Access::askChangePin(m_w->window).isEmpty());
    QVERIFY(!g_insreted);
    QVERIFY(m_w->channelFree());
    QCOMPARE(visibleDialogCount(), 0);
    QVERIFY(m_w->heldSecrets().isEmpty());
    QCOMPARE(g_currInterface, quint16(0));
    QCOMPARE(m_w->page(), int(Page::NoKey));
    QCOMPARE(m_w->text("keyname_top"), QString());
    QVERIFY(hidden("btn_getdeviceinfo"));
    QVERIFY(!enabled("application") && !enabled("interface_2"));
    // The looks follow: the menus read as off, not merely refuse clicks.
    for (const char* menu : {"application", "interface_2"})
        QCOMPARE(m_w->widget(menu)->styleSheet(), QLatin1String(MenuLook::kTopLevelDisabled));
    QVERIFY(Access::model(m_w->window).isEmpty());
    QVERIFY(!checked("isFIDO2"));
}

// The home page and the key report after a details reply that follows an earlier one: what the
// new reply lacks is cleared, and old firmware's placeholder version and serial are hidden. Long
// replies skip repeated records and look for the last name from the end; what is shown must stay
// as if every record were read in turn.
void TestDevice::details_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("model");
    QTest::addColumn<int>("mask");
    const QString full = Reply::details("FIDO", "FIDO2");
    const auto row = [](const char* name, QString before, QString reply, const char* key, const char* serial,
                        const char* model,
                        int mask) { QTest::addRow("%s", name) << before << reply << key << serial << model << mask; };
    row("old firmware", full, kOldFirmware, "Kestra FIDO Plus", "", "R15", 0);
    row("new firmware again", kOldFirmware, full, "Kestra FIDO Plus", "4C7D13A8", "R15", AppFido2);
    row("keys matched by prefix", full, kPrefixed, "Prefixed", "", "R3", 0);
    const auto records = [](const QStringList& list) { return "{\"SW\":\"9000\",\"DATA\":[" + list.join(',') + "]}"; };
    const QString pivA = "{\"NAME\":\"A\",\"APPLICATION\":\"PIV\"}";
    const QString ndefA = "{\"NAME\":\"A\",\"APPLICATION\":\"NDEF\"}";
    const QString ndefB = "{\"NAME\":\"B\",\"APPLICATION\":\"NDEF\"}";
    const int both = AppPiv | AppNdef;
    row("later record", full, records({pivA, ndefB}), "B", "", "R15", both);
    row("repeated, then a value changes", full, records({pivA, pivA, ndefA}), "A", "", "R15", both);
    row("back to an earlier record", full, records({pivA, ndefB, pivA}), "A", "", "R15", both);
}

void TestDevice::details()
{
    QFETCH(QString, before);
    QFETCH(QString, reply);
    QFETCH(QString, name);
    QFETCH(QString, serial);
    QFETCH(QString, model);
    QFETCH(int, mask);
    m_w->reply(before, CmdType::DeviceInfo);
    m_w->reply(reply, CmdType::DeviceInfo);
    QCOMPARE(m_w->page(), int(Page::Home));
    QCOMPARE(m_w->text("keyname"), name);
    QCOMPARE(m_w->text("snValue"), serial);
    QCOMPARE(m_w->text("cosValue"), serial.isEmpty() ? "" : "4.3.11");
    QCOMPARE(m_w->text("pidValue"), serial.isEmpty() ? "" : "0x0F15&0x3E5C");
    QCOMPARE(hidden("label_12"), reply == kOldFirmware);
    QCOMPARE(hidden("label_17"), reply == kOldFirmware);
    QCOMPARE(Access::model(m_w->window), model);
    QCOMPARE(int(g_currInterface), mask);
    QVERIFY(enabled("application") && enabled("interface_2"));
    // The report names the key by the exact field only.
    if (reply == kPrefixed)
        return;
    KeyReport report;
    for (const QString& text : {before, reply}) {
        const QByteArray bytes = text.toUtf8();
        const char* cursor = bytes.constData();
        report.noteReply(CmdType::DeviceInfo, JSON().Parse(cursor));
    }
    QCOMPARE(report.toJson(QDateTime()).value("device").toObject().value("name").toString(), name);
}

// The menus, boxes and application bits a key's transport and application texts give.
void TestDevice::keyTexts_data()
{
    QTest::addColumn<QString>("transport");
    QTest::addColumn<QString>("application");
    QTest::addColumn<int>("mask");
    QTest::addColumn<QString>("menus");
    const auto row = [](const char* name, const char* transport, const char* application, int mask, const char* menus) {
        QTest::addRow("%s", name) << transport << application << mask << menus;
    };
    row("keyboard alone", "OTP", "FIDO2U2F+PIV+OTP", 0x27, "");
    row("fido and keyboard", "FIDO+OTP", "FIDO2U2F+PIV+OTP", 0x27, "fido otp");
    row("all three", "FIDO+CCID+OTP", "FIDO2U2F+PIV+OTP", 0x27, "fido piv otp");
    row("no keyboard", "FIDO+CCID", "FIDO2U2F+PIV+OTP", 0x07, "fido piv");
    row("separate FIDO2 and U2F", "FIDO+CCID", "FIDO2+U2F+NDEF", 0x13, "fido piv");
    row("case matters", "FIDO+CCID", "fido2+Piv+OPENPGP", 0x08, "fido piv");
    row("empty parts kept", "FIDO+CCID", "+PIV++", 0x04, "fido piv");
}

void TestDevice::keyTexts()
{
    QFETCH(QString, transport);
    QFETCH(QString, application);
    QFETCH(int, mask);
    QFETCH(QString, menus);
    m_w->showKey(transport, application);
    QCOMPARE(int(g_currInterface), mask);
    for (const QString menu : {"fido", "piv", "otp"})
        QCOMPARE(enabled(menu), menus.contains(menu));
    QCOMPARE(checked("isfido_p"), transport.contains("FIDO"));
    QCOMPARE(checked("isccid_p"), transport.contains("CCID"));
    QCOMPARE(checked("isotp_p"), transport.contains("OTP"));
    QCOMPARE(checked("isOTP"), bool(mask & AppOtp));
    QCOMPARE(hidden("isotp"), !(mask & AppOtp));
    QCOMPARE(hidden("ispiv"), !(mask & AppPiv));
}

// OTP as the only application leaves nothing to manage on the OTP page; beside another, it has.
void TestDevice::otpAloneLeavesOtpMenuDisabled()
{
    m_w->showKey("FIDO+CCID+OTP", "OTP");
    m_w->click("application");
    QVERIFY(checked("isOTP"));
    QVERIFY(!enabled("otp") && !enabled("fido"));
    m_w->showKey("FIDO+CCID+OTP", "FIDO2+OTP");
    m_w->click("application");
    QVERIFY(enabled("otp"));
}

void TestDevice::startupReplySetsApplicationsAndForgetsThePin()
{
    Access::fidoPin(m_w->window) = QStringLiteral("1234");
    m_w->reply("{\"SW\":\"9000\",\"DATA\":[{\"TRANSPORT\":\"FIDO+CCID+OTP\",\"APPLICATION\":\"FIDO2U2F+PIV\"}]}",
               CmdType::Startup);
    QCOMPARE(g_currInterface, quint16(0x07));
    QVERIFY(checked("isPIV"));
    QVERIFY(Access::fidoPin(m_w->window).isEmpty());
}

// Replies no handler claims, or that are no reply at all, end the busy panel with one warning.
void TestDevice::fallbackReplies_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("message");
    QTest::addRow("dropped type") << Reply::status("6A80", "x") << int(CmdType::Dropped6) << "";
    QTest::addRow("type outside the table") << Reply::status("9000", "said") << 77 << "said";
    QTest::addRow("not an object") << "Segmentation fault" << 11 << kGeneric;
    QTest::addRow("runaway INFO is cut") << Reply::status("6A80", QString(600, 'x')) << 7 << QString(512, 'x') + "...";
}

void TestDevice::fallbackReplies()
{
    QFETCH(QString, text);
    QFETCH(int, type);
    QFETCH(QString, message);
    Access::waiting(m_w->window)->show(&m_w->window, QStringLiteral("busy"));
    if (!message.isEmpty())
        m_w->answer({"ok"});
    m_w->reply(text, type);
    QCOMPARE(m_w->messages(), message.isEmpty() ? QStringList() : QStringList{"Warning / " + message});
    QCOMPARE(m_w->busy(), message.isEmpty());
    Access::waiting(m_w->window)->hide();
}

// A message left open is about the key before: a key plugged in closes it, as do the details of
// a key that came.
void TestDevice::keyEventClosesOpenMessage_data()
{
    QTest::addColumn<QString>("event");
    QTest::addColumn<int>("type");
    QTest::addRow("plug") << QString(Reply::kPlugged) << 0;
    QTest::addRow("details") << Reply::details("FIDO", "FIDO2") << int(CmdType::DeviceInfo);
}

void TestDevice::keyEventClosesOpenMessage()
{
    QFETCH(QString, event);
    QFETCH(int, type);
    m_w->showKey("FIDO+CCID+OTP", "FIDO2U2F+PIV");
    bool closed = false;
    m_w->modal.actWhenShown("DialogMessage", [&](QWidget* message) {
        m_w->reply(event, type);
        closed = !message->isVisible();
        message->close();
    });
    m_w->reply(Reply::status("6A80", "failure"), 7);
    QVERIFY(closed);
    QCOMPARE(m_w->page(), int(Page::Home));
}

// A plugged key waits for the user's "Click here to continue", and details that failed leave it
// unread; a time-out then resets the window, with a key read it only tells.
void TestDevice::timeOut_data()
{
    QTest::addColumn<bool>("keyThere");
    QTest::addRow("no key") << false;
    QTest::addRow("key") << true;
}

void TestDevice::timeOut()
{
    QFETCH(bool, keyThere);
    m_w->reply(Reply::kPlugged, 0);
    QVERIFY(m_w->sent().isEmpty());
    if (keyThere)
        m_w->showKey("FIDO+CCID+OTP", "FIDO2U2F+PIV");
    else
        m_w->reply(Reply::status("6F00", "no key"), CmdType::DeviceInfo);
    QCOMPARE(g_insreted, keyThere);
    Access::switching(m_w->window) = true;
    m_w->answer({"ok"});
    emit Access::waiting(m_w->window)->operationTimedout();
    QCOMPARE(m_w->messages().size(), 1);
    QVERIFY(m_w->messages().value(0).startsWith("Information / Operation time out.\n"));
    QVERIFY(!Access::switching(m_w->window));
    QCOMPARE(m_w->page(), int(keyThere ? Page::Home : Page::NoKey));
    QCOMPARE(m_w->text("label_24"), keyThere ? kInserted : kNoKey);
    QCOMPARE(hidden("btn_getdeviceinfo"), !keyThere);
}

void TestDevice::save(const QString& application, const QString& wish)
{
    m_w->showKey("FIDO+CCID+OTP", application, "R3");
    QTRY_COMPARE(m_w->sent(), QStringList{"monitor deviceinfo"});
    m_w->click("interface_2");
    QCOMPARE(m_w->page(), int(Page::Applications));
    for (const QString& change : wish.split(' ', Qt::SkipEmptyParts))
        m_w->widget<QCheckBox>("is" + change.mid(1))->setChecked(change.startsWith('+'));
    m_w->click(wish.contains("_p") ? "save_protocol" : "save");
}

// What a save button writes first for a wish on the applications page, or for the boxes of the
// transports page ("-fido_p"), which writes at once without a busy panel.
void TestDevice::firstSwitchLine_data()
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
    row("FIDO group off", "FIDO2U2F+PIV", "-FIDO2 -U2F", "device set_transport -s 40", "");
    row("unchanged", "FIDO2", "", "", kSwitched);
    const QString none = "Warning /  Make sure at least one protocol is available.";
    row("nothing on", "FIDO2", "-FIDO2", "", none);
    row("keyboard transport only", "FIDO2", "-fido_p -ccid_p", "device set_transport -s 10", "");
    row("all transports", "FIDO2", "+otp_p", "device set_transport -s 70", "");
    row("FIDO and CCID transports", "FIDO2", "-otp_p", "device set_transport -s 60", "");
    row("no transport", "FIDO2", "-otp_p -fido_p -ccid_p", "", none);
}

void TestDevice::firstSwitchLine()
{
    QFETCH(QString, application);
    QFETCH(QString, wish);
    QFETCH(QString, line);
    QFETCH(QString, message);
    if (!message.isEmpty())
        m_w->answer({"ok"});
    save(application, wish);
    QCOMPARE(m_w->messages(), message.isEmpty() ? QStringList() : QStringList{message});
    QTRY_COMPARE(switchLines(), line.isEmpty() ? QStringList() : QStringList{line});
    const bool panel = !line.isEmpty() && !wish.contains("_p");
    QCOMPARE(m_w->busyText(), panel ? "Switching application, please wait ..." : "");
}

// The key's answer to a switch; a refusal shows the key's state again, not the refused wish.
void TestDevice::switchReplies_data()
{
    QTest::addColumn<QString>("application");
    QTest::addColumn<QString>("wish");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("mask");
    const int app = CmdType::DeviceSetApplication;
    QTest::newRow("switched") << "FIDO2+PIV"
                              << "-PIV +PGP" << app << QString(Reply::kOk) << kSwitched << 0x09;
    QTest::newRow("not installed") << "FIDO2+PIV"
                                   << "-PIV +PGP" << app << Reply::status("6A82")
                                   << "Warning / Application not install, switch fail." << 0x05;
    QTest::newRow("other failure") << "FIDO2+PIV"
                                   << "-PIV +PGP" << app << Reply::status("6F00", "x")
                                   << "Warning / Application switch fail." << 0x05;
    QTest::newRow("transport refused") << "FIDO2"
                                       << "+PIV" << int(CmdType::DeviceSetTransport) << Reply::status("6F00")
                                       << "Warning / Protocol switch fail." << 0x01;
}

void TestDevice::switchReplies()
{
    QFETCH(QString, application);
    QFETCH(QString, wish);
    QFETCH(int, type);
    QFETCH(QString, reply);
    QFETCH(QString, message);
    QFETCH(int, mask);
    save(application, wish);
    m_w->answer({"ok"});
    m_w->reply(reply, type);
    QCOMPARE(m_w->messages(), QStringList{message});
    QVERIFY(!m_w->busy());
    QVERIFY(!Access::switching(m_w->window));
    QCOMPARE(checked("isPIV"), bool(mask & AppPiv));
    QCOMPARE(checked("isPGP"), bool(mask & AppOpenPgp));
    QCOMPARE(m_w->page(), int(reply == Reply::kOk ? Page::Home : Page::Applications));
}

// A new transport needs a re-plug, during which a removal leaves the page; with no application
// to change, the key is then read again. The applications that follow go end to end.
void TestDevice::transportSwitchAcrossReplug()
{
    save("FIDO2+PIV", "+OTP");
    m_w->reply(Reply::kOk, CmdType::DeviceSetTransport);
    QCOMPARE(m_w->busyText(), QStringLiteral("Remove and re-insert your VELMORA FIDO Security Key ..."));
    m_w->reply(Reply::kRemoved, CmdType::DeviceSetTransport);
    QCOMPARE(m_w->page(), int(Page::Applications));
    m_w->answer({"ok"});
    m_w->reply(Reply::kPlugged, CmdType::DeviceSetTransport);
    QCOMPARE(m_w->messages(), QStringList{kSwitched});
    QTRY_COMPARE(switchLines(), (QStringList{"device set_transport -s 70", "monitor deviceinfo"}));
    QVERIFY(!Access::switching(m_w->window));
    QVERIFY(!m_w->busy());
}

QTEST_MAIN(TestDevice)
#include "tst_device.moc"
