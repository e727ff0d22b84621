// The simulated key's FIDO2 reset (only shortly after power-up, only with a touch) and the
// FIDO2 state across restarts through the state file.
#include "app/commands.h"
#include "common/simharness.h"
#include "common/simprocess.h"

#include <QtTest>

namespace {

const QString Pin = QStringLiteral("1234");

QByteArray line(const QString& command)
{
    return command.toUtf8();
}

QByteArray member(const JSON_OBJ& reply, const QByteArray& key)
{
    return reply.DATA.value(0).value(key);
}

QList<QByteArray> credentialIds(SimProcess& sim, const QString& pin = Pin)
{
    QList<QByteArray> ids;
    for (const TextMap& map : sim.requestParsed(line(Cmd::fidoListCredentials(pin))).DATA) {
        ids << map.value("CREDENTIAL_ID");
    }
    return ids;
}

QStringList names(SimProcess& sim)
{
    QStringList result;
    for (const TextMap& map : sim.requestParsed(line(Cmd::fidoEnumerate())).DATA) {
        result << QString::fromUtf8(map.value("TEMP_NAME"));
    }
    return result;
}

bool enrol(SimProcess& sim, const QString& pin = Pin)
{
    JSON_OBJ reply = sim.requestParsed(line(Cmd::fidoEnrollBegin(pin)));
    const QString id = QString::fromUtf8(member(reply, "TEMPLATE_ID").mid(2, 4));
    while (reply.SW == 0x9000 && member(reply, "STATUS") == "0" && member(reply, "REMAINING") != "0") {
        reply = sim.requestParsed(line(Cmd::fidoEnrollNext(id)));
    }
    return reply.SW == 0x9000 && member(reply, "REMAINING") == "0";
}

bool replug(const SimHarness& harness)
{
    return harness.control(QStringLiteral("unplug")).startsWith("ok") &&
           harness.control(QStringLiteral("plug")).startsWith("ok");
}

// A key with a PIN, one fingerprint and its sample credentials.
void startUsedKey(SimProcess& sim, const SimHarness& harness)
{
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());
    QCOMPARE(sim.requestParsed(line(Cmd::fidoSetPin(Pin))).SW, 0x9000u);
    QVERIFY(enrol(sim));
    QVERIFY(!credentialIds(sim).isEmpty());
}

} // namespace

class TestFidoReset : public QObject
{
    Q_OBJECT

private slots:
    void resetWipesPinCredentialsAndFingerprints();
    void resetOnlyShortlyAfterPlugging_data();
    void resetOnlyShortlyAfterPlugging();
    void clockControl();
    void touchVariants_data();
    void touchVariants();
    void stateSurvivesRestart();
    void resetSurvivesRestartAndRestartIsPowerUp();
    void newModelGivesFactoryState();
};

void TestFidoReset::resetWipesPinCredentialsAndFingerprints()
{
    SimHarness harness;
    SimProcess sim;
    startUsedKey(sim, harness);

    const JSON_OBJ reply = sim.requestParsed(line(Cmd::fidoReset()));
    QCOMPARE(reply.SW, 0x9000u);
    QCOMPARE(sim.requestParsed(line(Cmd::fidoPinRetriesFromMenu())).SW, 0x35u);
    QCOMPARE(sim.requestParsed(line(Cmd::fidoSetPin(QStringLiteral("5678")))).SW, 0x9000u);
    QCOMPARE(sim.requestParsed(line(Cmd::fidoListCredentials(QStringLiteral("5678")))).SW, 0xF0u);
    QVERIFY(names(sim).isEmpty());
    QCOMPARE(member(sim.requestParsed(line(Cmd::fidoPinRetriesFromMenu())), "RETRIES"), QByteArray("8"));
}

void TestFidoReset::resetOnlyShortlyAfterPlugging_data()
{
    QTest::addColumn<QString>("age");
    QTest::addColumn<quint32>("sw");
    QTest::newRow("just plugged") << QString() << 0x9000u;
    QTest::newRow("8 s") << "+8" << 0x9000u;
    QTest::newRow("just over 10 s") << "+10" << 0x30u;
    QTest::newRow("11 s") << "+11" << 0x30u;
    QTest::newRow("an hour") << "3600" << 0x30u;
}

