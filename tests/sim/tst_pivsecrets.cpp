// The simulated key's PIV secrets: retry counters and blocking, the reset with its touch, the
// fingerprint commands, when PIV is unreachable, and what survives a restart.
#include "common/simharness.h"
#include "common/simprocess.h"

#include <QtTest>

namespace {

const QByteArray FactoryPin = "80417326";
const QByteArray FactoryPuk = "80417326";
const QByteArray FactoryKey = "7E3D0C41F58B29D6B1C48E2F7D0B5C63D6E1F4C8072B3B5E";
const QByteArray OtherKey = "0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF";

// The line the window sends to change one of the three secrets.
QByteArray changeLine(const QString& secret, const QByteArray& current, const QByteArray& next)
{
    if (secret == "pin") {
        return " piv change-pin -P " + current + " -n " + next;
    }
    if (secret == "puk") {
        return " piv change-puk -p " + current + " -n " + next;
    }
    return " piv change-management-key -p " + FactoryPin + " -k " + current + " -n " + next;
}

QByteArray factoryValue(const QString& secret)
{
    return secret == "pin" ? FactoryPin : secret == "puk" ? FactoryPuk : FactoryKey;
}

QByteArray newValue(const QString& secret)
{
    return secret == "key" ? OtherKey : QByteArray("13572468");
}

QByteArray wrongValue(const QString& secret)
{
    return secret == "key" ? QByteArray(48, 'F') : QByteArray("11111111");
}

// One word of the control channel's status line, such as "piv_pin_retries".
QByteArray statusWord(const SimHarness& harness, const QByteArray& name)
{
    const QByteArray prefix = name + "=";
    for (const QByteArray& word : harness.control("status").toUtf8().split(' ')) {
        if (word.startsWith(prefix)) {
            return word.mid(prefix.size());
        }
    }
    return QByteArray();
}

QByteArray generateKey(const SimHarness& harness, const QByteArray& slot)
{
    return " piv generate-key " + slot + " -p " + FactoryPin + " -k " + FactoryKey + " -a ECCP256 " +
           QFile::encodeName(harness.dir() + "/public");
}

QByteArray generateCertificate(const SimHarness& harness, const QByteArray& slot, const QByteArray& subject)
{
    return "piv generate-certificate " + slot + " -p " + FactoryPin + " -k " + FactoryKey + " " +
           QFile::encodeName(harness.dir() + "/public") + " -s  \"" + subject + "\"";
}

} // namespace

class TestPivSecrets : public QObject
{
    Q_OBJECT

private slots:
    void wrongSecretCountsDownToBlocked_data();
    void wrongSecretCountsDownToBlocked();
    void rightSecretRestoresCounter_data();
    void rightSecretRestoresCounter();
    void wrongPinOnKeyChangeIsNotAWrongKey();
    void blockedPinStopsSlotCommands();
    void newValueRules_data();
    void newValueRules();
    void resetNeedsTouch_data();
    void resetNeedsTouch();
    void fingerprintCommandsPerModel_data();
    void fingerprintCommandsPerModel();
    void bioPolicyRefusals_data();
    void bioPolicyRefusals();
    void cachedTimeWaitsForFingerprint();
    void pivUnreachable_data();
    void pivUnreachable();
    void stateSurvivesRestart();
};

void TestPivSecrets::wrongSecretCountsDownToBlocked_data()
{
    QTest::addColumn<QString>("secret");
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("PIN") << "pin" << QByteArray("PIN");
    QTest::newRow("PUK") << "puk" << QByteArray("PUK");
    QTest::newRow("management key") << "key" << QByteArray("management key");
}

void TestPivSecrets::wrongSecretCountsDownToBlocked()
{
    QFETCH(QString, secret);
    QFETCH(QByteArray, name);
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());

    const QByteArray wrong = changeLine(secret, wrongValue(secret), newValue(secret));
    JSON_OBJ reply = sim.requestParsed(wrong);
    QCOMPARE(reply.SW, 0x63C2u);
    QCOMPARE(reply.INFO, "Wrong " + name + ", 2 tries left.");
    QCOMPARE(sim.requestParsed(wrong).SW, 0x63C1u);
    reply = sim.requestParsed(wrong);
    QCOMPARE(reply.SW, 0x63C0u);
    QVERIFY(reply.INFO.contains("blocked"));

    // Blocked means blocked: the right value no longer helps.
    reply = sim.requestParsed(changeLine(secret, factoryValue(secret), newValue(secret)));
    QCOMPARE(reply.SW, 0x63C0u);
    QVERIFY(reply.INFO.contains("blocked"));
}

void TestPivSecrets::rightSecretRestoresCounter_data()
{
    wrongSecretCountsDownToBlocked_data();
}

