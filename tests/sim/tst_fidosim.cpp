// The simulated key's FIDO2 application, driven with the window's own command lines and read
// the way the window reads them: hex-encoded PINs and their retry counter, resident
// credentials, fingerprints sample by sample, the reset window after plugging in, restarts.
#include "app/commands.h"
#include "common/simkey.h"

#include <QtTest>

namespace {

const QString Pin = QStringLiteral("1234");

QByteArray line(const QString& command)
{
    return command.toUtf8();
}

bool startWithPin(SimKey& key, const QString& pin = Pin)
{
    return key.start() && key.sw(line(Cmd::fidoSetPin(pin))) == 0x9000u;
}

// The delete line as the command channel completes it.
QByteArray deleteLine(const QByteArray& id, const QString& pin)
{
    return line(Cmd::fidoDeleteCredential(QString::fromUtf8(id), QStringLiteral("public-key"))) + " -p " +
           pin.toUtf8().toHex();
}

QByteArray retries(SimKey& key)
{
    return key.value(line(Cmd::fidoPinRetriesFromMenu()), "RETRIES");
}

QList<QByteArray> credentialIds(SimKey& key, const QString& pin = Pin)
{
    QList<QByteArray> ids;
    for (const TextMap& map : key.ask(line(Cmd::fidoListCredentials(pin))).DATA) {
        ids << map.value("CREDENTIAL_ID");
    }
    return ids;
}

QByteArray nextLine(const QByteArray& templateIdText)
{
    // The window keeps characters 2 to 5 of TEMPLATE_ID.
    return line(Cmd::fidoEnrollNext(QString::fromUtf8(templateIdText.mid(2, 4))));
}

// One sample's reply as "STATUS/REMAINING".
QByteArray sample(const JSON_OBJ& reply)
{
    return SimKey::member(reply, "STATUS") + '/' + SimKey::member(reply, "REMAINING");
}

// A whole enrolment with good samples; the TEMPLATE_ID text, or empty on any failure.
QByteArray enrol(SimKey& key, const QString& pin = Pin)
{
    JSON_OBJ reply = key.ask(line(Cmd::fidoEnrollBegin(pin)));
    const QByteArray id = SimKey::member(reply, "TEMPLATE_ID");
    while (reply.SW == 0x9000 && SimKey::member(reply, "STATUS") == "0" && SimKey::member(reply, "REMAINING") != "0") {
        reply = key.ask(nextLine(id));
    }
    return reply.SW == 0x9000 && SimKey::member(reply, "REMAINING") == "0" ? id : QByteArray();
}

QStringList names(SimKey& key)
{
    QStringList result;
    for (const TextMap& map : key.ask(line(Cmd::fidoEnumerate())).DATA) {
        result << QString::fromUtf8(map.value("TEMP_NAME"));
    }
    return result;
}

// The delete line the window builds from a template name (digits at positions 12 and 13).
QByteArray removeLine(const QString& name, const QString& pin = Pin)
{
    return line(Cmd::fidoRemoveEnrollment(pin, name.mid(12, 2).toInt()));
}

} // namespace

class TestFidoSim : public QObject
{
    Q_OBJECT

private slots:
    void setPinRules_data();
    void setPinRules();
    void changePin();
    void wrongPinsCountDownToBlock();
    void listAndDeleteCredentials();
    void reset_data();
    void reset();
    void stateSurvivesRestart();
    void enrolmentCancelAndReplug();
    void failedSamples_data();
    void failedSamples();
    void numberingAndRemoval();
    void typedPins_data();
    void typedPins();
    void verifyOutcomes_data();
    void verifyOutcomes();
    void sensorPerModel_data();
    void sensorPerModel();
};

void TestFidoSim::setPinRules_data()
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
    QTest::newRow("22 euro signs, 66 bytes") << set(QString(22, QChar(0x20AC))) << 0x37u;
    QTest::newRow("odd hex digits") << QByteArray(" fido set-pin -p 3132333") << 0x6A80u;
    QTest::newRow("zero byte") << QByteArray(" fido set-pin -p 3132003334") << 0x37u;
}

