// The simulated key's FIDO2 PIN and resident credentials, driven with the window's own command
// lines: hex-encoded PINs, the length rules, the retry counter down to a block, listing and
// deleting credentials.
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

// The delete line as the command channel completes it.
QByteArray deleteLine(const QByteArray& id, const QString& pin)
{
    return line(Cmd::fidoDeleteCredential(QString::fromUtf8(id), QStringLiteral("public-key"))) + " -p " +
           pin.toUtf8().toHex();
}

QByteArray retries(SimProcess& sim)
{
    return sim.requestParsed(line(Cmd::fidoPinRetriesFromMenu())).DATA.value(0).value("RETRIES");
}

QList<QByteArray> credentialIds(const JSON_OBJ& reply)
{
    QList<QByteArray> ids;
    for (const TextMap& map : reply.DATA) {
        ids << map.value("CREDENTIAL_ID");
    }
    return ids;
}

} // namespace

class TestFidoPin : public QObject
{
    Q_OBJECT

private slots:
    void retriesWithoutPin_data();
    void retriesWithoutPin();
    void setPinRules_data();
    void setPinRules();
    void setPinOnlyOnce();
    void changePin_data();
    void changePin();
    void wrongPinsCountDownToBlock();
    void disabledApplicationRefuses();
    void listCredentials();
    void listCredentialsNeedsRightPin_data();
    void listCredentialsNeedsRightPin();
    void deleteCredentials();
    void deleteRefusals_data();
    void deleteRefusals();
};

void TestFidoPin::retriesWithoutPin_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("menu, trailing blank") << Cmd::fidoPinRetriesFromMenu();
    QTest::newRow("refresh, no trailing blank") << Cmd::fidoPinRetriesFromRefresh();
}

void TestFidoPin::retriesWithoutPin()
{
    QFETCH(QString, command);
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());

    JSON_OBJ reply = sim.requestParsed(line(command));
    QCOMPARE(reply.SW, 0x35u);
    QVERIFY(!reply.INFO.isEmpty());

    QCOMPARE(sim.requestParsed(line(Cmd::fidoSetPin(Pin))).SW, 0x9000u);
    reply = sim.requestParsed(line(command));
    QCOMPARE(reply.SW, 0x9000u);
    QCOMPARE(reply.DATA.size(), 1);
    QCOMPARE(reply.DATA[0].value("RETRIES"), QByteArray("8"));
}

void TestFidoPin::setPinRules_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<quint32>("sw");
    const auto set = [](const QString& pin) { return line(Cmd::fidoSetPin(pin)); };
    QTest::newRow("3 characters") << set("123") << 0x37u;
    QTest::newRow("4 characters") << set("1234") << 0x9000u;
    QTest::newRow("63 bytes") << set(QString(63, 'a')) << 0x9000u;
    QTest::newRow("64 bytes") << set(QString(64, 'a')) << 0x37u;
    // Length counts characters, the limit counts bytes.
    QTest::newRow("4 two-byte characters") << set(QStringLiteral("äöüß")) << 0x9000u;
    QTest::newRow("3 two-byte characters") << set(QStringLiteral("äöü")) << 0x37u;
    QTest::newRow("21 euro signs, 63 bytes") << set(QString(21, QChar(0x20AC))) << 0x9000u;
    QTest::newRow("22 euro signs, 66 bytes") << set(QString(22, QChar(0x20AC))) << 0x37u;
    QTest::newRow("blanks inside") << set(QStringLiteral("a b c")) << 0x9000u;
    QTest::newRow("upper-case hex") << QByteArray(" fido set-pin -p 4142434A") << 0x9000u;
    QTest::newRow("odd hex digits") << QByteArray(" fido set-pin -p 3132333") << 0x6A80u;
    QTest::newRow("not hex") << QByteArray(" fido set-pin -p 31zz3334") << 0x6A80u;
    QTest::newRow("no PIN") << QByteArray(" fido set-pin -p") << 0x6A80u;
    QTest::newRow("no option") << QByteArray(" fido set-pin") << 0x6A80u;
    QTest::newRow("zero byte") << QByteArray(" fido set-pin -p 3132003334") << 0x37u;
    QTest::newRow("not UTF-8") << QByteArray(" fido set-pin -p ff313233") << 0x37u;
}

