// The simulated key's details and its application and transport switches, across re-plugs
// and restarts.
#include "common/simharness.h"
#include "common/simprocess.h"

#include <QtTest>

namespace {

TextMap deviceInfo(SimProcess& sim)
{
    const JSON_OBJ reply = sim.requestParsed("monitor deviceinfo");
    return reply.SW == 0x9000 && reply.DATA.size() == 1 ? reply.DATA[0] : TextMap();
}

} // namespace

class TestSimDevice : public QObject
{
    Q_OBJECT

private slots:
    void deviceInfoPerModel_data();
    void deviceInfoPerModel();
    void setApplication_data();
    void setApplication();
    void setTransportTakesEffectAfterReplug();
    void setTransportRefusals_data();
    void setTransportRefusals();
    void switchAcrossReplugAsTheWindowDoes();
    void stateFileSurvivesRestart();
    void unreadableStateFileGivesNewKey();
    void modelReplacementIsSavedAtOnce();
};

void TestSimDevice::deviceInfoPerModel_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QByteArray>("version");
    QTest::addColumn<QByteArray>("serial");
    QTest::addColumn<QByteArray>("transports");
    QTest::addColumn<QByteArray>("applications");
    QTest::newRow("R3") << "R3" << QByteArray("3.2.05") << QByteArray("30A17C42") << QByteArray("FIDO+CCID+OTP")
                        << QByteArray("FIDO2U2F+OTP+NDEF");
    QTest::newRow("R8") << "R8" << QByteArray("1.0.00") << QByteArray("00000000") << QByteArray("FIDO+CCID+OTP")
                        << QByteArray("FIDO2U2F+PIV+OPENPGP+OTP");
    QTest::newRow("R14") << "R14" << QByteArray("4.1.02") << QByteArray("41B20E95") << QByteArray("FIDO+CCID+OTP")
                         << QByteArray("FIDO2U2F+PIV+OPENPGP+OTP+NDEF");
    QTest::newRow("R15") << "R15" << QByteArray("4.3.11") << QByteArray("4C7D13A8") << QByteArray("FIDO+CCID+OTP")
                         << QByteArray("FIDO2U2F+PIV+OPENPGP+OTP+NDEF");
    QTest::newRow("R22") << "R22" << QByteArray("5.0.01") << QByteArray("52E90F61") << QByteArray("FIDO+CCID")
                         << QByteArray("FIDO2U2F+PIV+OPENPGP");
}

void TestSimDevice::deviceInfoPerModel()
{
    QFETCH(QString, model);
    QFETCH(QByteArray, version);
    QFETCH(QByteArray, serial);
    QFETCH(QByteArray, transports);
    QFETCH(QByteArray, applications);
    SimHarness harness(model);
    SimProcess sim;
    QVERIFY(sim.start());

    const auto info = deviceInfo(sim);
    QCOMPARE(info.value("MODULE"), model.toUtf8());
    QVERIFY(info.value("NAME").endsWith(model.toUtf8()));
    QVERIFY(QRegularExpression("^0x[0-9A-F]{4}&0x[0-9A-F]{4}$").match(info.value("PID")).hasMatch());
    QCOMPARE(info.value("COS_VERSION"), version);
    QCOMPARE(info.value("SERIAL_NUMBER"), serial);
    QCOMPARE(info.value("TRANSPORT"), transports);
    QCOMPARE(info.value("APPLICATION"), applications);

    // The info reply after " monitor start" agrees with the details.
    QCOMPARE(sim.requestParsed(" monitor start").SW, 0x80900002u);
    const JSON_OBJ start = SimProcess::parse(sim.nextReply());
    QCOMPARE(start.DATA.value(0).value("TRANSPORT"), transports);
    QCOMPARE(start.DATA.value(0).value("APPLICATION"), applications);
}

