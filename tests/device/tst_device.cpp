#include "devicewindow.h"

#include "app/json.h"
#include "app/keyreport.h"

#include <QCheckBox>
#include <QFrame>
#include <QPushButton>
#include <QStackedWidget>

class TestDevice : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void plugShowsContinueButWaitsForTheUser();
    void removalAndSeveralKeysResetTheWindow_data();
    void removalAndSeveralKeysResetTheWindow();
    void detailsFillTheHomePage();
    void oldFirmwareHidesVersionAndSerial();
    void detailKeysMatchByPrefix();
    void transportRules_data();
    void transportRules();
    void applicationMask_data();
    void applicationMask();
    void failedDetailsAreIgnored();
    void severalRecordsLastNameWinsApplicationsAddUp_data();
    void severalRecordsLastNameWinsApplicationsAddUp();
    void startupReplySetsApplications();

    void deviceEventOverridesCommandInFlight();
    void droppedTypesChangeNothing_data();
    void droppedTypesChangeNothing();
    void fallbackAndUnparsableRepliesGiveGenericText_data();
    void fallbackAndUnparsableRepliesGiveGenericText();
    void removalClosesOpenMessage();
    void removalClosesPinDialog();
    void removalDuringReplugKeepsWindow_data();
    void removalDuringReplugKeepsWindow();
    void timeOutWithoutKeyResetsWindow();
    void timeOutWithKeyOnlyTells();

private:
    void showKey(const QString& transport, const QString& application) { m_key->showKey(transport, application); }
    QStringList sentAfterStart() const { return m_key->sent(); }

    std::unique_ptr<DeviceWindow> m_key;
    MainWindow* m_window = nullptr;
    ModalHelper* m_modal = nullptr;
};

void TestDevice::init()
{
    m_key = std::make_unique<DeviceWindow>();
    m_window = &m_key->window;
    m_modal = &m_key->modal;
    QTRY_COMPARE(m_key->backend.receivedLines().size(), 1);
}

void TestDevice::cleanup()
{
    QVERIFY(m_modal->idle());
    m_key.reset();
}

void TestDevice::plugShowsContinueButWaitsForTheUser()
{
    Access::reply(*m_window, kPlugged, 0);
    QTRY_VERIFY(widget(m_window, "frame_state")->styleSheet().startsWith("image:url(:/new/prefix1/KEYINSERT.png);"));
    QCOMPARE(labelText(m_window, "label_24"), QStringLiteral("VELMORA FIDO Security Key Inserted"));
    QVERIFY(!widget(m_window, "btn_getdeviceinfo")->isHidden());
    QVERIFY(sentAfterStart().isEmpty());

    widget<QPushButton>(m_window, "btn_getdeviceinfo")->click();
    QTRY_COMPARE(sentAfterStart(), QStringList{"monitor deviceinfo"});
}

void TestDevice::removalAndSeveralKeysResetTheWindow_data()
{
    QTest::addColumn<QString>("event");
    QTest::addColumn<QString>("label");
    QTest::newRow("no key") << QString(kRemoved) << "No VELMORA FIDO Security Key Inserted";
    QTest::newRow("several keys") << QString(kSeveral) << "Multiable VELMORA FIDO Security Key Inserted";
}

void TestDevice::removalAndSeveralKeysResetTheWindow()
{
    QFETCH(QString, event);
    QFETCH(QString, label);
    showKey("FIDO+CCID+OTP", "FIDO2U2F+PIV+OTP");
    QVERIFY(g_insreted);
    Access::holdSecrets(*m_window, QStringLiteral("1234"));
    Access::reply(*m_window, event, 0);
    QVERIFY(!g_insreted);
    QVERIFY(Access::heldSecrets(*m_window).isEmpty());
    QCOMPARE(g_currInterface, quint16(0));
    QCOMPARE(widget<QStackedWidget>(m_window, "contentPage")->currentIndex(), 1);
    QCOMPARE(labelText(m_window, "label_24"), label);
    QTRY_VERIFY(widget(m_window, "frame_state")->styleSheet().startsWith("image:url(:/new/prefix1/KEYROME.png);"));
    QVERIFY(widget(m_window, "btn_getdeviceinfo")->isHidden());
    QVERIFY(!widget(m_window, "application")->isEnabled());
    QVERIFY(!widget(m_window, "interface_2")->isEnabled());
    QVERIFY(Access::model(*m_window).isEmpty());
    QVERIFY(!widget<QCheckBox>(m_window, "isFIDO2")->isChecked());
}