void TestFidoSim::setPinRules()
{
    QFETCH(QByteArray, command);
    QFETCH(quint32, sw);
    SimKey key;
    QVERIFY(key.sim.start());
    QCOMPARE(key.sw(line(Cmd::fidoPinRetriesFromRefresh())), 0x35u);

    const JSON_OBJ reply = key.ask(command);
    QCOMPARE(reply.SW, sw);
    QCOMPARE(reply.INFO.isEmpty(), sw == 0x9000u);
    // A refused PIN leaves the key without one.
    const JSON_OBJ after = key.ask(line(Cmd::fidoPinRetriesFromMenu()));
    QCOMPARE(after.SW, sw == 0x9000u ? 0x9000u : 0x35u);
    QVERIFY(sw != 0x9000u || SimKey::member(after, "RETRIES") == "8");
}

void TestFidoSim::changePin()
{
    SimKey key;
    QVERIFY(startWithPin(key));
    const QString newPin = QStringLiteral("Pässwörd€");
    QCOMPARE(key.sw(line(Cmd::fidoSetPin(newPin))), 0x30u);
    QCOMPARE(key.sw(line(Cmd::fidoChangePin(Pin, QStringLiteral("987")))), 0x37u);

    QCOMPARE(key.sw(line(Cmd::fidoChangePin(Pin, newPin))), 0x9000u);
    QCOMPARE(key.sw(line(Cmd::fidoListCredentials(Pin))), 0x31u);
    QCOMPARE(key.sw(line(Cmd::fidoListCredentials(newPin))), 0x9000u);
}

void TestFidoSim::wrongPinsCountDownToBlock()
{
    SimKey key;
    QVERIFY(startWithPin(key));
    const QString wrong = QStringLiteral("0000");

    // Every command that checks the PIN counts a wrong one; a right one gives all retries back.
    QCOMPARE(key.sw(line(Cmd::fidoChangePin(wrong, QStringLiteral("5678")))), 0x31u);
    QCOMPARE(key.sw(line(Cmd::fidoEnrollBegin(wrong))), 0x31u);
    QCOMPARE(key.sw(deleteLine("00", wrong)), 0x31u);
    QCOMPARE(retries(key), QByteArray("5"));
    QCOMPARE(key.sw(line(Cmd::fidoListCredentials(Pin))), 0x9000u);
    QCOMPARE(retries(key), QByteArray("8"));

    for (int left = 7; left >= 1; --left) {
        const JSON_OBJ reply = key.ask(line(Cmd::fidoListCredentials(wrong)));
        QCOMPARE(reply.SW, 0x31u);
        QVERIFY2(reply.INFO.contains(QByteArray::number(left)), reply.INFO);
        QCOMPARE(retries(key), QByteArray::number(left));
    }
    const JSON_OBJ blocking = key.ask(line(Cmd::fidoListCredentials(wrong)));
    QCOMPARE(blocking.SW, 0x32u);
    QVERIFY(blocking.INFO.contains("blocked"));

    // Blocked: even the right PIN is refused, everywhere, until a reset.
    QCOMPARE(key.value(line(Cmd::fidoPinRetriesFromRefresh()), "RETRIES"), QByteArray("0"));
    for (const QByteArray& command :
         {line(Cmd::fidoListCredentials(Pin)), line(Cmd::fidoChangePin(Pin, QStringLiteral("5678"))),
          line(Cmd::fidoEnrollBegin(Pin)), line(Cmd::fidoRemoveEnrollment(Pin, 1)), deleteLine("00", Pin)}) {
        QCOMPARE(key.sw(command), 0x32u);
    }
    QCOMPARE(key.sw(line(Cmd::fidoSetPin(Pin))), 0x30u);

    QVERIFY(key.replug());
    QCOMPARE(key.sw(line(Cmd::fidoReset())), 0x9000u);
    QCOMPARE(key.sw(line(Cmd::fidoSetPin(Pin))), 0x9000u);
    QCOMPARE(retries(key), QByteArray("8"));
}