void TestFidoReset::resetOnlyShortlyAfterPlugging()
{
    QFETCH(QString, age);
    QFETCH(quint32, sw);
    SimHarness harness;
    SimProcess sim;
    startUsedKey(sim, harness);
    QVERIFY(replug(harness));
    if (!age.isEmpty()) {
        QVERIFY(harness.control("fido clock " + age).startsWith("ok"));
    }

    const JSON_OBJ reply = sim.requestParsed(line(Cmd::fidoReset()));
    QCOMPARE(reply.SW, sw);
    if (sw == 0x9000u) {
        return;
    }
    QVERIFY(reply.INFO.contains("10 seconds"));
    // Refused: nothing is lost, and a re-plug followed by the reset at once goes through, as
    // the window's replug prompt does it.
    QCOMPARE(names(sim), QStringList{"Fingerprint 01"});
    QVERIFY(replug(harness));
    QCOMPARE(sim.requestParsed(line(Cmd::fidoReset())).SW, 0x9000u);
    QCOMPARE(sim.requestParsed(line(Cmd::fidoPinRetriesFromMenu())).SW, 0x35u);
}

void TestFidoReset::clockControl()
{
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());
    QVERIFY(replug(harness));

    QCOMPARE(harness.control(QStringLiteral("fido clock")), QStringLiteral("ok plugged_seconds=0"));
    QCOMPARE(harness.control(QStringLiteral("fido clock +11")), QStringLiteral("ok plugged_seconds=11"));
    QCOMPARE(harness.control(QStringLiteral("fido clock 20")), QStringLiteral("ok plugged_seconds=31"));
    QVERIFY(harness.control(QStringLiteral("status")).contains(" plugged_seconds=31"));
    for (const char* bad : {"fido clock -5", "fido clock +", "fido clock 1 2", "fido clock 1234567", "fido"}) {
        QVERIFY2(harness.control(bad).startsWith("error usage:"), bad);
    }
    // A power-up starts the count again.
    QVERIFY(replug(harness));
    QCOMPARE(harness.control(QStringLiteral("fido clock")), QStringLiteral("ok plugged_seconds=0"));
}

void TestFidoReset::touchVariants_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("action");
    QTest::addColumn<quint32>("sw");
    QTest::newRow("auto") << "auto" << QString() << 0x9000u;
    QTest::newRow("never") << "never" << QString() << 0x2Fu;
    QTest::newRow("manual, touched") << "manual"
                                     << "touch" << 0x9000u;
    QTest::newRow("manual, timed out") << "manual"
                                       << "touch timeout" << 0x2Fu;
    QTest::newRow("manual, key removed") << "manual"
                                         << "unplug" << 0x6F00u;
}

void TestFidoReset::touchVariants()
{
    QFETCH(QString, mode);
    QFETCH(QString, action);
    QFETCH(quint32, sw);
    SimHarness harness;
    SimProcess sim;
    startUsedKey(sim, harness);
    QVERIFY(harness.control("touch " + mode).startsWith("ok"));

    sim.send(line(Cmd::fidoReset()));
    if (!action.isEmpty()) {
        QTRY_VERIFY(harness.control(QStringLiteral("status")).contains("touch_pending=yes"));
        QVERIFY(harness.control(action).startsWith("ok"));
    }
    const JSON_OBJ reply = SimProcess::parse(sim.nextReply());
    QCOMPARE(reply.SW, sw);
    QCOMPARE(reply.INFO.isEmpty(), sw == 0x9000u);

    QVERIFY(harness.control(QStringLiteral("plug")).startsWith("ok"));
    QCOMPARE(sim.requestParsed(line(Cmd::fidoPinRetriesFromMenu())).SW, sw == 0x9000u ? 0x35u : 0x9000u);
    QCOMPARE(names(sim).size(), sw == 0x9000u ? 0 : 1);
}