void TestDevice::detailsFillTheHomePage()
{
    showKey("FIDO+CCID+OTP", "FIDO2U2F+PIV+OPENPGP+OTP+NDEF");
    QCOMPARE(widget<QStackedWidget>(m_window, "contentPage")->currentIndex(), 0);
    QCOMPARE(labelText(m_window, "keyname"), QStringLiteral("Kestra FIDO Plus"));
    QCOMPARE(labelText(m_window, "pidValue"), QStringLiteral("0x0F15&0x3E5C"));
    QCOMPARE(labelText(m_window, "cosValue"), QStringLiteral("4.3.11"));
    QCOMPARE(labelText(m_window, "snValue"), QStringLiteral("4C7D13A8"));
    QCOMPARE(Access::model(*m_window), QStringLiteral("R15"));
    QVERIFY(widget(m_window, "application")->isEnabled());
    QVERIFY(widget(m_window, "interface_2")->isEnabled());
    QCOMPARE(g_currInterface, quint16(0x3F));
}

void TestDevice::oldFirmwareHidesVersionAndSerial()
{
    Access::reply(*m_window, "{\"SW\":\"9000\",\"DATA\":[{\"COS_VERSION\":\"1.0.00\",\"SERIAL_NUMBER\":\"00000000\"}]}",
                  CmdType::DeviceInfo);
    QVERIFY(widget(m_window, "label_12")->isHidden());
    QVERIFY(widget(m_window, "label_17")->isHidden());
    QVERIFY(labelText(m_window, "cosValue").isEmpty());
    QVERIFY(labelText(m_window, "snValue").isEmpty());
    Access::reply(*m_window, details("FIDO", "FIDO2"), CmdType::DeviceInfo);
    QVERIFY(!widget(m_window, "label_12")->isHidden());
    QVERIFY(!widget(m_window, "label_17")->isHidden());
}

void TestDevice::detailKeysMatchByPrefix()
{
    Access::reply(*m_window, "{\"SW\":\"9000\",\"DATA\":[{\"NAME_OF_KEY\":\"Prefixed\",\"MODULE_ID\":\"R3\"}]}",
                  CmdType::DeviceInfo);
    QCOMPARE(labelText(m_window, "keyname"), QStringLiteral("Prefixed"));
    QCOMPARE(Access::model(*m_window), QStringLiteral("R3"));
}

void TestDevice::transportRules_data()
{
    QTest::addColumn<QString>("transport");
    QTest::addColumn<bool>("fido");
    QTest::addColumn<bool>("piv");
    QTest::addColumn<bool>("otpMenu");
    QTest::addColumn<bool>("isOTP");
    QTest::newRow("keyboard alone") << "OTP" << false << false << false << true;
    QTest::newRow("fido and keyboard") << "FIDO+OTP" << true << false << true << true;
    QTest::newRow("all three") << "FIDO+CCID+OTP" << true << true << true << true;
    QTest::newRow("no keyboard") << "FIDO+CCID" << true << true << false << false;
}

void TestDevice::transportRules()
{
    QFETCH(QString, transport);
    QFETCH(bool, fido);
    QFETCH(bool, piv);
    QFETCH(bool, otpMenu);
    QFETCH(bool, isOTP);
    showKey(transport, "FIDO2U2F+PIV+OTP");
    QCOMPARE(widget(m_window, "fido")->isEnabled(), fido);
    QCOMPARE(widget(m_window, "piv")->isEnabled(), piv);
    QCOMPARE(widget(m_window, "otp")->isEnabled(), otpMenu);
    QCOMPARE(widget<QCheckBox>(m_window, "isOTP")->isChecked(), isOTP);
    QCOMPARE(widget<QCheckBox>(m_window, "isfido_p")->isChecked(), fido);
    QCOMPARE(widget<QCheckBox>(m_window, "isccid_p")->isChecked(), piv);
    QCOMPARE(widget<QCheckBox>(m_window, "isotp_p")->isChecked(), isOTP);
}

void TestDevice::applicationMask_data()
{
    QTest::addColumn<QString>("application");
    QTest::addColumn<int>("mask");
    QTest::newRow("FIDO2U2F+PIV") << "FIDO2U2F+PIV" << 0x07;
    QTest::newRow("separate FIDO2 and U2F") << "FIDO2+U2F+NDEF" << 0x13;
    QTest::newRow("OTP without keyboard transport") << "FIDO2+OTP" << 0x01;
    QTest::newRow("case matters") << "fido2+Piv+OPENPGP" << 0x08;
    QTest::newRow("empty parts kept") << "+PIV++" << 0x04;
}

