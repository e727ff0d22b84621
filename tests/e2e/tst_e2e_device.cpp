#include "app/page.h"
#include "common/simharness.h"
#include "common/testwindow.h"

#include <QCheckBox>
#include <QtTest>

// The real window against the real simulated key, driven through its widgets.
class TestE2eDevice : public QObject
{
    Q_OBJECT

private slots:
    void plugContinueShowsTheKey();
    void unplugAndSecondKeyReturnToNoKeyPage();
    void transportSwitchCompletesAcrossReplug();
    void applicationSwitchOnR3();

private:
    static void readKey(TestWindow& w);
    // Re-plugs the key as the busy panel asks, and answers the message that ends the switch.
    static void replugAndConfirm(TestWindow& w, SimHarness& sim);
};

void TestE2eDevice::readKey(TestWindow& w)
{
    QTRY_VERIFY(!w.widget("btn_getdeviceinfo")->isHidden());
    w.click("btn_getdeviceinfo");
    QTRY_COMPARE(w.page(), int(Page::Home));
}

void TestE2eDevice::replugAndConfirm(TestWindow& w, SimHarness& sim)
{
    w.answer({"ok"});
    QVERIFY(sim.control("unplug").startsWith("ok") && sim.control("plug").startsWith("ok"));
    QTRY_VERIFY(w.modal.idle());
    QCOMPARE(w.messages(), QStringList{"Success / Application switch successful."});
}

void TestE2eDevice::plugContinueShowsTheKey()
{
    SimHarness sim("R15");
    sim.setKeysAtStart(0);
    TestWindow w(SimHarness::simPath());
    QTRY_COMPARE(w.text("label_24"), QStringLiteral("No VELMORA FIDO Security Key Inserted"));
    QVERIFY(sim.waitUntilReady());

    QVERIFY(sim.control("plug").startsWith("ok"));
    QTRY_COMPARE(w.text("label_24"), QStringLiteral("VELMORA FIDO Security Key Inserted"));
    readKey(w);
    // The form has a default name of its own: the one shown must be the key's.
    QCOMPARE(w.text("keyname"), QStringLiteral("VELMORA Bio Key R15"));
    QCOMPARE(w.text("snValue"), QStringLiteral("4C7D13A8"));
    QCOMPARE(g_currInterface, quint16(0x3F));
}

void TestE2eDevice::unplugAndSecondKeyReturnToNoKeyPage()
{
    SimHarness sim("R8");
    TestWindow w(SimHarness::simPath());
    readKey(w);
    QVERIFY(w.widget("label_17")->isHidden()); // old firmware: serial hidden

    QVERIFY(sim.control("second").startsWith("ok"));
    QTRY_COMPARE(w.text("label_24"), QStringLiteral("Multiable VELMORA FIDO Security Key Inserted"));
    QCOMPARE(w.page(), int(Page::NoKey));
    QVERIFY(sim.control("single").startsWith("ok"));
    QTRY_VERIFY(!w.widget("btn_getdeviceinfo")->isHidden());
    QVERIFY(sim.control("unplug").startsWith("ok"));
    QTRY_COMPARE(w.text("label_24"), QStringLiteral("No VELMORA FIDO Security Key Inserted"));
}

// Switching the keyboard transport off needs a re-plug; the window waits for it and then
// reads the key again.
void TestE2eDevice::transportSwitchCompletesAcrossReplug()
{
    SimHarness sim("R15");
    TestWindow w(SimHarness::simPath());
    readKey(w);
    QVERIFY(sim.waitUntilReady());
    w.click("interface_2");
    w.widget<QCheckBox>("isotp_p")->setChecked(false);
    w.click("save_protocol");
    QTRY_VERIFY(sim.receivedLines().contains("device set_transport -s 60"));
    QTRY_VERIFY(sim.control("status").contains("monitor"));

    replugAndConfirm(w, sim);
    QTRY_COMPARE(sim.receivedLines().filter("monitor deviceinfo").size(), 2);
    QTRY_VERIFY(!w.widget("otp")->isEnabled());
    QVERIFY(w.widget("fido")->isEnabled());
}

// Dropping NDEF empties the smart-card group, so the transports change first and the
// applications follow once the key is back.
void TestE2eDevice::applicationSwitchOnR3()
{
    SimHarness sim("R3");
    TestWindow w(SimHarness::simPath());
    readKey(w);
    QVERIFY(sim.waitUntilReady());
    w.click("interface_2");
    w.widget<QCheckBox>("isNDEF")->setChecked(false);
    w.click("save");
    QTRY_VERIFY(sim.receivedLines().contains("device set_transport -s 30"));

    replugAndConfirm(w, sim);
    QVERIFY(sim.receivedLines().contains("device set_application -s 35"));
    QCOMPARE(g_currInterface, quint16(0x23));
    QCOMPARE(w.page(), int(Page::Home));
    QVERIFY(w.widget("isndef")->isHidden());
}

QTEST_MAIN(TestE2eDevice)
#include "tst_e2e_device.moc"