void TestFidoSim::listAndDeleteCredentials()
{
    SimKey key;
    QVERIFY(key.start());
    QCOMPARE(key.sw(line(Cmd::fidoListCredentials(Pin))), 0x35u);
    const QString pin = QStringLiteral("ünïcödé");
    QCOMPARE(key.sw(line(Cmd::fidoSetPin(pin))), 0x9000u);

    const JSON_OBJ list = key.ask(line(Cmd::fidoListCredentials(pin)));
    QCOMPARE(list.SW, 0x9000u);
    QVERIFY(list.DATA.size() >= 3);
    QList<QByteArray> ids;
    QSet<QByteArray> parties;
    for (const TextMap& credential : list.DATA) {
        QCOMPARE(credential.keys(), (QList<QByteArray>{"CREDENTIAL_ID", "CREDENTIAL_TYPE", "RP_ID", "USER_NAME"}));
        QVERIFY(QRegularExpression("^[0-9a-f]{64}$").match(credential.value("CREDENTIAL_ID")).hasMatch());
        QCOMPARE(credential.value("CREDENTIAL_TYPE"), QByteArray("public-key"));
        QVERIFY(!credential.value("USER_NAME").isEmpty());
        ids << credential.value("CREDENTIAL_ID");
        parties.insert(credential.value("RP_ID"));
    }
    QCOMPARE(QSet<QByteArray>(ids.cbegin(), ids.cend()).size(), ids.size());
    // Several accounts at one relying party are separate credentials.
    QVERIFY(parties.size() < ids.size());
    const int seeded = ids.size();

    // Deleting one keeps the others in their order; it cannot be deleted twice.
    const QByteArray deleted = ids.takeAt(1);
    QCOMPARE(key.sw(deleteLine(deleted, pin)), 0x9000u);
    QCOMPARE(credentialIds(key, pin), ids);
    QCOMPARE(key.sw(deleteLine(deleted, pin)), 0xF0u);
    for (const QByteArray& id : ids) {
        QCOMPARE(key.sw(deleteLine(id, pin)), 0x9000u);
    }
    const JSON_OBJ none = key.ask(line(Cmd::fidoListCredentials(pin)));
    QCOMPARE(none.SW, 0xF0u);
    QVERIFY(!none.INFO.isEmpty());

    // The control channel brings the sample credentials back.
    QCOMPARE(key.harness.control("fido seed"), QStringLiteral("ok fido_credentials=%1").arg(seeded));
    QCOMPARE(credentialIds(key, pin).size(), seeded);
}

void TestFidoSim::reset_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("action");
    QTest::addColumn<quint32>("sw");
    QTest::newRow("just plugged") << "touch auto" << QString() << 0x9000u;
    QTest::newRow("8 s") << "fido clock +8" << QString() << 0x9000u;
    QTest::newRow("just over 10 s") << "fido clock +10" << QString() << 0x30u;
    QTest::newRow("never touched") << "touch never" << QString() << 0x2Fu;
    QTest::newRow("touched") << QStringLiteral("touch manual") << "touch" << 0x9000u;
    QTest::newRow("key removed") << QStringLiteral("touch manual") << "unplug" << 0x6F00u;
}