void TestFidoPin::setPinRules()
{
    QFETCH(QByteArray, command);
    QFETCH(quint32, sw);
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());

    const JSON_OBJ reply = sim.requestParsed(command);
    QCOMPARE(reply.SW, sw);
    QCOMPARE(reply.INFO.isEmpty(), sw == 0x9000u);
    // A refused PIN leaves the key without one.
    QCOMPARE(sim.requestParsed(line(Cmd::fidoPinRetriesFromMenu())).SW, sw == 0x9000u ? 0x9000u : 0x35u);
}

void TestFidoPin::setPinOnlyOnce()
{
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QCOMPARE(sim.requestParsed(line(Cmd::fidoSetPin(Pin))).SW, 0x9000u);

    const JSON_OBJ again = sim.requestParsed(line(Cmd::fidoSetPin(QStringLiteral("5678"))));
    QCOMPARE(again.SW, 0x30u);
    QVERIFY(!again.INFO.isEmpty());
    QCOMPARE(sim.requestParsed(line(Cmd::fidoListCredentials(Pin))).SW, 0x9000u);
}

void TestFidoPin::changePin_data()
{
    QTest::addColumn<QString>("oldPin");
    QTest::addColumn<QString>("newPin");
    QTest::addColumn<quint32>("sw");
    QTest::newRow("right old PIN") << Pin << QStringLiteral("87654321") << 0x9000u;
    QTest::newRow("to non-ASCII") << Pin << QStringLiteral("Pässwörd€") << 0x9000u;
    QTest::newRow("same PIN again") << Pin << Pin << 0x9000u;
    QTest::newRow("wrong old PIN") << QStringLiteral("4321") << QStringLiteral("87654321") << 0x31u;
    QTest::newRow("new PIN too short") << Pin << QStringLiteral("987") << 0x37u;
    QTest::newRow("new PIN too long") << Pin << QString(64, '9') << 0x37u;
}

void TestFidoPin::changePin()
{
    QFETCH(QString, oldPin);
    QFETCH(QString, newPin);
    QFETCH(quint32, sw);
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QCOMPARE(sim.requestParsed(line(Cmd::fidoSetPin(Pin))).SW, 0x9000u);

    QCOMPARE(sim.requestParsed(line(Cmd::fidoChangePin(oldPin, newPin))).SW, sw);

    // The PIN in force afterwards is the new one only after a success.
    const QString inForce = sw == 0x9000u ? newPin : Pin;
    QCOMPARE(sim.requestParsed(line(Cmd::fidoListCredentials(inForce))).SW, 0x9000u);
    if (inForce != Pin) {
        QCOMPARE(sim.requestParsed(line(Cmd::fidoListCredentials(Pin))).SW, 0x31u);
    }
}

