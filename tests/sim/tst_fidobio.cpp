// The simulated key's fingerprints, driven with the window's own command lines and read the
// way the window reads them: enrolment sample by sample, failed samples, cancel, tests,
// template numbering and removal by the number cut from the template name.
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

// A member as the window reads it: the last map that carries it wins.
QByteArray member(const JSON_OBJ& reply, const QByteArray& key)
{
    QByteArray value;
    for (const TextMap& map : reply.DATA) {
        if (map.contains(key)) {
            value = map.value(key);
        }
    }
    return value;
}

QByteArray nextLine(const QByteArray& templateIdText)
{
    // The window keeps characters 2 to 5 of TEMPLATE_ID.
    return line(Cmd::fidoEnrollNext(QString::fromUtf8(templateIdText.mid(2, 4))));
}

// A whole enrolment with good samples; the TEMPLATE_ID text, or empty on any failure.
QByteArray enrol(SimProcess& sim, const QString& pin = Pin)
{
    JSON_OBJ reply = sim.requestParsed(line(Cmd::fidoEnrollBegin(pin)));
    const QByteArray id = member(reply, "TEMPLATE_ID");
    while (reply.SW == 0x9000 && member(reply, "STATUS") == "0" && member(reply, "REMAINING") != "0") {
        reply = sim.requestParsed(nextLine(id));
    }
    return reply.SW == 0x9000 && member(reply, "REMAINING") == "0" ? id : QByteArray();
}

QStringList names(SimProcess& sim)
{
    const JSON_OBJ reply = sim.requestParsed(line(Cmd::fidoEnumerate()));
    QStringList result;
    for (const TextMap& map : reply.DATA) {
        result << QString::fromUtf8(map.value("TEMP_NAME"));
    }
    return result;
}

// The delete line the window builds from a template name (digits at positions 12 and 13).
QByteArray removeLine(const QString& name, const QString& pin = Pin)
{
    return line(Cmd::fidoRemoveEnrollment(pin, name.mid(12, 2).toInt()));
}

void startWithPin(SimProcess& sim, const SimHarness& harness, const QString& pin = Pin)
{
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());
    QCOMPARE(sim.requestParsed(line(Cmd::fidoSetPin(pin))).SW, 0x9000u);
}

} // namespace

class TestFidoBio : public QObject
{
    Q_OBJECT

private slots:
    void enrolmentToCompletion();
    void failedSamples_data();
    void failedSamples();
    void touchSettingDecidesSamples();
    void cancelEnrolment();
    void replugDropsEnrolment();
    void nextNeedsTheTemplateInProgress();
    void numberingAndRemoval();
    void tenTemplatesAtMost();
    void removeRefusals_data();
    void removeRefusals();
    void typedPins_data();
    void typedPins();
    void verifyOutcomes_data();
    void verifyOutcomes();
    void verifyWithoutTemplates();
    void modelsWithoutSensor_data();
    void modelsWithoutSensor();
};

void TestFidoBio::enrolmentToCompletion()
{
    SimHarness harness;
    SimProcess sim;
    startWithPin(sim, harness);

    JSON_OBJ reply = sim.requestParsed(line(Cmd::fidoEnrollBegin(Pin)));
    QCOMPARE(reply.SW, 0x9000u);
    QCOMPARE(member(reply, "TEMPLATE_ID"), QByteArray("0x0001"));
    QCOMPARE(member(reply, "STATUS"), QByteArray("0"));
    QCOMPARE(member(reply, "REMAINING"), QByteArray("3"));
    QVERIFY(harness.control(QStringLiteral("status")).contains(" enrolling=0x0001"));

    for (const char* remaining : {"2", "1", "0"}) {
        reply = sim.requestParsed(nextLine("0x0001"));
        QCOMPARE(reply.SW, 0x9000u);
        QCOMPARE(member(reply, "STATUS"), QByteArray("0"));
        QCOMPARE(member(reply, "REMAINING"), QByteArray(remaining));
    }
    QCOMPARE(names(sim), QStringList{"Fingerprint 01"});
    QVERIFY(harness.control(QStringLiteral("status")).contains(" enrolling=none"));
    QCOMPARE(sim.requestParsed(nextLine("0x0001")).SW, 0x30u);
}

void TestFidoBio::failedSamples_data()
{
    QTest::addColumn<QString>("finger");
    QTest::addColumn<QByteArray>("status");
    QTest::newRow("poor quality") << "bad" << QByteArray("7");
    QTest::newRow("no finger") << "none" << QByteArray("13");
    QTest::newRow("finger not lifted") << "held" << QByteArray("14");
}