void TestFidoSim::reset()
{
    QFETCH(QString, control);
    QFETCH(QString, action);
    QFETCH(quint32, sw);
    SimKey key;
    QVERIFY(startWithPin(key));
    QCOMPARE(enrol(key), QByteArray("0x0001"));
    QVERIFY(key.replug());
    QVERIFY(key.control(control));

    const QByteArray resetLine = line(Cmd::fidoReset());
    const JSON_OBJ reply = action.isEmpty() ? key.ask(resetLine) : key.askWithTouch(resetLine, action);
    QCOMPARE(reply.SW, sw);
    QCOMPARE(reply.INFO.isEmpty(), sw == 0x9000u);
    QVERIFY(key.control("plug"));
    QVERIFY(key.control("touch auto"));
    if (sw != 0x9000u) {
        // Refused: nothing is lost.
        QCOMPARE(names(key).size(), 1);
        QCOMPARE(retries(key), QByteArray("8"));
        if (sw != 0x30u) {
            return;
        }
        // A re-plug followed by the reset at once goes through, as the window's prompt does it.
        QVERIFY(reply.INFO.contains("10 seconds"));
        QVERIFY(key.replug());
        QCOMPARE(key.sw(resetLine), 0x9000u);
    }
    // The PIN, the credentials and the fingerprints are gone.
    QCOMPARE(key.sw(line(Cmd::fidoPinRetriesFromMenu())), 0x35u);
    QVERIFY(names(key).isEmpty());
    QCOMPARE(key.sw(line(Cmd::fidoSetPin(QStringLiteral("5678")))), 0x9000u);
    QCOMPARE(key.sw(line(Cmd::fidoListCredentials(QStringLiteral("5678")))), 0xF0u);
}

