// The simulator's side of the backend contract: one parsable reply per command line,
// device events after " monitor start", failures that say what was wrong.
#include "common/simharness.h"
#include "common/simprocess.h"

#include <QtTest>

class TestSimProtocol : public QObject
{
    Q_OBJECT

private slots:
    void monitorStartReportsPresence_data();
    void monitorStartReportsPresence();
    void badLinesGetFailureWithInfo_data();
    void badLinesGetFailureWithInfo();
    void overlongLineIsRefusedAndNextLineServed();
    void blanksAndQuotesSplitWords_data();
    void blanksAndQuotesSplitWords();
    void repliesNeverCarryQuotes();
    void keyCommandsNeedExactlyOneKey_data();
    void keyCommandsNeedExactlyOneKey();
    void endOfInputAndExitEndTheProgram_data();
    void endOfInputAndExitEndTheProgram();
    void logKeepsLinesExactlyAsReceived();
};

void TestSimProtocol::monitorStartReportsPresence_data()
{
    QTest::addColumn<int>("keys");
    QTest::addColumn<quint32>("event");
    QTest::addColumn<bool>("infoFollows");
    QTest::newRow("none") << 0 << 0x80900001u << false;
    QTest::newRow("one") << 1 << 0x80900002u << true;
    QTest::newRow("several") << 2 << 0x80900003u << false;
}

void TestSimProtocol::monitorStartReportsPresence()
{
    QFETCH(int, keys);
    QFETCH(quint32, event);
    QFETCH(bool, infoFollows);
    SimHarness harness;
    harness.setKeysAtStart(keys);
    SimProcess sim;
    QVERIFY(sim.start());

    QCOMPARE(sim.requestParsed(" monitor start").SW, event);
    if (infoFollows) {
        const JSON_OBJ info = SimProcess::parse(sim.nextReply());
        QCOMPARE(info.SW, 0x9000u);
        QCOMPARE(info.DATA.size(), 1);
        QCOMPARE(info.DATA[0].value("TRANSPORT"), QByteArray("FIDO+CCID+OTP"));
        QCOMPARE(info.DATA[0].value("APPLICATION"), QByteArray("FIDO2U2F+PIV+OPENPGP+OTP+NDEF"));
    }
    // The next reply belongs to the next command: nothing else was written.
    QCOMPARE(sim.requestParsed("no-such-command").SW, 0x6D00u);
}

void TestSimProtocol::badLinesGetFailureWithInfo_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<quint32>("sw");
    QTest::addColumn<QByteArray>("info");
    QTest::newRow("unknown application") << QByteArray("frobnicate now") << 0x6D00u
                                         << QByteArray("Unknown command: frobnicate now.");
    QTest::newRow("unknown operation") << QByteArray("monitor frobnicate") << 0x6D00u
                                       << QByteArray("Unknown monitor operation: frobnicate.");
    QTest::newRow("missing operation") << QByteArray("device") << 0x6D00u
                                       << QByteArray("Missing operation after device.");
    QTest::newRow("blanks only") << QByteArray("   ") << 0x6D00u << QByteArray("Empty command line.");
    QTest::newRow("empty") << QByteArray() << 0x6D00u << QByteArray("Empty command line.");
    QTest::newRow("open quote") << QByteArray("device set_application -s \"5") << 0x6A80u
                                << QByteArray("Malformed command line: a double quote is not closed.");
    QTest::newRow("NUL byte") << QByteArray("monitor\0deviceinfo", 18) << 0x6A80u
                              << QByteArray("Malformed command line: the line holds a NUL byte.");
    QTest::newRow("exit with words") << QByteArray("exit now") << 0x6D00u << QByteArray("Unknown exit operation: now.");
    QTest::newRow("long word shortened") << QByteArray(60, 'x') << 0x6D00u
                                         << "Unknown command: " + QByteArray(40, 'x') + "....";
}

void TestSimProtocol::badLinesGetFailureWithInfo()
{
    QFETCH(QByteArray, line);
    QFETCH(quint32, sw);
    QFETCH(QByteArray, info);
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());

    const JSON_OBJ reply = sim.requestParsed(line);
    QCOMPARE(reply.SW, sw);
    QCOMPARE(reply.INFO, info);
    // Still alive and in step.
    QCOMPARE(sim.requestParsed("monitor deviceinfo").SW, 0x9000u);
    QVERIFY(sim.standardError().isEmpty());
}

void TestSimProtocol::overlongLineIsRefusedAndNextLineServed()
{
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());

    const JSON_OBJ reply = sim.requestParsed(QByteArray(3 << 20, 'a'));
    QCOMPARE(reply.SW, 0x6A80u);
    QCOMPARE(reply.INFO, QByteArray("Command line too long."));
    QCOMPARE(sim.requestParsed("monitor deviceinfo").SW, 0x9000u);
}