void TestPivSecrets::rightSecretRestoresCounter()
{
    QFETCH(QString, secret);
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());

    const QByteArray wrong = changeLine(secret, wrongValue(secret), newValue(secret));
    QCOMPARE(sim.requestParsed(wrong).SW, 0x63C2u);
    QCOMPARE(sim.requestParsed(wrong).SW, 0x63C1u);
    QCOMPARE(sim.requestParsed(changeLine(secret, factoryValue(secret), newValue(secret))).SW, 0x9000u);

    // The counter is full again and the new value is the one that counts.
    QCOMPARE(sim.requestParsed(wrong).SW, 0x63C2u);
    QCOMPARE(sim.requestParsed(changeLine(secret, factoryValue(secret), factoryValue(secret))).SW, 0x63C1u);
    QCOMPARE(sim.requestParsed(changeLine(secret, newValue(secret), factoryValue(secret))).SW, 0x9000u);
}

void TestPivSecrets::wrongPinOnKeyChangeIsNotAWrongKey()
{
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());

    const JSON_OBJ reply =
        sim.requestParsed(" piv change-management-key -p 99999999 -k " + FactoryKey + " -n " + OtherKey);
    QCOMPARE(reply.SW, 0x6982u);
    QCOMPARE(reply.INFO, QByteArray("Wrong PIN, 2 tries left."));
    QCOMPARE(statusWord(harness, "piv_pin_retries"), QByteArray("2"));
    QCOMPARE(statusWord(harness, "piv_key_retries"), QByteArray("3"));

    // Letter case does not matter in a management key.
    const QByteArray lower = FactoryKey.toLower();
    QCOMPARE(sim.requestParsed(" piv change-management-key -p " + FactoryPin + " -k " + lower + " -n " + OtherKey).SW,
             0x9000u);
    QCOMPARE(statusWord(harness, "piv_pin_retries"), QByteArray("3"));
}

void TestPivSecrets::blockedPinStopsSlotCommands()
{
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    for (int i = 0; i < 3; ++i) {
        sim.request(changeLine("pin", "000000", "123456"));
    }

    const JSON_OBJ reply = sim.requestParsed(generateKey(harness, "9a"));
    QCOMPARE(reply.SW, 0x6982u);
    QCOMPARE(reply.INFO, QByteArray("PIN is blocked. Reset PIV to use it again."));
    QCOMPARE(statusWord(harness, "piv_keys"), QByteArray("none"));
    QVERIFY(!QFile::exists(harness.dir() + "/public"));
}

void TestPivSecrets::newValueRules_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("info");
    QTest::newRow("PIN of 5 digits") << changeLine("pin", FactoryPin, "12345")
                                     << QByteArray("The new PIN must be 6 to 8 digits.");
    QTest::newRow("PIN of 9 digits") << changeLine("pin", FactoryPin, "123456789")
                                     << QByteArray("The new PIN must be 6 to 8 digits.");
    QTest::newRow("PIN with a letter") << changeLine("pin", FactoryPin, "12345a")
                                       << QByteArray("The new PIN must be 6 to 8 digits.");
    QTest::newRow("PIN with small -p") << QByteArray(" piv change-pin -p 80417326 -n 123456")
                                       << QByteArray("Option -P needs the current PIN.");
    QTest::newRow("PUK of 5 digits") << changeLine("puk", FactoryPuk, "12345")
                                     << QByteArray("The new PUK must be 6 to 8 digits.");
    QTest::newRow("key of 47 digits") << changeLine("key", FactoryKey, OtherKey.left(47))
                                      << QByteArray("The new management key must be 48 hexadecimal digits.");
    QTest::newRow("key not hex") << changeLine("key", FactoryKey, QByteArray(48, 'G'))
                                 << QByteArray("The new management key must be 48 hexadecimal digits.");
    QTest::newRow("key without PIN") << QByteArray(" piv change-management-key -k " + FactoryKey + " -n " + OtherKey)
                                     << QByteArray("Option -p needs the PIV PIN.");
}

void TestPivSecrets::newValueRules()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, info);
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());

    const JSON_OBJ reply = sim.requestParsed(line);
    QCOMPARE(reply.SW, 0x6A80u);
    QCOMPARE(reply.INFO, info);
    // A refused line costs no try.
    QCOMPARE(statusWord(harness, "piv_pin_retries"), QByteArray("3"));
    QCOMPARE(statusWord(harness, "piv_puk_retries"), QByteArray("3"));
    QCOMPARE(statusWord(harness, "piv_key_retries"), QByteArray("3"));
}

