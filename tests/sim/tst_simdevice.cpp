// The simulated key's details and its application and transport switches, across re-plugs
// and restarts.
#include "common/simkey.h"

#include <QtTest>

class TestSimDevice : public QObject
{
    Q_OBJECT

private slots:
    void deviceInfoPerModel_data();
    void deviceInfoPerModel();
    void switches_data();
    void switches();
    void stateFileSurvivesRestart();
    void unreadableStateFileGivesNewKey();
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
    SimKey key(model);
    QVERIFY(key.sim.start());

    const TextMap info = key.ask("monitor deviceinfo").DATA.value(0);
    QCOMPARE(info.value("MODULE"), model.toUtf8());
    QVERIFY(info.value("NAME").endsWith(model.toUtf8()));
    QVERIFY(QRegularExpression("^0x[0-9A-F]{4}&0x[0-9A-F]{4}$").match(info.value("PID")).hasMatch());
    QCOMPARE(info.value("COS_VERSION"), version);
    QCOMPARE(info.value("SERIAL_NUMBER"), serial);
    QCOMPARE(info.value("TRANSPORT"), transports);
    QCOMPARE(info.value("APPLICATION"), applications);

    // The info reply after " monitor start" agrees with the details.
    QCOMPARE(key.sw(" monitor start"), 0x80900002u);
    const JSON_OBJ start = key.next();
    QCOMPARE(start.DATA.value(0).value("TRANSPORT"), transports);
    QCOMPARE(start.DATA.value(0).value("APPLICATION"), applications);
}

void TestSimDevice::switches_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<quint32>("sw");
    QTest::addColumn<QByteArray>("afterReplug");
    const QByteArray all = "FIDO2U2F+PIV+OPENPGP+OTP+NDEF";
    const QByteArray app = "device set_application -s ";
    const QByteArray transport = "device set_transport -s ";
    QTest::newRow("state 6 example") << "R15" << app + "9" << 0x9000u << QByteArray("FIDO2+OPENPGP");
    QTest::newRow("PIV on R3") << "R3" << app + "5" << 0x6A82u << QByteArray("FIDO2U2F+OTP+NDEF");
    QTest::newRow("no application") << "R15" << app + "0" << 0x6A80u << all;
    QTest::newRow("not decimal") << "R15" << app + "0x05" << 0x6A80u << all;
    QTest::newRow("huge") << "R15" << app + "99999999999999999999" << 0x6A80u << all;
    QTest::newRow("OTP only") << "R15" << transport + "10" << 0x9000u << QByteArray("OTP");
    QTest::newRow("OTP keyboard on R22") << "R22" << transport + "70" << 0x6A82u << QByteArray("FIDO+CCID");
    QTest::newRow("not hexadecimal") << "R15" << transport + "6G" << 0x6A80u << QByteArray("FIDO+CCID+OTP");
}

void TestSimDevice::switches()
{
    QFETCH(QString, model);
    QFETCH(QByteArray, line);
    QFETCH(quint32, sw);
    QFETCH(QByteArray, afterReplug);
    SimKey key(model);
    QVERIFY(key.start());

    const QByteArray field = line.contains("set_application") ? "APPLICATION" : "TRANSPORT";
    const QByteArray before = key.value("monitor deviceinfo", field);

    const JSON_OBJ reply = key.ask(line);
    QCOMPARE(reply.SW, sw);
    QVERIFY(sw == 0x9000u || !reply.INFO.isEmpty());
    // Applications change at once, transports at the next power-up; a second key coming and
    // going is none.
    QVERIFY(key.control("second") && key.control("single"));
    QCOMPARE(key.value("monitor deviceinfo", field), field == "TRANSPORT" ? before : afterReplug);
    QVERIFY(key.replug());
    QCOMPARE(key.value("monitor deviceinfo", field), afterReplug);
}

void TestSimDevice::stateFileSurvivesRestart()
{
    SimKey key(QStringLiteral("R8"));
    key.harness.useStateFile();
    QVERIFY(key.start());
    QCOMPARE(key.sw("device set_application -s 12"), 0x9000u);
    QCOMPARE(key.sw("device set_transport -s 40"), 0x9000u);

    // The saved key wins over the model asked for; the pending transports wait for a plug.
    qputenv("KVSIM_MODEL", "R15");
    QVERIFY(key.restart());
    QVERIFY(QDir(key.harness.dir()).entryList({"*.tmp.*"}, QDir::Files).isEmpty());
    const TextMap info = key.ask("monitor deviceinfo").DATA.value(0);
    QCOMPARE(info.value("MODULE"), QByteArray("R8"));
    QCOMPARE(info.value("APPLICATION"), QByteArray("PIV+OPENPGP"));
    QCOMPARE(info.value("TRANSPORT"), QByteArray("FIDO+CCID+OTP"));
    QVERIFY(key.replug());
    QCOMPARE(key.value("monitor deviceinfo", "TRANSPORT"), QByteArray("CCID"));

    // Control commands are saved at once, not only at the end.
    QCOMPARE(key.harness.control("model R22"), QStringLiteral("error unplug the key first"));
    QVERIFY(key.control("unplug"));
    QVERIFY(key.control("model R22"));
    QFile state(key.harness.statePath());
    QVERIFY(state.open(QIODevice::ReadOnly));
    QVERIFY(state.readAll().contains("key.model=R22\n"));
}

void TestSimDevice::unreadableStateFileGivesNewKey()
{
    SimKey key(QStringLiteral("R22"));
    key.harness.useStateFile();
    QFile state(key.harness.statePath());
    QVERIFY(state.open(QIODevice::WriteOnly));
    state.write("kvman-sim state 1\nkey.model=R99\n");
    state.close();

    QVERIFY(key.sim.start());
    QCOMPARE(key.value("monitor deviceinfo", "MODULE"), QByteArray("R22"));
    QVERIFY(key.sim.finish());
    QVERIFY(state.open(QIODevice::ReadOnly));
    QVERIFY(state.readAll().contains("key.model=R22\n"));
}

QTEST_GUILESS_MAIN(TestSimDevice)
#include "tst_simdevice.moc"
