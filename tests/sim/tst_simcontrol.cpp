// The control channel: presence changes give exactly one device event each while monitoring,
// forced failures, touch settings, model replacement and the command-line client.
#include "common/simharness.h"
#include "common/simprocess.h"

#include <QtTest>

class TestSimControl : public QObject
{
    Q_OBJECT

private slots:
    void presenceChangesGiveOneEventEach();
    void noEventsWithoutMonitoring();
    void plugAfterMonitorStartSendsNoInfoReply();
    void repeatedPresenceCommandsChangeNothing();
    void forcedFailureAnswersNextKeyCommandOnce_data();
    void forcedFailureAnswersNextKeyCommandOnce();
    void touchSettings_data();
    void touchSettings();
    void touchWaitHoldsLaterLines();
    void removalEndsWaitingTouch();
    void modelReplacementNeedsUnpluggedKey();
    void unknownControlCommandIsAnError();
    void commandLineClientPrintsReply();
};

// Each presence command is followed by a marker command, so an extra or missing event would
// show up as the wrong next reply.
void TestSimControl::presenceChangesGiveOneEventEach()
{
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());
    QCOMPARE(sim.requestParsed(" monitor start").SW, 0x80900002u);
    QCOMPARE(SimProcess::parse(sim.nextReply()).SW, 0x9000u);

    const QList<QPair<QString, quint32>> steps = {
        {"unplug", 0x80900001u}, {"plug", 0x80900002u},   {"second", 0x80900003u}, {"single", 0x80900002u},
        {"second", 0x80900003u}, {"unplug", 0x80900001u}, {"second", 0x80900003u}};
    for (const auto& [command, event] : steps) {
        QVERIFY(harness.control(command).startsWith("ok keys="));
        QCOMPARE(SimProcess::parse(sim.nextReply()).SW, event);
        QCOMPARE(sim.requestParsed("marker").SW, 0x6D00u);
    }
}

void TestSimControl::noEventsWithoutMonitoring()
{
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());

    for (const char* command : {"unplug", "plug", "second", "single"}) {
        QVERIFY(harness.control(command).startsWith("ok"));
    }
    QCOMPARE(sim.requestParsed("marker").SW, 0x6D00u);

    QCOMPARE(sim.requestParsed(" monitor start").SW, 0x80900002u);
    QCOMPARE(SimProcess::parse(sim.nextReply()).SW, 0x9000u);
    sim.send("monitor stop");
    QVERIFY(harness.control("unplug").startsWith("ok"));
    QCOMPARE(sim.requestParsed("marker").SW, 0x6D00u);
}

void TestSimControl::plugAfterMonitorStartSendsNoInfoReply()
{
    SimHarness harness;
    harness.setKeysAtStart(0);
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());
    QCOMPARE(sim.requestParsed(" monitor start").SW, 0x80900001u);

    QCOMPARE(harness.control("plug"), QStringLiteral("ok keys=1"));
    QCOMPARE(SimProcess::parse(sim.nextReply()).SW, 0x80900002u);
    const JSON_OBJ info = sim.requestParsed("monitor deviceinfo");
    QCOMPARE(info.SW, 0x9000u);
    QCOMPARE(info.DATA.value(0).value("MODULE"), QByteArray("R15"));
}

void TestSimControl::repeatedPresenceCommandsChangeNothing()
{
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());
    QCOMPARE(sim.requestParsed(" monitor start").SW, 0x80900002u);
    sim.nextReply();

    QCOMPARE(harness.control("plug"), QStringLiteral("ok keys=1"));
    QCOMPARE(harness.control("single"), QStringLiteral("ok keys=1"));
    QCOMPARE(sim.requestParsed("marker").SW, 0x6D00u);
    QCOMPARE(harness.control("unplug"), QStringLiteral("ok keys=0"));
    QCOMPARE(SimProcess::parse(sim.nextReply()).SW, 0x80900001u);
    QCOMPARE(harness.control("unplug"), QStringLiteral("ok keys=0"));
    QCOMPARE(harness.control("single"), QStringLiteral("ok keys=0"));
    QCOMPARE(sim.requestParsed("marker").SW, 0x6D00u);
}

void TestSimControl::forcedFailureAnswersNextKeyCommandOnce_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<quint32>("sw");
    QTest::addColumn<QByteArray>("info");
    QTest::newRow("with info") << "fail 6a82 Not here, sorry" << 0x6A82u << QByteArray("Not here, sorry");
    QTest::newRow("without info") << "fail 6F00" << 0x6F00u << QByteArray();
    QTest::newRow("success status") << "fail 9000" << 0x9000u << QByteArray();
}

void TestSimControl::forcedFailureAnswersNextKeyCommandOnce()
{
    QFETCH(QString, command);
    QFETCH(quint32, sw);
    QFETCH(QByteArray, info);
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());

    QVERIFY(harness.control(command).startsWith("ok next key command answers"));
    // Lines that do not reach the key leave the failure waiting.
    QCOMPARE(sim.requestParsed(" monitor start").SW, 0x80900002u);
    QCOMPARE(SimProcess::parse(sim.nextReply()).SW, 0x9000u);
    QCOMPARE(sim.requestParsed("unknown").SW, 0x6D00u);

    const QByteArray forced = sim.request("device set_application -s 1");
    QCOMPARE(SimProcess::parse(forced).SW, sw);
    QCOMPARE(SimProcess::parse(forced).INFO, info);
    QVERIFY(!forced.contains("DATA"));
    // The forced command did nothing; the next one is served normally.
    QCOMPARE(sim.requestParsed("monitor deviceinfo").DATA.value(0).value("APPLICATION"),
             QByteArray("FIDO2U2F+PIV+OPENPGP+OTP+NDEF"));
    QVERIFY(harness.control("status").endsWith("fail=none"));
}