void TestFidoSim::stateSurvivesRestart()
{
    SimKey key;
    key.harness.useStateFile();
    const QString pin = QStringLiteral("Grüße 1");
    QVERIFY(startWithPin(key, pin));
    QCOMPARE(enrol(key, pin), QByteArray("0x0001"));
    QCOMPARE(enrol(key, pin), QByteArray("0x0002"));
    QCOMPARE(key.sw(removeLine("Fingerprint 01", pin)), 0x9000u);
    QList<QByteArray> ids = credentialIds(key, pin);
    QCOMPARE(key.sw(deleteLine(ids.takeFirst(), pin)), 0x9000u);
    QCOMPARE(key.sw(line(Cmd::fidoListCredentials(QStringLiteral("wrong")))), 0x31u);
    QCOMPARE(key.sw(line(Cmd::fidoListCredentials(QStringLiteral("wrong")))), 0x31u);
    QVERIFY(key.control("fido clock +60"));
    QVERIFY(key.restart());

    // The key keeps a digest of its PIN, never the PIN.
    QFile file(key.harness.statePath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray saved = file.readAll();
    QVERIFY(!saved.contains(pin.toUtf8()));
    QVERIFY(!saved.contains(pin.toUtf8().toHex()));

    QCOMPARE(retries(key), QByteArray("6"));
    QCOMPARE(credentialIds(key, pin), ids);
    QCOMPARE(names(key), QStringList{"Fingerprint 02"});

    // A restart is a power-up, so the reset is allowed; and what it wiped stays wiped.
    QCOMPARE(key.sw(line(Cmd::fidoReset())), 0x9000u);
    QVERIFY(key.restart());
    QCOMPARE(key.sw(line(Cmd::fidoSetPin(Pin))), 0x9000u);
    QCOMPARE(key.sw(line(Cmd::fidoListCredentials(Pin))), 0xF0u);
    QVERIFY(names(key).isEmpty());
}

void TestFidoSim::enrolmentCancelAndReplug()
{
    SimKey key;
    QVERIFY(startWithPin(key));
    JSON_OBJ reply = key.ask(line(Cmd::fidoEnrollBegin(Pin)));
    QCOMPARE(reply.SW, 0x9000u);
    QCOMPARE(SimKey::member(reply, "TEMPLATE_ID"), QByteArray("0x0001"));
    QCOMPARE(sample(reply), QByteArray("0/3"));
    QCOMPARE(key.sw(nextLine("0x0002")), 0x2Cu);
    for (const char* remaining : {"0/2", "0/1", "0/0"}) {
        reply = key.ask(nextLine("0x0001"));
        QCOMPARE(reply.SW, 0x9000u);
        QCOMPARE(sample(reply), QByteArray(remaining));
    }
    QCOMPARE(names(key), QStringList{"Fingerprint 01"});
    QCOMPARE(key.sw(nextLine("0x0001")), 0x30u);

    // A cancel or a re-plug ends an enrolment; nothing to cancel is no failure, as the window
    // may cancel after a failed first sample.
    QCOMPARE(sample(key.ask(line(Cmd::fidoEnrollBegin(Pin)))), QByteArray("0/3"));
    QCOMPARE(key.sw(line(Cmd::fidoCancelEnrollment())), 0x9000u);
    QCOMPARE(key.sw(nextLine("0x0002")), 0x30u);
    QCOMPARE(key.sw(line(Cmd::fidoCancelEnrollment())), 0x9000u);
    QCOMPARE(key.sw(line(Cmd::fidoEnrollBegin(Pin))), 0x9000u);
    QVERIFY(key.replug());
    QCOMPARE(key.sw(nextLine("0x0002")), 0x30u);
    QCOMPARE(names(key), QStringList{"Fingerprint 01"});
}

void TestFidoSim::failedSamples_data()
{
    QTest::addColumn<QString>("finger");
    QTest::addColumn<QByteArray>("status");
    QTest::newRow("poor quality") << "bad" << QByteArray("7");
    QTest::newRow("no finger") << "none" << QByteArray("13");
    QTest::newRow("finger not lifted") << "held" << QByteArray("14");
}

void TestFidoSim::failedSamples()
{
    QFETCH(QString, finger);
    QFETCH(QByteArray, status);
    SimKey key;
    QVERIFY(startWithPin(key));

    // A failed first sample still names the template and leaves all samples to take.
    QCOMPARE(key.harness.control("fido finger " + finger), QStringLiteral("ok queued 1"));
    const JSON_OBJ reply = key.ask(line(Cmd::fidoEnrollBegin(Pin)));
    QCOMPARE(reply.SW, 0x9000u);
    QCOMPARE(SimKey::member(reply, "TEMPLATE_ID"), QByteArray("0x0001"));
    QCOMPARE(sample(reply), status + "/4");
    QVERIFY(!reply.INFO.isEmpty());

    // Later samples fail and succeed as planned; a failure does not end the enrolment.
    QCOMPARE(key.harness.control("fido finger good " + finger), QStringLiteral("ok queued 2"));
    QCOMPARE(sample(key.ask(nextLine("0x0001"))), QByteArray("0/3"));
    QCOMPARE(sample(key.ask(nextLine("0x0001"))), status + "/3");
    QCOMPARE(sample(key.ask(nextLine("0x0001"))), QByteArray("0/2"));
    QVERIFY(names(key).isEmpty());
}

void TestFidoSim::numberingAndRemoval()
{
    SimKey key;
    QVERIFY(startWithPin(key));
    for (int i = 1; i <= 10; ++i) {
        QCOMPARE(enrol(key), QString::asprintf("0x%04x", i).toUtf8());
    }
    const QStringList full = names(key);
    QCOMPARE(full.size(), 10);
    QCOMPARE(full.mid(8), (QStringList{"Fingerprint 09", "Fingerprint 10"}));
    const JSON_OBJ refused = key.ask(line(Cmd::fidoEnrollBegin(Pin)));
    QCOMPARE(refused.SW, 0x17u);
    QVERIFY(!refused.INFO.isEmpty());

    // Removal takes the PIN as typed; template 10 goes by the index the window computes.
    QCOMPARE(key.sw(removeLine("Fingerprint 02", "31323334")), 0x31u);
    QCOMPARE(key.sw(removeLine(full.last())), 0x9000u);
    QCOMPARE(key.sw(removeLine("Fingerprint 02")), 0x9000u);
    QCOMPARE(key.sw(removeLine("Fingerprint 02")), 0x2Cu);
    QStringList left = full.mid(0, 9);
    left.removeOne(QStringLiteral("Fingerprint 02"));
    QCOMPARE(names(key), left);
    // The lowest free number is taken again.
    QCOMPARE(enrol(key), QByteArray("0x0002"));
    QCOMPARE(enrol(key), QByteArray("0x000a"));
    QCOMPARE(names(key), full);
}

void TestFidoSim::typedPins_data()
{
    QTest::addColumn<QString>("pin");
    QTest::newRow("non-ASCII") << QStringLiteral("äöüß€");
    QTest::newRow("looks like an option") << QStringLiteral("a -i 7 -p");
    QTest::newRow("trailing blank") << QStringLiteral("1234 ");
}

// Fingerprint commands carry the PIN as typed: the key must see the same bytes as in the
// hexadecimal form it was set with.
void TestFidoSim::typedPins()
{
    QFETCH(QString, pin);
    SimKey key;
    QVERIFY(startWithPin(key, pin));

    QCOMPARE(enrol(key, pin), QByteArray("0x0001"));
    QCOMPARE(key.sw(removeLine("Fingerprint 01", pin)), 0x9000u);
    QVERIFY(names(key).isEmpty());
    QCOMPARE(retries(key), QByteArray("8"));
}

void TestFidoSim::verifyOutcomes_data()
{
    QTest::addColumn<bool>("enrolled");
    QTest::addColumn<QString>("control");
    QTest::addColumn<quint32>("sw");
    QTest::newRow("match") << true << "fido verify match" << 0x9000u;
    QTest::newRow("no match") << true << "fido verify nomatch" << 0x3Fu;
    QTest::newRow("no finger in time") << true << "fido verify timeout" << 0x2Fu;
    QTest::newRow("no templates") << false << "touch auto" << 0x2Eu;
}

void TestFidoSim::verifyOutcomes()
{
    QFETCH(bool, enrolled);
    QFETCH(QString, control);
    QFETCH(quint32, sw);
    SimKey key;
    QVERIFY(startWithPin(key));
    QVERIFY(!enrolled || enrol(key) == "0x0001");
    QVERIFY(key.control(control));

    const JSON_OBJ reply = key.ask(line(Cmd::fidoVerifyEnrollment()));
    QCOMPARE(reply.SW, sw);
    QCOMPARE(reply.INFO.isEmpty(), sw == 0x9000u);
    // A planned outcome holds for one test only.
    QCOMPARE(key.sw(line(Cmd::fidoVerifyEnrollment())), enrolled ? 0x9000u : 0x2Eu);
}

void TestFidoSim::sensorPerModel_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<bool>("sensor");
    QTest::newRow("R8") << "R8" << false;
    QTest::newRow("R22") << "R22" << true;
}