void TestPivSecrets::resetNeedsTouch_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("resolve");
    QTest::addColumn<quint32>("status");
    QTest::newRow("touched at once") << "auto" << QString() << 0x9000u;
    QTest::newRow("no touch") << "never" << QString() << 0x6983u;
    QTest::newRow("touched later") << "manual"
                                   << "touch" << 0x9000u;
    QTest::newRow("timed out later") << "manual"
                                     << "touch timeout" << 0x6983u;
}

void TestPivSecrets::resetNeedsTouch()
{
    QFETCH(QString, mode);
    QFETCH(QString, resolve);
    QFETCH(quint32, status);
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());
    QCOMPARE(sim.requestParsed(generateKey(harness, "9a")).SW, 0x9000u);
    QCOMPARE(sim.requestParsed(generateCertificate(harness, "9a", "before reset")).SW, 0x9000u);
    for (int i = 0; i < 3; ++i) {
        sim.request(changeLine("puk", "00000000", "12345678"));
    }
    for (int i = 0; i < 3; ++i) {
        sim.request(changeLine("pin", "00000000", "12345678"));
    }
    QVERIFY(harness.control("touch " + mode).startsWith("ok"));

    JSON_OBJ reply;
    if (resolve.isEmpty()) {
        reply = sim.requestParsed("piv reset");
    } else {
        sim.send("piv reset");
        QTRY_COMPARE(statusWord(harness, "touch_pending"), QByteArray("yes"));
        QVERIFY(harness.control(resolve).startsWith("ok"));
        reply = SimProcess::parse(sim.nextReply());
    }
    QCOMPARE(reply.SW, status);
    QVERIFY(harness.control("touch auto").startsWith("ok"));

    const bool wasReset = status == 0x9000u;
    QCOMPARE(sim.requestParsed(" piv read-object 9a").SW, wasReset ? 0x6A82u : 0x9000u);
    QCOMPARE(statusWord(harness, "piv_keys"), wasReset ? QByteArray("none") : QByteArray("9a"));
    QCOMPARE(sim.requestParsed(changeLine("puk", FactoryPuk, "12345678")).SW, wasReset ? 0x9000u : 0x63C0u);
    QCOMPARE(sim.requestParsed(changeLine("pin", FactoryPin, "12345678")).SW, wasReset ? 0x9000u : 0x63C0u);
}

void TestPivSecrets::fingerprintCommandsPerModel_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<bool>("sensor");
    QTest::newRow("R14") << "R14" << true;
    QTest::newRow("R15") << "R15" << true;
    QTest::newRow("R22") << "R22" << true;
    QTest::newRow("R8") << "R8" << false;
}

void TestPivSecrets::fingerprintCommandsPerModel()
{
    QFETCH(QString, model);
    QFETCH(bool, sensor);
    SimHarness harness(model);
    SimProcess sim;
    QVERIFY(sim.start());

    // "1" only once a fingerprint is enrolled (through FIDO2, which manages the sensor).
    JSON_OBJ reply = sim.requestParsed(" piv has_fingerprint ");
    QCOMPARE(reply.SW, 0x9000u);
    QCOMPARE(reply.INFO, QByteArray("0"));
    QCOMPARE(sim.requestParsed(" fido set-pin -p 31323334").SW, 0x9000u);
    if (sensor) {
        QCOMPARE(sim.requestParsed(" fido enrollment-begin -p 1234").SW, 0x9000u);
        for (int sample = 0; sample < 3; ++sample) {
            QCOMPARE(sim.requestParsed(" fido enrollment-next -i 0001").SW, 0x9000u);
        }
    }
    reply = sim.requestParsed(" piv has_fingerprint ");
    QCOMPARE(reply.SW, 0x9000u);
    QCOMPARE(reply.INFO, sensor ? QByteArray("1") : QByteArray("0"));

    const quint32 status = sensor ? 0x9000u : 0x6A81u;
    QCOMPARE(sim.requestParsed(" piv set_biopolicy 9c --bio-policy ALWAYS").SW, status);
    QCOMPARE(sim.requestParsed(" piv set_biopolicy 9e --bio-policy CACHED").SW, status);
    QCOMPARE(sim.requestParsed(" piv set_cachedtime  -t 60").SW, status);
}

void TestPivSecrets::bioPolicyRefusals_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("unknown slot") << QByteArray(" piv set_biopolicy 9b --bio-policy ALWAYS");
    QTest::newRow("no slot") << QByteArray(" piv set_biopolicy --bio-policy ALWAYS");
    QTest::newRow("unknown policy") << QByteArray(" piv set_biopolicy 9a --bio-policy SOMETIMES");
    QTest::newRow("no policy") << QByteArray(" piv set_biopolicy 9a");
    QTest::newRow("cache time 0") << QByteArray(" piv set_cachedtime  -t 0");
    QTest::newRow("cache time 256") << QByteArray(" piv set_cachedtime  -t 256");
    QTest::newRow("cache time not a number") << QByteArray(" piv set_cachedtime  -t 2x");
    QTest::newRow("cache time missing") << QByteArray(" piv set_cachedtime ");
}