void TestSimControl::touchSettings_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("statusPart");
    QTest::newRow("manual") << "touch manual"
                            << "ok touch manual"
                            << "touch=manual touch_pending=no";
    QTest::newRow("never") << "touch never"
                           << "ok touch never"
                           << "touch=never";
    QTest::newRow("auto") << "touch auto"
                          << "ok touch auto"
                          << "touch=auto";
    QTest::newRow("nothing to touch") << "touch"
                                      << "error nothing waits for a touch"
                                      << "touch=auto";
    QTest::newRow("nothing to time out") << "touch timeout"
                                         << "error nothing waits for a touch"
                                         << "touch=auto";
    QTest::newRow("bad mode") << "touch sometimes"
                              << "error usage: touch [auto|never|manual|timeout]"
                              << "touch=auto";
}

void TestSimControl::touchSettings()
{
    QFETCH(QString, command);
    QFETCH(QString, reply);
    QFETCH(QString, statusPart);
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());

    QCOMPARE(harness.control(command), reply);
    QVERIFY2(harness.control("status").contains(statusPart), qPrintable(harness.control("status")));
}

// "otp reset" stands for any command that needs a touch.
void TestSimControl::touchWaitHoldsLaterLines()
{
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());
    QVERIFY(harness.control("touch manual").startsWith("ok"));

    sim.send("otp reset");
    QTRY_VERIFY(harness.control("status").contains("touch_pending=yes"));
    sim.send("monitor deviceinfo");
    QVERIFY(harness.control("status").contains("touch_pending=yes"));
    QCOMPARE(harness.control("touch"), QStringLiteral("ok touched"));
    QCOMPARE(SimProcess::parse(sim.nextReply()).SW, 0x9000u);
    QCOMPARE(SimProcess::parse(sim.nextReply()).DATA.value(0).value("MODULE"), QByteArray("R15"));
    QCOMPARE(harness.control("touch"), QStringLiteral("error nothing waits for a touch"));
}

void TestSimControl::removalEndsWaitingTouch()
{
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());
    QCOMPARE(sim.requestParsed(" monitor start").SW, 0x80900002u);
    sim.nextReply();
    QVERIFY(harness.control("touch manual").startsWith("ok"));

    sim.send("otp reset");
    QTRY_VERIFY(harness.control("status").contains("touch_pending=yes"));
    QVERIFY(harness.control("unplug").startsWith("ok"));
    QCOMPARE(SimProcess::parse(sim.nextReply()).SW, 0x80900001u);
    const JSON_OBJ ended = SimProcess::parse(sim.nextReply());
    QCOMPARE(ended.SW, 0x6F00u);
    QCOMPARE(ended.INFO, QByteArray("The security key was removed."));
    QCOMPARE(sim.requestParsed("marker").SW, 0x6D00u);
}

void TestSimControl::modelReplacementNeedsUnpluggedKey()
{
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());

    QCOMPARE(harness.control("model R3"), QStringLiteral("error unplug the key first"));
    QVERIFY(harness.control("model R99").startsWith("error usage: model <name>, one of R3 R8 R14 R15 R22"));
    QVERIFY(harness.control("device set_application -s 1").startsWith("error unknown control command"));
    QCOMPARE(sim.requestParsed("device set_application -s 1").SW, 0x9000u);

    QVERIFY(harness.control("unplug").startsWith("ok"));
    QCOMPARE(harness.control("model R3"), QStringLiteral("ok model R3"));
    QVERIFY(harness.control("plug").startsWith("ok"));
    const JSON_OBJ info = sim.requestParsed("monitor deviceinfo");
    QCOMPARE(info.DATA.value(0).value("MODULE"), QByteArray("R3"));
    QCOMPARE(info.DATA.value(0).value("APPLICATION"), QByteArray("FIDO2U2F+OTP+NDEF"));
}

void TestSimControl::unknownControlCommandIsAnError()
{
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());

    QCOMPARE(harness.control("dance"), QStringLiteral("error unknown control command dance (try help)"));
    QCOMPARE(harness.control("   "), QStringLiteral("error empty control command"));
    QVERIFY(harness.control("help").contains("plug; second; single; status; touch [auto|never|manual|timeout]"));
    QVERIFY(harness.control("fail xyz").startsWith("error usage: fail"));
}

void TestSimControl::commandLineClientPrintsReply()
{
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());

    QProcess client;
    client.start(SimHarness::simPath(), {"--control", harness.socketPath(), "touch", "manual"});
    QVERIFY(client.waitForFinished(10000));
    QCOMPARE(client.exitCode(), 0);
    QCOMPARE(client.readAllStandardOutput(), QByteArray("ok touch manual\n"));

    client.start(SimHarness::simPath(), {"--control", harness.socketPath(), "dance"});
    QVERIFY(client.waitForFinished(10000));
    QCOMPARE(client.exitCode(), 1);

    client.start(SimHarness::simPath(), {"--control", harness.dir() + "/nothing-here", "status"});
    QVERIFY(client.waitForFinished(10000));
    QCOMPARE(client.exitCode(), 2);
    QVERIFY(!client.readAllStandardError().isEmpty());
}

QTEST_GUILESS_MAIN(TestSimControl)
#include "tst_simcontrol.moc"
