#include "app/mainwindow.h"
#include "common/modalhelper.h"
#include "common/simharness.h"
#include "common/windowprobe.h"

#include <QCheckBox>
#include <QPushButton>
#include <QStackedWidget>
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
    static int page(MainWindow& w) { return widget<QStackedWidget>(&w, "contentPage")->currentIndex(); }
    static void readKey(MainWindow& w);
    static QString replugAndConfirm(SimHarness& sim);
};

void TestE2eDevice::readKey(MainWindow& w)
{
    QTRY_VERIFY(!widget(&w, "btn_getdeviceinfo")->isHidden());
    widget<QPushButton>(&w, "btn_getdeviceinfo")->click();
    QTRY_COMPARE(page(w), 0);
}

void TestE2eDevice::plugContinueShowsTheKey()
{
    SimHarness sim(QStringLiteral("R15"));
    sim.setKeysAtStart(0);
    MainWindow w(nullptr, SimHarness::simPath());
    w.show();
    QTRY_COMPARE(labelText(&w, "label_24"), QStringLiteral("No VELMORA FIDO Security Key Inserted"));
    QVERIFY(sim.waitUntilReady());

    QVERIFY(sim.control(QStringLiteral("plug")).startsWith(QLatin1String("ok")));
    QTRY_COMPARE(labelText(&w, "label_24"), QStringLiteral("VELMORA FIDO Security Key Inserted"));
    readKey(w);
    // The form has a default name of its own: the one shown must be the key's.
    QCOMPARE(labelText(&w, "keyname"), QStringLiteral("VELMORA Bio Key R15"));
    QCOMPARE(labelText(&w, "cosValue"), QStringLiteral("4.3.11"));
    QCOMPARE(labelText(&w, "snValue"), QStringLiteral("4C7D13A8"));
    QVERIFY(widget(&w, "application")->isEnabled());
    QCOMPARE(g_currInterface, quint16(0x3F));
    QCOMPARE(sim.receivedLines().first(), QStringLiteral(" monitor start"));
    QTRY_VERIFY(sim.receivedLines().contains(QStringLiteral("monitor deviceinfo")));
}

void TestE2eDevice::unplugAndSecondKeyReturnToNoKeyPage()
{
    SimHarness sim(QStringLiteral("R8"));
    MainWindow w(nullptr, SimHarness::simPath());
    readKey(w);
    QVERIFY(widget(&w, "label_12")->isHidden()); // old firmware: version and serial hidden
    QVERIFY(widget(&w, "label_17")->isHidden());

    QVERIFY(sim.control(QStringLiteral("second")).startsWith(QLatin1String("ok")));
    QTRY_COMPARE(labelText(&w, "label_24"), QStringLiteral("Multiable VELMORA FIDO Security Key Inserted"));
    QCOMPARE(page(w), 1);
    QVERIFY(!g_insreted);
    QVERIFY(sim.control(QStringLiteral("single")).startsWith(QLatin1String("ok")));
    QTRY_VERIFY(!widget(&w, "btn_getdeviceinfo")->isHidden());
    QVERIFY(sim.control(QStringLiteral("unplug")).startsWith(QLatin1String("ok")));
    QTRY_COMPARE(labelText(&w, "label_24"), QStringLiteral("No VELMORA FIDO Security Key Inserted"));
}

// Re-plugs the key as the busy panel asks, and answers the message that ends the switch.
QString TestE2eDevice::replugAndConfirm(SimHarness& sim)
{
    ModalHelper modal;
    modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    if (!sim.control(QStringLiteral("unplug")).startsWith(QLatin1String("ok")) ||
        !sim.control(QStringLiteral("plug")).startsWith(QLatin1String("ok")) ||
        !QTest::qWaitFor([&modal] { return modal.idle(); }))
        return QString();
    return modal.lastText();
}

// Switching the keyboard transport off needs a re-plug; the window waits for it and then
// reads the key again.
void TestE2eDevice::transportSwitchCompletesAcrossReplug()
{
    SimHarness sim(QStringLiteral("R15"));
    MainWindow w(nullptr, SimHarness::simPath());
    readKey(w);
    QVERIFY(sim.waitUntilReady());
    widget<QPushButton>(&w, "interface_2")->click();
    QCOMPARE(page(w), 2);
    QVERIFY(widget<QCheckBox>(&w, "isotp_p")->isChecked());
    widget<QCheckBox>(&w, "isotp_p")->setChecked(false);
    widget<QPushButton>(&w, "save_protocol")->click();
    QTRY_VERIFY(sim.receivedLines().contains(QStringLiteral("device set_transport -s 60")));
    QTRY_VERIFY(sim.control(QStringLiteral("status")).contains(QLatin1String("monitor")));

    QCOMPARE(replugAndConfirm(sim), QStringLiteral("Application switch successful."));
    QTRY_COMPARE(sim.receivedLines().filter(QStringLiteral("monitor deviceinfo")).size(), 2);
    QTRY_VERIFY(!widget(&w, "otp")->isEnabled());
    QVERIFY(!widget<QCheckBox>(&w, "isotp_p")->isChecked());
    QVERIFY(widget(&w, "fido")->isEnabled());
}

// Dropping NDEF empties the smart-card group, so the transports change first and the
// applications follow once the key is back.
void TestE2eDevice::applicationSwitchOnR3()
{
    SimHarness sim(QStringLiteral("R3"));
    MainWindow w(nullptr, SimHarness::simPath());
    readKey(w);
    QVERIFY(sim.waitUntilReady());
    widget<QPushButton>(&w, "interface_2")->click();
    QCOMPARE(page(w), 12);
    widget<QCheckBox>(&w, "isNDEF")->setChecked(false);
    widget<QPushButton>(&w, "save")->click();
    QTRY_VERIFY(sim.receivedLines().contains(QStringLiteral("device set_transport -s 30")));

    QCOMPARE(replugAndConfirm(sim), QStringLiteral("Application switch successful."));
    QVERIFY(sim.receivedLines().contains(QStringLiteral("device set_application -s 35")));
    QCOMPARE(g_currInterface, quint16(0x23));
    QCOMPARE(page(w), 0);
    QVERIFY(widget(&w, "isndef")->isHidden());
}

QTEST_MAIN(TestE2eDevice)
#include "tst_e2e_device.moc"