void TestFidoBio::failedSamples()
{
    QFETCH(QString, finger);
    QFETCH(QByteArray, status);
    SimHarness harness;
    SimProcess sim;
    startWithPin(sim, harness);

    // A failed first sample still names the template and leaves all samples to take.
    QCOMPARE(harness.control("fido finger " + finger), QStringLiteral("ok queued 1"));
    JSON_OBJ reply = sim.requestParsed(line(Cmd::fidoEnrollBegin(Pin)));
    QCOMPARE(reply.SW, 0x9000u);
    QCOMPARE(member(reply, "TEMPLATE_ID"), QByteArray("0x0001"));
    QCOMPARE(member(reply, "STATUS"), status);
    QCOMPARE(member(reply, "REMAINING"), QByteArray("4"));
    QVERIFY(!reply.INFO.isEmpty());

    // Later samples fail and succeed as planned; a failure does not end the enrolment.
    QCOMPARE(harness.control("fido finger good " + finger), QStringLiteral("ok queued 2"));
    reply = sim.requestParsed(nextLine("0x0001"));
    QCOMPARE(member(reply, "STATUS"), QByteArray("0"));
    QCOMPARE(member(reply, "REMAINING"), QByteArray("3"));
    reply = sim.requestParsed(nextLine("0x0001"));
    QCOMPARE(member(reply, "STATUS"), status);
    QCOMPARE(member(reply, "REMAINING"), QByteArray("3"));
    QCOMPARE(member(sim.requestParsed(nextLine("0x0001")), "REMAINING"), QByteArray("2"));
    QVERIFY(names(sim).isEmpty());
}

void TestFidoBio::touchSettingDecidesSamples()
{
    SimHarness harness;
    SimProcess sim;
    startWithPin(sim, harness);

    QVERIFY(harness.control(QStringLiteral("touch never")).startsWith("ok"));
    JSON_OBJ reply = sim.requestParsed(line(Cmd::fidoEnrollBegin(Pin)));
    QCOMPARE(member(reply, "STATUS"), QByteArray("13"));
    QCOMPARE(member(reply, "REMAINING"), QByteArray("4"));

    // In manual mode the sample waits for the finger (the touch) or its time-out.
    QVERIFY(harness.control(QStringLiteral("touch manual")).startsWith("ok"));
    sim.send(nextLine("0x0001"));
    QTRY_VERIFY(harness.control(QStringLiteral("status")).contains("touch_pending=yes"));
    QCOMPARE(harness.control(QStringLiteral("touch")), QStringLiteral("ok touched"));
    reply = SimProcess::parse(sim.nextReply());
    QCOMPARE(member(reply, "STATUS"), QByteArray("0"));
    QCOMPARE(member(reply, "REMAINING"), QByteArray("3"));

    sim.send(nextLine("0x0001"));
    QTRY_VERIFY(harness.control(QStringLiteral("status")).contains("touch_pending=yes"));
    QCOMPARE(harness.control(QStringLiteral("touch timeout")), QStringLiteral("ok timed out"));
    reply = SimProcess::parse(sim.nextReply());
    QCOMPARE(member(reply, "STATUS"), QByteArray("13"));
    QCOMPARE(member(reply, "REMAINING"), QByteArray("3"));
}

void TestFidoBio::cancelEnrolment()
{
    SimHarness harness;
    SimProcess sim;
    startWithPin(sim, harness);

    QCOMPARE(member(sim.requestParsed(line(Cmd::fidoEnrollBegin(Pin))), "REMAINING"), QByteArray("3"));
    QCOMPARE(sim.requestParsed(line(Cmd::fidoCancelEnrollment())).SW, 0x9000u);
    QCOMPARE(sim.requestParsed(nextLine("0x0001")).SW, 0x30u);
    QVERIFY(names(sim).isEmpty());
    // Nothing to cancel is no failure: the window may cancel after a failed first sample.
    QCOMPARE(sim.requestParsed(line(Cmd::fidoCancelEnrollment())).SW, 0x9000u);
    QCOMPARE(enrol(sim), QByteArray("0x0001"));
}

void TestFidoBio::replugDropsEnrolment()
{
    SimHarness harness;
    SimProcess sim;
    startWithPin(sim, harness);

    QCOMPARE(sim.requestParsed(line(Cmd::fidoEnrollBegin(Pin))).SW, 0x9000u);
    QVERIFY(harness.control(QStringLiteral("unplug")).startsWith("ok"));
    QVERIFY(harness.control(QStringLiteral("plug")).startsWith("ok"));
    QCOMPARE(sim.requestParsed(nextLine("0x0001")).SW, 0x30u);
}