void TestFidoReset::stateSurvivesRestart()
{
    SimHarness harness;
    harness.useStateFile();
    const QString pin = QStringLiteral("Grüße 1");
    QList<QByteArray> ids;
    {
        SimProcess sim;
        QVERIFY(sim.start());
        QCOMPARE(sim.requestParsed(line(Cmd::fidoSetPin(pin))).SW, 0x9000u);
        QVERIFY(enrol(sim, pin));
        QVERIFY(enrol(sim, pin));
        QCOMPARE(sim.requestParsed(line(Cmd::fidoRemoveEnrollment(pin, 1))).SW, 0x9000u);
        ids = credentialIds(sim, pin);
        const QByteArray deleted = ids.takeFirst();
        QCOMPARE(sim.requestParsed(line(Cmd::fidoDeleteCredential(QString::fromUtf8(deleted), "public-key")) + " -p " +
                                   pin.toUtf8().toHex())
                     .SW,
                 0x9000u);
        QCOMPARE(sim.requestParsed(line(Cmd::fidoListCredentials(QStringLiteral("wrong")))).SW, 0x31u);
        QCOMPARE(sim.requestParsed(line(Cmd::fidoListCredentials(QStringLiteral("wrong")))).SW, 0x31u);
        QVERIFY(sim.finish());
    }

    // The key keeps a digest of its PIN, never the PIN.
    QFile file(harness.statePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray saved = file.readAll();
    QVERIFY(!saved.contains(pin.toUtf8()));
    QVERIFY(!saved.contains(pin.toUtf8().toHex()));

    SimProcess sim;
    QVERIFY(sim.start());
    QCOMPARE(member(sim.requestParsed(line(Cmd::fidoPinRetriesFromMenu())), "RETRIES"), QByteArray("6"));
    QCOMPARE(credentialIds(sim, pin), ids);
    QCOMPARE(names(sim), QStringList{"Fingerprint 02"});
}

void TestFidoReset::resetSurvivesRestartAndRestartIsPowerUp()
{
    SimHarness harness;
    harness.useStateFile();
    {
        SimProcess sim;
        startUsedKey(sim, harness);
        QVERIFY(harness.control(QStringLiteral("fido clock +60")).startsWith("ok"));
        QCOMPARE(sim.requestParsed(line(Cmd::fidoReset())).SW, 0x30u);
        QVERIFY(sim.finish());
    }
    {
        SimProcess sim;
        QVERIFY(sim.start());
        QCOMPARE(sim.requestParsed(line(Cmd::fidoReset())).SW, 0x9000u);
        QVERIFY(sim.finish());
    }
    SimProcess sim;
    QVERIFY(sim.start());
    QCOMPARE(sim.requestParsed(line(Cmd::fidoPinRetriesFromMenu())).SW, 0x35u);
    QCOMPARE(sim.requestParsed(line(Cmd::fidoSetPin(Pin))).SW, 0x9000u);
    // The wiped credentials stay wiped: a restart does not bring back the samples.
    QCOMPARE(sim.requestParsed(line(Cmd::fidoListCredentials(Pin))).SW, 0xF0u);
    QVERIFY(names(sim).isEmpty());
}

void TestFidoReset::newModelGivesFactoryState()
{
    SimHarness harness(QStringLiteral("R15"));
    SimProcess sim;
    startUsedKey(sim, harness);
    const QList<QByteArray> r15Ids = credentialIds(sim);

    QVERIFY(harness.control(QStringLiteral("unplug")).startsWith("ok"));
    QVERIFY(harness.control(QStringLiteral("model R14")).startsWith("ok"));
    QVERIFY(harness.control(QStringLiteral("plug")).startsWith("ok"));
    QCOMPARE(sim.requestParsed(line(Cmd::fidoPinRetriesFromMenu())).SW, 0x35u);
    QCOMPARE(sim.requestParsed(line(Cmd::fidoSetPin(Pin))).SW, 0x9000u);
    const QList<QByteArray> r14Ids = credentialIds(sim);
    QCOMPARE(r14Ids.size(), r15Ids.size());
    QVERIFY(r14Ids.first() != r15Ids.first());
    QVERIFY(names(sim).isEmpty());
}

QTEST_GUILESS_MAIN(TestFidoReset)
#include "tst_fidoreset.moc"
