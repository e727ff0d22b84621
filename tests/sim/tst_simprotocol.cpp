// The simulator's side of the backend contract: one parsable reply per command line,
// device events after " monitor start", failures that say what was wrong.
#include "common/simkey.h"

#include <QtTest>

class TestSimProtocol : public QObject
{
    Q_OBJECT

private slots:
    void monitorStartReportsPresence_data();
    void monitorStartReportsPresence();
    void badLinesGetFailureWithInfo_data();
    void badLinesGetFailureWithInfo();
    void endOfInputAndExitEndTheProgram_data();
    void endOfInputAndExitEndTheProgram();
};

void TestSimProtocol::monitorStartReportsPresence_data()
{
    QTest::addColumn<int>("keys");
    QTest::addColumn<quint32>("event");
    QTest::addColumn<QByteArray>("noKeyInfo");
    QTest::newRow("none") << 0 << 0x80900001u << QByteArray("No security key is present.");
    QTest::newRow("one") << 1 << 0x80900002u << QByteArray();
    QTest::newRow("several") << 2 << 0x80900003u
                             << QByteArray("Several security keys are present. Leave only one plugged in.");
}

void TestSimProtocol::monitorStartReportsPresence()
{
    QFETCH(int, keys);
    QFETCH(quint32, event);
    QFETCH(QByteArray, noKeyInfo);
    SimKey key;
    key.harness.setKeysAtStart(keys);
    QVERIFY(key.sim.start());

    QCOMPARE(key.sw(" monitor start"), event);
    if (noKeyInfo.isEmpty()) {
        const JSON_OBJ info = key.next();
        QCOMPARE(info.SW, 0x9000u);
        QCOMPARE(info.DATA.size(), 1);
        QCOMPARE(info.DATA[0].value("TRANSPORT"), QByteArray("FIDO+CCID+OTP"));
        QCOMPARE(info.DATA[0].value("APPLICATION"), QByteArray("FIDO2U2F+PIV+OPENPGP+OTP+NDEF"));
    }
    // The next reply belongs to the next command; key commands need exactly one key.
    const JSON_OBJ details = key.ask("monitor deviceinfo");
    QCOMPARE(details.SW, noKeyInfo.isEmpty() ? 0x9000u : 0x6F00u);
    QCOMPARE(details.INFO, noKeyInfo);
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
    QTest::newRow("empty") << QByteArray("   ") << 0x6D00u << QByteArray("Empty command line.");
    QTest::newRow("open quote") << QByteArray("device set_application -s \"5") << 0x6A80u
                                << QByteArray("Malformed command line: a double quote is not closed.");
    QTest::newRow("NUL byte") << QByteArray("monitor\0deviceinfo", 18) << 0x6A80u
                              << QByteArray("Malformed command line: the line holds a NUL byte.");
    // Quotes in a reply would end its text early for the window's parser.
    QTest::newRow("quotes") << QByteArray("it's \"quoted\"") << 0x6D00u << QByteArray("Unknown command: it`s quoted.");
    QTest::newRow("long word shortened") << QByteArray(60, 'x') << 0x6D00u
                                         << "Unknown command: " + QByteArray(40, 'x') + "....";
    QTest::newRow("3 MB line") << QByteArray(3 << 20, 'a') << 0x6A80u << QByteArray("Command line too long.");
}

void TestSimProtocol::badLinesGetFailureWithInfo()
{
    QFETCH(QByteArray, line);
    QFETCH(quint32, sw);
    QFETCH(QByteArray, info);
    SimKey key;
    QVERIFY(key.sim.start());

    const QByteArray reply = key.sim.request(line);
    QCOMPARE(reply.count('"'), 8); // around SW, INFO and their values only
    QCOMPARE(SimProcess::parse(reply).SW, sw);
    QCOMPARE(SimProcess::parse(reply).INFO, info);
    // Still alive and in step.
    QCOMPARE(key.sw("monitor deviceinfo"), 0x9000u);
    QVERIFY(key.sim.standardError().isEmpty());
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
    SimKey key;
    QVERIFY(key.sim.start());

    key.sim.process().write(input);
    QVERIFY(key.sim.finish());
    QCOMPARE(key.sim.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(key.sim.process().exitCode(), 0);
    // Each reply is one whole object on its own line.
    const QList<QByteArray> lines = key.sim.process().readAllStandardOutput().split('\n');
    QCOMPARE(lines.size(), replies + 1);
    QVERIFY(lines.last().isEmpty());
    for (int i = 0; i < replies; ++i) {
        QVERIFY2(lines[i].startsWith('{') && lines[i].endsWith('}'), lines[i].constData());
        QVERIFY(SimProcess::parse(lines[i]).SW != 0);
    }
    QVERIFY(key.sim.standardError().isEmpty());
    QVERIFY(!QFile::exists(key.harness.socketPath()));
}

QTEST_GUILESS_MAIN(TestSimProtocol)
#include "tst_simprotocol.moc"