// PIV's fingerprint commands follow the same sensor, which FIDO2 manages.
void TestFidoSim::sensorPerModel()
{
    QFETCH(QString, model);
    QFETCH(bool, sensor);
    SimKey key(model);
    QVERIFY(startWithPin(key));
    QCOMPARE(key.ask(line(Cmd::pivHasFingerprint())).INFO, QByteArray("0"));

    const QList<QByteArray> commands = {
        line(Cmd::fidoEnumerate()),        line(Cmd::fidoEnrollBegin(Pin)),   nextLine("0x0001"),
        line(Cmd::fidoCancelEnrollment()), line(Cmd::fidoVerifyEnrollment()), removeLine("Fingerprint 01")};
    for (const QByteArray& command : commands) {
        const JSON_OBJ reply = key.ask(command);
        QVERIFY2((reply.SW == 0x01u) != sensor, command);
        QVERIFY(sensor || reply.INFO.contains("fingerprint"));
    }
    // "1" only once a fingerprint is enrolled.
    QCOMPARE(enrol(key), sensor ? QByteArray("0x0001") : QByteArray());
    QCOMPARE(key.ask(line(Cmd::pivHasFingerprint())).INFO, sensor ? QByteArray("1") : QByteArray("0"));
    const quint32 status = sensor ? 0x9000u : 0x6A81u;
    QCOMPARE(key.sw(line(Cmd::pivSetBioPolicy("9c", "ALWAYS"))), status);
    QCOMPARE(key.sw(line(Cmd::pivSetCachedTime(60))), status);
}

QTEST_GUILESS_MAIN(TestFidoSim)
#include "tst_fidosim.moc"