void TestSimProtocol::blanksAndQuotesSplitWords_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<quint32>("sw");
    QTest::addColumn<QByteArray>("applications");
    QTest::newRow("leading and doubled blanks")
        << QByteArray("  device  set_application  -s  5 ") << 0x9000u << QByteArray("FIDO2+PIV");
    QTest::newRow("tab and carriage return")
        << QByteArray("device\tset_application -s 9\r") << 0x9000u << QByteArray("FIDO2+OPENPGP");
    QTest::newRow("quoted value") << QByteArray("device set_application -s \"4\"") << 0x9000u << QByteArray("PIV");
    QTest::newRow("quote inside a word joins")
        << QByteArray("device set_application -s \"1\"2") << 0x9000u << QByteArray("PIV+OPENPGP");
    QTest::newRow("blanks inside quotes stay")
        << QByteArray("device set_application \"x -s 9\" -s 5") << 0x9000u << QByteArray("FIDO2+PIV");
    QTest::newRow("quoted path after options")
        << QByteArray("device set_application -s 8 \"/tmp/a b/c d.der\"") << 0x9000u << QByteArray("OPENPGP");
    QTest::newRow("quoted dash is no option")
        << QByteArray("device set_application \"-s\" 5") << 0x6A80u << QByteArray("FIDO2U2F+PIV+OPENPGP+OTP+NDEF");
    QTest::newRow("option at the end") << QByteArray("device set_application -s") << 0x6A80u
                                       << QByteArray("FIDO2U2F+PIV+OPENPGP+OTP+NDEF");
}

void TestSimProtocol::blanksAndQuotesSplitWords()
{
    QFETCH(QByteArray, line);
    QFETCH(quint32, sw);
    QFETCH(QByteArray, applications);
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());

    QCOMPARE(sim.requestParsed(line).SW, sw);
    const JSON_OBJ info = sim.requestParsed("monitor deviceinfo");
    QCOMPARE(info.DATA.value(0).value("APPLICATION"), applications);
}

void TestSimProtocol::repliesNeverCarryQuotes()
{
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());

    const QByteArray reply = sim.request("it's \"quoted\"");
    QCOMPARE(reply.count('"'), 8); // the quotes around SW, its value, INFO and its value only
    QVERIFY(!reply.contains('\''));
    QCOMPARE(SimProcess::parse(reply).INFO, QByteArray("Unknown command: it`s quoted."));
}

void TestSimProtocol::keyCommandsNeedExactlyOneKey_data()
{
    QTest::addColumn<int>("keys");
    QTest::addColumn<QByteArray>("info");
    QTest::newRow("none") << 0 << QByteArray("No security key is present.");
    QTest::newRow("two") << 2 << QByteArray("Several security keys are present. Leave only one plugged in.");
}

void TestSimProtocol::keyCommandsNeedExactlyOneKey()
{
    QFETCH(int, keys);
    QFETCH(QByteArray, info);
    SimHarness harness;
    harness.setKeysAtStart(keys);
    SimProcess sim;
    QVERIFY(sim.start());

    for (const QByteArray line : {"monitor deviceinfo", "device set_application -s 1", "device set_transport -s 20"}) {
        const JSON_OBJ reply = sim.requestParsed(line);
        QCOMPARE(reply.SW, 0x6F00u);
        QCOMPARE(reply.INFO, info);
    }
}

void TestSimProtocol::endOfInputAndExitEndTheProgram_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("replies");
    QTest::newRow("end of input") << QByteArray(" monitor start\nmonitor deviceinfo\n") << 3;
    QTest::newRow("last line without line end") << QByteArray("monitor deviceinfo\nmonitor deviceinfo") << 2;
    QTest::newRow("monitor stop and exit")
        << QByteArray(" monitor start\nmonitor stop\nexit\nmonitor deviceinfo\n") << 2;
}

void TestSimProtocol::endOfInputAndExitEndTheProgram()
{
    QFETCH(QByteArray, input);
    QFETCH(int, replies);
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());

    sim.process().write(input);
    QVERIFY(sim.finish());
    QCOMPARE(sim.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process().exitCode(), 0);
    const QList<QByteArray> lines = sim.process().readAllStandardOutput().split('\n');
    QCOMPARE(lines.size(), replies + 1);
    QVERIFY(lines.last().isEmpty());
    for (int i = 0; i < replies; ++i) {
        QVERIFY2(lines[i].startsWith('{') && lines[i].endsWith('}'), lines[i].constData());
        QVERIFY(SimProcess::parse(lines[i]).SW != 0);
    }
    QVERIFY(sim.standardError().isEmpty());
    QVERIFY(!QFile::exists(harness.socketPath()));
}

void TestSimProtocol::logKeepsLinesExactlyAsReceived()
{
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());

    const QStringList sent = {QStringLiteral(" monitor start"), QStringLiteral(" fido get_pin_retries "),
                              QStringLiteral("piv import-key 9a -p 123456 \"/tmp/a  b.pfx\""), QStringLiteral("exit")};
    for (const QString& line : sent) {
        sim.send(line.toUtf8());
    }
    QVERIFY(sim.finish());
    QCOMPARE(harness.receivedLines(), sent);
}

QTEST_GUILESS_MAIN(TestSimProtocol)
#include "tst_simprotocol.moc"