void TestFidoBio::nextNeedsTheTemplateInProgress()
{
    SimHarness harness;
    SimProcess sim;
    startWithPin(sim, harness);

    QCOMPARE(sim.requestParsed(line(Cmd::fidoEnrollBegin(Pin))).SW, 0x9000u);
    QCOMPARE(sim.requestParsed(nextLine("0x0002")).SW, 0x2Cu);
    QCOMPARE(sim.requestParsed(" fido enrollment-next -i zz").SW, 0x6A80u);
    QCOMPARE(sim.requestParsed(" fido enrollment-next -i ").SW, 0x6A80u);
    QCOMPARE(member(sim.requestParsed(nextLine("0x0001")), "REMAINING"), QByteArray("2"));
}

void TestFidoBio::numberingAndRemoval()
{
    SimHarness harness;
    SimProcess sim;
    startWithPin(sim, harness);
    for (const char* id : {"0x0001", "0x0002", "0x0003"}) {
        QCOMPARE(enrol(sim), QByteArray(id));
    }
    QCOMPARE(names(sim), (QStringList{"Fingerprint 01", "Fingerprint 02", "Fingerprint 03"}));

    QCOMPARE(removeLine("Fingerprint 02"), QByteArray(" fido remove-enrollment -p 1234 -i 0002"));
    QCOMPARE(sim.requestParsed(removeLine("Fingerprint 02")).SW, 0x9000u);
    QCOMPARE(names(sim), (QStringList{"Fingerprint 01", "Fingerprint 03"}));

    // The lowest free number is taken again.
    QCOMPARE(enrol(sim), QByteArray("0x0002"));
    QCOMPARE(names(sim), (QStringList{"Fingerprint 01", "Fingerprint 02", "Fingerprint 03"}));
}

void TestFidoBio::tenTemplatesAtMost()
{
    SimHarness harness;
    SimProcess sim;
    startWithPin(sim, harness);
    for (int i = 1; i <= 10; ++i) {
        QCOMPARE(enrol(sim), QString::asprintf("0x%04x", i).toUtf8());
    }
    const QStringList full = names(sim);
    QCOMPARE(full.size(), 10);
    QCOMPARE(full.last(), QStringLiteral("Fingerprint 10"));

    const JSON_OBJ refused = sim.requestParsed(line(Cmd::fidoEnrollBegin(Pin)));
    QCOMPARE(refused.SW, 0x17u);
    QVERIFY(!refused.INFO.isEmpty());

    // Template 10 is deleted with the hexadecimal index the window computes from "10".
    QVERIFY(removeLine(full.last()).endsWith(" -i 000a"));
    QCOMPARE(sim.requestParsed(removeLine(full.last())).SW, 0x9000u);
    QCOMPARE(names(sim), full.mid(0, 9));
    QCOMPARE(enrol(sim), QByteArray("0x000a"));
}

void TestFidoBio::removeRefusals_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<quint32>("sw");
    QTest::addColumn<QByteArray>("retriesAfter");
    QTest::newRow("wrong PIN") << removeLine("Fingerprint 01", "4321") << 0x31u << QByteArray("7");
    QTest::newRow("PIN sent as hex") << removeLine("Fingerprint 01", "31323334") << 0x31u << QByteArray("7");
    QTest::newRow("unknown template") << removeLine("Fingerprint 05") << 0x2Cu << QByteArray("8");
    QTest::newRow("index not hex") << QByteArray(" fido remove-enrollment -p 1234 -i 00zz") << 0x6A80u
                                   << QByteArray("8");
    QTest::newRow("no index") << QByteArray(" fido remove-enrollment -p 1234") << 0x6A80u << QByteArray("8");
    QTest::newRow("no PIN") << QByteArray(" fido remove-enrollment -i 0001") << 0x6A80u << QByteArray("8");
}

void TestFidoBio::removeRefusals()
{
    QFETCH(QByteArray, command);
    QFETCH(quint32, sw);
    QFETCH(QByteArray, retriesAfter);
    SimHarness harness;
    SimProcess sim;
    startWithPin(sim, harness);
    QCOMPARE(enrol(sim), QByteArray("0x0001"));

    const JSON_OBJ reply = sim.requestParsed(command);
    QCOMPARE(reply.SW, sw);
    QVERIFY(!reply.INFO.isEmpty());
    QCOMPARE(names(sim), QStringList{"Fingerprint 01"});
    const JSON_OBJ retries = sim.requestParsed(line(Cmd::fidoPinRetriesFromMenu()));
    QCOMPARE(member(retries, "RETRIES"), retriesAfter);
}