void TestPivSecrets::bioPolicyRefusals()
{
    QFETCH(QByteArray, line);
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());

    const JSON_OBJ reply = sim.requestParsed(line);
    QCOMPARE(reply.SW, 0x6A80u);
    QVERIFY(!reply.INFO.isEmpty());
}

void TestPivSecrets::cachedTimeWaitsForFingerprint()
{
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());
    QVERIFY(harness.control("touch never").startsWith("ok"));
    QCOMPARE(sim.requestParsed(" piv set_cachedtime  -t 20").SW, 0x6983u);

    QVERIFY(harness.control("touch manual").startsWith("ok"));
    sim.send(" piv set_cachedtime  -t 40");
    QTRY_COMPARE(statusWord(harness, "touch_pending"), QByteArray("yes"));
    QVERIFY(harness.control("touch").startsWith("ok"));
    QCOMPARE(SimProcess::parse(sim.nextReply()).SW, 0x9000u);
}

void TestPivSecrets::pivUnreachable_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QByteArray>("setUp");
    QTest::addColumn<quint32>("status");
    QTest::newRow("model without PIV") << "R3" << QByteArray() << 0x6A82u;
    QTest::newRow("PIV switched off") << "R15" << QByteArray("device set_application -s 3") << 0x6A82u;
    QTest::newRow("CCID switched off") << "R15" << QByteArray("device set_transport -s 30") << 0x6F00u;
}

void TestPivSecrets::pivUnreachable()
{
    QFETCH(QString, model);
    QFETCH(QByteArray, setUp);
    QFETCH(quint32, status);
    SimHarness harness(model);
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());
    if (!setUp.isEmpty()) {
        QCOMPARE(sim.requestParsed(setUp).SW, 0x9000u);
        // A transport change applies at the next power-up.
        QVERIFY(harness.control("unplug").startsWith("ok"));
        QVERIFY(harness.control("plug").startsWith("ok"));
    }

    for (const QByteArray& line : {QByteArray(" piv read-object 9a"), QByteArray(" piv has_fingerprint "),
                                   changeLine("pin", FactoryPin, "123456"), QByteArray("piv reset")}) {
        const JSON_OBJ reply = sim.requestParsed(line);
        QCOMPARE(reply.SW, status);
        QVERIFY(!reply.INFO.isEmpty());
    }
    QCOMPARE(statusWord(harness, "piv_pin_retries"), QByteArray("3"));
}

void TestPivSecrets::stateSurvivesRestart()
{
    SimHarness harness;
    harness.useStateFile();
    {
        SimProcess sim;
        QVERIFY(sim.start());
        QCOMPARE(sim.requestParsed(changeLine("pin", FactoryPin, "24681357")).SW, 0x9000u);
        QCOMPARE(sim.requestParsed(changeLine("puk", "00000000", "12345678")).SW, 0x63C2u);
        QCOMPARE(sim.requestParsed(" piv generate-key 9c -p 24681357 -k " + FactoryKey + " -a RSA2048 " +
                                   QFile::encodeName(harness.dir() + "/public"))
                     .SW,
                 0x9000u);
        QCOMPARE(sim.requestParsed("piv generate-certificate 9c -p 24681357 -k " + FactoryKey + " " +
                                   QFile::encodeName(harness.dir() + "/public") + " -s  \"kept\"")
                     .SW,
                 0x9000u);
        QVERIFY(sim.finish());
    }
    // The state file holds private keys: only its owner may read it.
    QCOMPARE(QFile(harness.statePath()).permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());

    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());
    QCOMPARE(statusWord(harness, "piv_puk_retries"), QByteArray("2"));
    const JSON_OBJ info = sim.requestParsed(" piv read-object 9c");
    QCOMPARE(info.SW, 0x9000u);
    QCOMPARE(info.DATA.value(0).value("SBJECT"), QByteArray("CN=kept"));
    // The kept key still matches the public key written before the restart.
    QCOMPARE(sim.requestParsed("piv generate-csr 9c -p 24681357 " + QFile::encodeName(harness.dir() + "/public") +
                               " \"" + QFile::encodeName(harness.dir() + "/kept.csr") + "\" -s \"kept\"")
                 .SW,
             0x9000u);
    QCOMPARE(sim.requestParsed(changeLine("pin", "24681357", FactoryPin)).SW, 0x9000u);
}

QTEST_GUILESS_MAIN(TestPivSecrets)
#include "tst_pivsecrets.moc"