void TestSimDevice::setApplication_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QByteArray>("mask");
    QTest::addColumn<quint32>("sw");
    QTest::addColumn<QByteArray>("applications");
    const QByteArray all = "FIDO2U2F+PIV+OPENPGP+OTP+NDEF";
    QTest::newRow("state 6 example") << "R15" << QByteArray("9") << 0x9000u << QByteArray("FIDO2+OPENPGP");
    QTest::newRow("U2F alone") << "R15" << QByteArray("2") << 0x9000u << QByteArray("U2F");
    QTest::newRow("everything") << "R15" << QByteArray("63") << 0x9000u << all;
    QTest::newRow("NDEF and OTP") << "R15" << QByteArray("48") << 0x9000u << QByteArray("OTP+NDEF");
    QTest::newRow("PIV on R3") << "R3" << QByteArray("5") << 0x6A82u << QByteArray("FIDO2U2F+OTP+NDEF");
    QTest::newRow("OTP on R22") << "R22" << QByteArray("33") << 0x6A82u << QByteArray("FIDO2U2F+PIV+OPENPGP");
    QTest::newRow("NDEF on R8") << "R8" << QByteArray("16") << 0x6A82u << QByteArray("FIDO2U2F+PIV+OPENPGP+OTP");
    QTest::newRow("nothing") << "R15" << QByteArray("0") << 0x6A80u << all;
    QTest::newRow("unknown bit") << "R15" << QByteArray("64") << 0x6A80u << all;
    QTest::newRow("not decimal") << "R15" << QByteArray("0x05") << 0x6A80u << all;
    QTest::newRow("negative") << "R15" << QByteArray("-5") << 0x6A80u << all;
    QTest::newRow("huge") << "R15" << QByteArray("99999999999999999999") << 0x6A80u << all;
}

void TestSimDevice::setApplication()
{
    QFETCH(QString, model);
    QFETCH(QByteArray, mask);
    QFETCH(quint32, sw);
    QFETCH(QByteArray, applications);
    SimHarness harness(model);
    SimProcess sim;
    QVERIFY(sim.start());

    const JSON_OBJ reply = sim.requestParsed("device set_application -s " + mask);
    QCOMPARE(reply.SW, sw);
    QCOMPARE(reply.INFO.isEmpty(), sw == 0x9000);
    QCOMPARE(deviceInfo(sim).value("APPLICATION"), applications);
}

void TestSimDevice::setTransportTakesEffectAfterReplug()
{
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());

    QCOMPARE(sim.requestParsed("device set_transport -s 10").SW, 0x9000u);
    QCOMPARE(deviceInfo(sim).value("TRANSPORT"), QByteArray("FIDO+CCID+OTP"));
    // A second key coming and going is no power-up of this one.
    QVERIFY(harness.control("second").startsWith("ok"));
    QVERIFY(harness.control("single").startsWith("ok"));
    QCOMPARE(deviceInfo(sim).value("TRANSPORT"), QByteArray("FIDO+CCID+OTP"));

    QVERIFY(harness.control("unplug").startsWith("ok"));
    QVERIFY(harness.control("plug").startsWith("ok"));
    QCOMPARE(deviceInfo(sim).value("TRANSPORT"), QByteArray("OTP"));
    QVERIFY(harness.control("status").contains("transports=0x10 next_transports=0x10"));
}

void TestSimDevice::setTransportRefusals_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QByteArray>("mask");
    QTest::addColumn<quint32>("sw");
    QTest::newRow("OTP keyboard on R22") << "R22" << QByteArray("70") << 0x6A82u;
    QTest::newRow("nothing") << "R15" << QByteArray("0") << 0x6A80u;
    QTest::newRow("unknown bit") << "R15" << QByteArray("71") << 0x6A80u;
    QTest::newRow("not hexadecimal") << "R15" << QByteArray("6G") << 0x6A80u;
    QTest::newRow("missing") << "R15" << QByteArray() << 0x6A80u;
}

void TestSimDevice::setTransportRefusals()
{
    QFETCH(QString, model);
    QFETCH(QByteArray, mask);
    QFETCH(quint32, sw);
    SimHarness harness(model);
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());
    const QByteArray before = deviceInfo(sim).value("TRANSPORT");

    const JSON_OBJ reply = sim.requestParsed("device set_transport -s " + mask);
    QCOMPARE(reply.SW, sw);
    QVERIFY(!reply.INFO.isEmpty());
    QVERIFY(harness.control("unplug").startsWith("ok"));
    QVERIFY(harness.control("plug").startsWith("ok"));
    QCOMPARE(deviceInfo(sim).value("TRANSPORT"), before);
}