void TestFidoPin::wrongPinsCountDownToBlock()
{
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QCOMPARE(sim.requestParsed(line(Cmd::fidoSetPin(Pin))).SW, 0x9000u);
    const QString wrong = QStringLiteral("0000");

    // Every command that checks the PIN counts a wrong one; a right one gives all retries back.
    QCOMPARE(sim.requestParsed(line(Cmd::fidoChangePin(wrong, QStringLiteral("5678")))).SW, 0x31u);
    QCOMPARE(sim.requestParsed(line(Cmd::fidoListCredentials(wrong))).SW, 0x31u);
    QCOMPARE(sim.requestParsed(line(Cmd::fidoEnrollBegin(wrong))).SW, 0x31u);
    QCOMPARE(retries(sim), QByteArray("5"));
    QCOMPARE(sim.requestParsed(line(Cmd::fidoListCredentials(Pin))).SW, 0x9000u);
    QCOMPARE(retries(sim), QByteArray("8"));

    for (int left = 7; left >= 1; --left) {
        const JSON_OBJ reply = sim.requestParsed(line(Cmd::fidoListCredentials(wrong)));
        QCOMPARE(reply.SW, 0x31u);
        QVERIFY2(reply.INFO.contains(QByteArray::number(left)), reply.INFO);
        QCOMPARE(retries(sim), QByteArray::number(left));
    }
    const JSON_OBJ blocking = sim.requestParsed(line(Cmd::fidoListCredentials(wrong)));
    QCOMPARE(blocking.SW, 0x32u);
    QVERIFY(blocking.INFO.contains("blocked"));

    // Blocked: even the right PIN is refused, everywhere, until a reset.
    const JSON_OBJ status = sim.requestParsed(line(Cmd::fidoPinRetriesFromRefresh()));
    QCOMPARE(status.SW, 0x9000u);
    QCOMPARE(status.DATA.value(0).value("RETRIES"), QByteArray("0"));
    QCOMPARE(sim.requestParsed(line(Cmd::fidoListCredentials(Pin))).SW, 0x32u);
    QCOMPARE(sim.requestParsed(line(Cmd::fidoChangePin(Pin, QStringLiteral("5678")))).SW, 0x32u);
    QCOMPARE(sim.requestParsed(line(Cmd::fidoEnrollBegin(Pin))).SW, 0x32u);
    QCOMPARE(sim.requestParsed(line(Cmd::fidoRemoveEnrollment(Pin, 1))).SW, 0x32u);
    QCOMPARE(sim.requestParsed(deleteLine("00", Pin)).SW, 0x32u);
    QCOMPARE(sim.requestParsed(line(Cmd::fidoSetPin(Pin))).SW, 0x30u);

    // Only a reset, right after a re-plug, makes the key usable again.
    QVERIFY(harness.waitUntilReady());
    QVERIFY(harness.control(QStringLiteral("unplug")).startsWith("ok"));
    QVERIFY(harness.control(QStringLiteral("plug")).startsWith("ok"));
    QCOMPARE(sim.requestParsed(line(Cmd::fidoReset())).SW, 0x9000u);
    QCOMPARE(sim.requestParsed(line(Cmd::fidoPinRetriesFromMenu())).SW, 0x35u);
    QCOMPARE(sim.requestParsed(line(Cmd::fidoSetPin(Pin))).SW, 0x9000u);
    QCOMPARE(retries(sim), QByteArray("8"));
}

void TestFidoPin::disabledApplicationRefuses()
{
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QCOMPARE(sim.requestParsed("device set_application -s 62").SW, 0x9000u);

    const JSON_OBJ refused = sim.requestParsed(line(Cmd::fidoSetPin(Pin)));
    QCOMPARE(refused.SW, 0x6985u);
    QVERIFY(refused.INFO.contains("FIDO2"));
    QCOMPARE(sim.requestParsed(line(Cmd::fidoEnumerate())).SW, 0x6985u);

    QCOMPARE(sim.requestParsed("device set_application -s 63").SW, 0x9000u);
    QCOMPARE(sim.requestParsed(line(Cmd::fidoPinRetriesFromMenu())).SW, 0x35u);
}

void TestFidoPin::listCredentials()
{
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QCOMPARE(sim.requestParsed(line(Cmd::fidoSetPin(Pin))).SW, 0x9000u);

    const JSON_OBJ reply = sim.requestParsed(line(Cmd::fidoListCredentials(Pin)));
    QCOMPARE(reply.SW, 0x9000u);
    QVERIFY(reply.DATA.size() >= 3);
    QSet<QByteArray> ids;
    QMap<QByteArray, int> perParty;
    for (const TextMap& credential : reply.DATA) {
        QCOMPARE(credential.keys(), (QList<QByteArray>{"CREDENTIAL_ID", "CREDENTIAL_TYPE", "RP_ID", "USER_NAME"}));
        QVERIFY(QRegularExpression("^[0-9a-f]{64}$").match(credential.value("CREDENTIAL_ID")).hasMatch());
        QCOMPARE(credential.value("CREDENTIAL_TYPE"), QByteArray("public-key"));
        QVERIFY(credential.value("RP_ID").contains('.'));
        QVERIFY(!credential.value("USER_NAME").isEmpty());
        ids.insert(credential.value("CREDENTIAL_ID"));
        ++perParty[credential.value("RP_ID")];
    }
    QCOMPARE(ids.size(), reply.DATA.size());
    // Several accounts at one relying party are separate credentials.
    QVERIFY(std::any_of(perParty.cbegin(), perParty.cend(), [](int count) { return count > 1; }));
}