void TestFidoBio::typedPins_data()
{
    QTest::addColumn<QString>("pin");
    QTest::newRow("non-ASCII") << QStringLiteral("äöüß€");
    QTest::newRow("blanks") << QStringLiteral("my pin 1");
    QTest::newRow("looks like an option") << QStringLiteral("a -i 7 -p");
    QTest::newRow("trailing blank") << QStringLiteral("1234 ");
}

// Fingerprint commands carry the PIN as typed: the key must see the same bytes as in the
// hexadecimal form it was set with.
void TestFidoBio::typedPins()
{
    QFETCH(QString, pin);
    SimHarness harness;
    SimProcess sim;
    startWithPin(sim, harness, pin);

    QCOMPARE(enrol(sim, pin), QByteArray("0x0001"));
    QCOMPARE(sim.requestParsed(removeLine("Fingerprint 01", pin)).SW, 0x9000u);
    QVERIFY(names(sim).isEmpty());
    const JSON_OBJ retries = sim.requestParsed(line(Cmd::fidoPinRetriesFromMenu()));
    QCOMPARE(member(retries, "RETRIES"), QByteArray("8"));
}

void TestFidoBio::verifyOutcomes_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<quint32>("sw");
    QTest::newRow("default: match") << QString() << 0x9000u;
    QTest::newRow("match") << "fido verify match" << 0x9000u;
    QTest::newRow("no match") << "fido verify nomatch" << 0x3Fu;
    QTest::newRow("no finger in time") << "fido verify timeout" << 0x2Fu;
    QTest::newRow("touch never comes") << "touch never" << 0x2Fu;
}

void TestFidoBio::verifyOutcomes()
{
    QFETCH(QString, control);
    QFETCH(quint32, sw);
    SimHarness harness;
    SimProcess sim;
    startWithPin(sim, harness);
    QCOMPARE(enrol(sim), QByteArray("0x0001"));
    if (!control.isEmpty()) {
        QVERIFY(harness.control(control).startsWith("ok"));
    }

    const JSON_OBJ reply = sim.requestParsed(line(Cmd::fidoVerifyEnrollment()));
    QCOMPARE(reply.SW, sw);
    QCOMPARE(reply.INFO.isEmpty(), sw == 0x9000u);

    // A planned outcome holds for one test only.
    QVERIFY(harness.control(QStringLiteral("touch auto")).startsWith("ok"));
    QCOMPARE(sim.requestParsed(line(Cmd::fidoVerifyEnrollment())).SW, 0x9000u);
}

void TestFidoBio::verifyWithoutTemplates()
{
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    const JSON_OBJ reply = sim.requestParsed(line(Cmd::fidoVerifyEnrollment()));
    QCOMPARE(reply.SW, 0x2Eu);
    QVERIFY(!reply.INFO.isEmpty());
}

void TestFidoBio::modelsWithoutSensor_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<bool>("sensor");
    QTest::newRow("R3") << "R3" << false;
    QTest::newRow("R8") << "R8" << false;
    QTest::newRow("R14") << "R14" << true;
    QTest::newRow("R15") << "R15" << true;
    QTest::newRow("R22") << "R22" << true;
}

void TestFidoBio::modelsWithoutSensor()
{
    QFETCH(QString, model);
    QFETCH(bool, sensor);
    SimHarness harness(model);
    SimProcess sim;
    startWithPin(sim, harness);

    const QList<QByteArray> commands = {
        line(Cmd::fidoEnumerate()),        line(Cmd::fidoEnrollBegin(Pin)),   nextLine("0x0001"),
        line(Cmd::fidoCancelEnrollment()), line(Cmd::fidoVerifyEnrollment()), removeLine("Fingerprint 01")};
    for (const QByteArray& command : commands) {
        const JSON_OBJ reply = sim.requestParsed(command);
        if (sensor) {
            QVERIFY2(reply.SW != 0x01u, command);
        } else {
            QCOMPARE(reply.SW, 0x01u);
            QVERIFY(reply.INFO.contains("fingerprint"));
        }
    }
    if (sensor) {
        QCOMPARE(enrol(sim), QByteArray("0x0001"));
    }
}

QTEST_GUILESS_MAIN(TestFidoBio)
#include "tst_fidobio.moc"