// FIDO2 only, then PIV added: the window sends the transports, asks for a re-plug, and sends
// the applications when the key is back.
void TestSimDevice::switchAcrossReplugAsTheWindowDoes()
{
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());
    QCOMPARE(sim.requestParsed(" monitor start").SW, 0x80900002u);
    sim.nextReply();
    QCOMPARE(sim.requestParsed("device set_application -s 1").SW, 0x9000u);

    QCOMPARE(sim.requestParsed("device set_transport -s 60").SW, 0x9000u);
    QVERIFY(harness.control("unplug").startsWith("ok"));
    QCOMPARE(SimProcess::parse(sim.nextReply()).SW, 0x80900001u);
    QVERIFY(harness.control("plug").startsWith("ok"));
    QCOMPARE(SimProcess::parse(sim.nextReply()).SW, 0x80900002u);
    QCOMPARE(sim.requestParsed("device set_application -s 5").SW, 0x9000u);

    const auto info = deviceInfo(sim);
    QCOMPARE(info.value("TRANSPORT"), QByteArray("FIDO+CCID"));
    QCOMPARE(info.value("APPLICATION"), QByteArray("FIDO2+PIV"));
}

void TestSimDevice::stateFileSurvivesRestart()
{
    SimHarness harness(QStringLiteral("R8"));
    harness.useStateFile();
    {
        SimProcess sim;
        QVERIFY(sim.start());
        QCOMPARE(sim.requestParsed("device set_application -s 12").SW, 0x9000u);
        QCOMPARE(sim.requestParsed("device set_transport -s 40").SW, 0x9000u);
        QVERIFY(sim.finish());
    }
    QVERIFY(QFile::exists(harness.statePath()));
    QVERIFY(QDir(harness.dir()).entryList({"*.tmp.*"}, QDir::Files).isEmpty());

    // The saved key wins over the model asked for; the pending transports wait for a plug.
    qputenv("KVSIM_MODEL", "R15");
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());
    auto info = deviceInfo(sim);
    QCOMPARE(info.value("MODULE"), QByteArray("R8"));
    QCOMPARE(info.value("APPLICATION"), QByteArray("PIV+OPENPGP"));
    QCOMPARE(info.value("TRANSPORT"), QByteArray("FIDO+CCID+OTP"));
    QVERIFY(harness.control("unplug").startsWith("ok"));
    QVERIFY(harness.control("plug").startsWith("ok"));
    QCOMPARE(deviceInfo(sim).value("TRANSPORT"), QByteArray("CCID"));
}

void TestSimDevice::unreadableStateFileGivesNewKey()
{
    SimHarness harness(QStringLiteral("R22"));
    harness.useStateFile();
    QFile state(harness.statePath());
    QVERIFY(state.open(QIODevice::WriteOnly));
    state.write("kvman-sim state 1\nkey.model=R99\n");
    state.close();

    SimProcess sim;
    QVERIFY(sim.start());
    QCOMPARE(deviceInfo(sim).value("MODULE"), QByteArray("R22"));
    QVERIFY(sim.finish());
    QVERIFY(state.open(QIODevice::ReadOnly));
    QVERIFY(state.readAll().contains("key.model=R22\n"));
}

void TestSimDevice::modelReplacementIsSavedAtOnce()
{
    SimHarness harness;
    harness.useStateFile();
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());

    QVERIFY(harness.control("unplug").startsWith("ok"));
    QCOMPARE(harness.control("model R22"), QStringLiteral("ok model R22"));
    QFile state(harness.statePath());
    QVERIFY(state.open(QIODevice::ReadOnly));
    QVERIFY(state.readAll().contains("key.model=R22\n"));
}

QTEST_GUILESS_MAIN(TestSimDevice)
#include "tst_simdevice.moc"