void TestFidoPin::listCredentialsNeedsRightPin_data()
{
    QTest::addColumn<bool>("pinSet");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<quint32>("sw");
    QTest::newRow("no PIN on the key") << false << line(Cmd::fidoListCredentials(Pin)) << 0x35u;
    QTest::newRow("wrong PIN") << true << line(Cmd::fidoListCredentials(QStringLiteral("12345"))) << 0x31u;
    QTest::newRow("PIN as typed, not hex") << true << QByteArray(" fido get-resident-credentials -p 1234") << 0x31u;
    QTest::newRow("PIN not hex at all") << true << QByteArray(" fido get-resident-credentials -p pin!") << 0x6A80u;
}

void TestFidoPin::listCredentialsNeedsRightPin()
{
    QFETCH(bool, pinSet);
    QFETCH(QByteArray, command);
    QFETCH(quint32, sw);
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    if (pinSet) {
        QCOMPARE(sim.requestParsed(line(Cmd::fidoSetPin(Pin))).SW, 0x9000u);
    }

    const JSON_OBJ reply = sim.requestParsed(command);
    QCOMPARE(reply.SW, sw);
    QVERIFY(reply.DATA.isEmpty());
    QVERIFY(!reply.INFO.isEmpty());
}

void TestFidoPin::deleteCredentials()
{
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());
    const QString pin = QStringLiteral("ünïcödé");
    QCOMPARE(sim.requestParsed(line(Cmd::fidoSetPin(pin))).SW, 0x9000u);
    QList<QByteArray> ids = credentialIds(sim.requestParsed(line(Cmd::fidoListCredentials(pin))));
    const int seeded = ids.size();

    // Deleting one keeps the others in their order; it cannot be deleted twice.
    const QByteArray deleted = ids.takeAt(1);
    QCOMPARE(sim.requestParsed(deleteLine(deleted, pin)).SW, 0x9000u);
    QCOMPARE(credentialIds(sim.requestParsed(line(Cmd::fidoListCredentials(pin)))), ids);
    QCOMPARE(sim.requestParsed(deleteLine(deleted, pin)).SW, 0xF0u);

    for (const QByteArray& id : ids) {
        QCOMPARE(sim.requestParsed(deleteLine(id, pin)).SW, 0x9000u);
    }
    const JSON_OBJ none = sim.requestParsed(line(Cmd::fidoListCredentials(pin)));
    QCOMPARE(none.SW, 0xF0u);
    QVERIFY(!none.INFO.isEmpty());

    // The control channel brings the sample credentials back.
    QCOMPARE(harness.control(QStringLiteral("fido seed")), QStringLiteral("ok fido_credentials=%1").arg(seeded));
    QCOMPARE(sim.requestParsed(line(Cmd::fidoListCredentials(pin))).DATA.size(), seeded);
}

void TestFidoPin::deleteRefusals_data()
{
    QTest::addColumn<QString>("pin");
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("knownId");
    QTest::addColumn<quint32>("sw");
    QTest::newRow("wrong PIN") << QStringLiteral("4321") << QStringLiteral("public-key") << true << 0x31u;
    QTest::newRow("unknown id") << Pin << QStringLiteral("public-key") << false << 0xF0u;
    QTest::newRow("unknown type") << Pin << QStringLiteral("private-key") << true << 0x6A80u;
}

void TestFidoPin::deleteRefusals()
{
    QFETCH(QString, pin);
    QFETCH(QString, type);
    QFETCH(bool, knownId);
    QFETCH(quint32, sw);
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QCOMPARE(sim.requestParsed(line(Cmd::fidoSetPin(Pin))).SW, 0x9000u);
    const QList<QByteArray> before = credentialIds(sim.requestParsed(line(Cmd::fidoListCredentials(Pin))));
    const QByteArray id = knownId ? before.first() : QByteArray(64, 'a');

    const QByteArray command =
        line(Cmd::fidoDeleteCredential(QString::fromUtf8(id), type)) + " -p " + pin.toUtf8().toHex();
    const JSON_OBJ reply = sim.requestParsed(command);
    QCOMPARE(reply.SW, sw);
    QVERIFY(!reply.INFO.isEmpty());
    QCOMPARE(credentialIds(sim.requestParsed(line(Cmd::fidoListCredentials(Pin)))), before);
}

QTEST_GUILESS_MAIN(TestFidoPin)
#include "tst_fidopin.moc"