void TestDevice::applicationMask()
{
    QFETCH(QString, application);
    QFETCH(int, mask);
    showKey("FIDO+CCID", application);
    QCOMPARE(int(g_currInterface), mask);
    QCOMPARE(widget(m_window, "ispiv")->isHidden(), !(mask & 0x04));
}

void TestDevice::failedDetailsAreIgnored()
{
    Access::reply(*m_window, kPlugged, 0);
    Access::reply(*m_window, "{\"SW\":\"6F00\",\"INFO\":\"no key\"}", CmdType::DeviceInfo);
    QVERIFY(!g_insreted);
    QCOMPARE(widget<QStackedWidget>(m_window, "contentPage")->currentIndex(), 1);
    QCOMPARE(visibleDialogCount(), 0);
}

// Long replies skip repeated records and look for the last name from the end; what is shown and
// reported must stay as if every record were read in turn.
void TestDevice::severalRecordsLastNameWinsApplicationsAddUp_data()
{
    QTest::addColumn<QString>("records");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("mask");
    const QString pivA = "{\"NAME\":\"A\",\"APPLICATION\":\"PIV\"}";
    const QString ndefA = "{\"NAME\":\"A\",\"APPLICATION\":\"NDEF\"}";
    const QString ndefB = "{\"NAME\":\"B\",\"APPLICATION\":\"NDEF\"}";
    QTest::newRow("later record") << pivA + "," + ndefB << "B" << 0x14;
    QTest::newRow("repeated, then a value changes") << pivA + "," + pivA + "," + ndefA << "A" << 0x14;
    QTest::newRow("back to an earlier record") << pivA + "," + ndefB + "," + pivA << "A" << 0x14;
}

void TestDevice::severalRecordsLastNameWinsApplicationsAddUp()
{
    QFETCH(QString, records);
    QFETCH(QString, name);
    QFETCH(int, mask);
    const QString reply = "{\"SW\":\"9000\",\"DATA\":[" + records + "]}";
    Access::reply(*m_window, reply, CmdType::DeviceInfo);
    QCOMPARE(labelText(m_window, "keyname"), name);
    QCOMPARE(int(g_currInterface), mask);
    const QByteArray bytes = reply.toUtf8();
    const char* cursor = bytes.constData();
    KeyReport report;
    report.noteReply(CmdType::DeviceInfo, JSON().Parse(cursor));
    QCOMPARE(report.toJson(QDateTime()).value("device").toObject().value("name").toString(), name);
}

void TestDevice::startupReplySetsApplications()
{
    Access::fidoPin(*m_window) = QStringLiteral("1234");
    Access::reply(*m_window,
                  "{\"SW\":\"9000\",\"DATA\":[{\"TRANSPORT\":\"FIDO+CCID+OTP\",\"APPLICATION\":\"FIDO2U2F+PIV\"}]}",
                  CmdType::Startup);
    QCOMPARE(g_currInterface, quint16(0x07));
    QVERIFY(widget<QCheckBox>(m_window, "isPIV")->isChecked());
    // A PIN typed for the backend before this one is not kept.
    QVERIFY(Access::fidoPin(*m_window).isEmpty());
}

void TestDevice::deviceEventOverridesCommandInFlight()
{
    showKey("FIDO+CCID+OTP", "FIDO2U2F+PIV");
    m_window->cmdSend(Cmd::pivChangePin("123456", "654321"), CmdType::PivChangePin);
    Access::reply(*m_window, kRemoved, g_currItem);
    QCOMPARE(visibleDialogCount(), 0);
    QCOMPARE(widget<QStackedWidget>(m_window, "contentPage")->currentIndex(), 1);
    QCOMPARE(g_currItem, int(CmdType::PivChangePin));
}

void TestDevice::droppedTypesChangeNothing_data()
{
    QTest::addColumn<int>("type");
    QTest::newRow("6") << 6;
    QTest::newRow("41") << 41;
}

void TestDevice::droppedTypesChangeNothing()
{
    QFETCH(int, type);
    Access::waiting(*m_window)->show(m_window, QStringLiteral("busy"));
    const int dialogs = visibleDialogCount();
    Access::reply(*m_window, "{\"SW\":\"6A80\",\"INFO\":\"x\"}", type);
    QVERIFY(Access::waiting(*m_window)->isShowing());
    QCOMPARE(visibleDialogCount(), dialogs);
    Access::waiting(*m_window)->hide();
}

void TestDevice::fallbackAndUnparsableRepliesGiveGenericText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("message");
    QTest::newRow("type 7 success without INFO")
        << "{\"SW\":\"9000\"}" << 7 << "Other error.Please try again or replug...";
    QTest::newRow("type outside the table") << "{\"SW\":\"9000\",\"INFO\":\"said\"}" << 77 << "said";
    QTest::newRow("not an object") << "Segmentation fault" << 11 << "Other error.Please try again or replug...";
    QTest::newRow("runaway INFO is cut") << "{\"SW\":\"6A80\",\"INFO\":\"" + QString(600, 'x') + "\"}" << 7
                                         << QString(512, 'x') + "...";
}

void TestDevice::fallbackAndUnparsableRepliesGiveGenericText()
{
    QFETCH(QString, text);
    QFETCH(int, type);
    QFETCH(QString, message);
    Access::waiting(*m_window)->show(m_window, QStringLiteral("busy"));
    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    Access::reply(*m_window, text, type);
    QVERIFY(m_modal->idle());
    QCOMPARE(m_modal->seen().last().title, QStringLiteral("Warning"));
    QCOMPARE(m_modal->lastText(), message);
    QVERIFY(!Access::waiting(*m_window)->isShowing());
}

void TestDevice::removalClosesOpenMessage()
{
    showKey("FIDO+CCID+OTP", "FIDO2U2F+PIV");
    m_modal->actWhenShown(QStringLiteral("DialogMessage"), [this](QWidget*) { Access::reply(*m_window, kRemoved, 7); });
    Access::reply(*m_window, "{\"SW\":\"6A80\",\"INFO\":\"failure\"}", 7);
    QVERIFY(m_modal->idle());
    QCOMPARE(visibleDialogCount(), 0);
    QCOMPARE(widget<QStackedWidget>(m_window, "contentPage")->currentIndex(), 1);
}

void TestDevice::removalClosesPinDialog()
{
    showKey("FIDO+CCID+OTP", "FIDO2U2F+PIV");
    m_modal->actWhenShown(QStringLiteral("changePIN"), [this](QWidget*) { Access::reply(*m_window, kRemoved, 0); });
    const QMap<QString, QString> answer = Access::askChangePin(*m_window);
    QVERIFY(m_modal->idle());
    QVERIFY(answer.isEmpty());
    QCOMPARE(widget<QStackedWidget>(m_window, "contentPage")->currentIndex(), 1);
}

void TestDevice::removalDuringReplugKeepsWindow_data()
{
    QTest::addColumn<bool>("resetting");
    QTest::newRow("reset") << true;
    QTest::newRow("switch") << false;
}

void TestDevice::removalDuringReplugKeepsWindow()
{
    QFETCH(bool, resetting);
    showKey("FIDO+CCID+OTP", "FIDO2U2F+PIV");
    if (resetting)
        Access::awaitReplug(*m_window, true);
    else
        Access::switching(*m_window) = true;
    Access::reply(*m_window, kRemoved, 0);
    QVERIFY(!g_insreted);
    QCOMPARE(widget<QStackedWidget>(m_window, "contentPage")->currentIndex(), 0);
    QCOMPARE(g_currInterface, quint16(0x07));
    Access::awaitReplug(*m_window, false);
    Access::switching(*m_window) = false;
}

void TestDevice::timeOutWithoutKeyResetsWindow()
{
    Access::reply(*m_window, kPlugged, 0);
    Access::switching(*m_window) = true;
    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    emit Access::waiting(*m_window)->operationTimedout();
    QVERIFY(m_modal->idle());
    QCOMPARE(m_modal->seen().last().title, QStringLiteral("Information"));
    QVERIFY(m_modal->lastText().startsWith(QLatin1String("Operation time out.\n")));
    QVERIFY(!Access::switching(*m_window));
    QCOMPARE(labelText(m_window, "label_24"), QStringLiteral("No VELMORA FIDO Security Key Inserted"));
    QVERIFY(widget(m_window, "btn_getdeviceinfo")->isHidden());
}

void TestDevice::timeOutWithKeyOnlyTells()
{
    showKey("FIDO+CCID+OTP", "FIDO2U2F+PIV");
    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    emit Access::waiting(*m_window)->operationTimedout();
    QVERIFY(m_modal->idle());
    QVERIFY(m_modal->lastText().startsWith(QLatin1String("Operation time out.\n")));
    QCOMPARE(widget<QStackedWidget>(m_window, "contentPage")->currentIndex(), 0);
    QVERIFY(g_insreted);
}

QTEST_MAIN(TestDevice)
#include "tst_device.moc"
