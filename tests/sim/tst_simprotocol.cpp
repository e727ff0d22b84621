// The simulator as a process: whole replies one per line, a clean end, an overlong line
// refused, and the control client's exit codes. The exchanges themselves are transcripts.
#include "common/simkey.h"

#include <QtTest>

class TestSimProtocol : public QObject
{
    Q_OBJECT

private slots:
    void endOfInputAndExitEndTheProgram_data();
    void endOfInputAndExitEndTheProgram();
    void overlongLineIsRefused();
    void commandLineClientPrintsReply();
};

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

void TestSimProtocol::overlongLineIsRefused()
{
    SimKey key;
    QVERIFY(key.sim.start());
    const JSON_OBJ reply = key.ask(QByteArray(3 << 20, 'a'));
    QCOMPARE(reply.SW, 0x6A80u);
    QCOMPARE(reply.INFO, QByteArray("Command line too long."));
    QCOMPARE(key.sw("monitor deviceinfo"), 0x9000u);
    QVERIFY(key.sim.standardError().isEmpty());
}

void TestSimProtocol::commandLineClientPrintsReply()
{
    SimKey key;
    QVERIFY(key.start());
    // The exit code and what the client printed.
    const auto run = [](const QString& socket, const QString& command) {
        QProcess client;
        client.start(SimHarness::simPath(), QStringList{"--control", socket} + command.split(' '));
        client.waitForFinished(10000);
        return QByteArray::number(client.exitCode()) + ' ' + client.readAllStandardOutput();
    };
    QCOMPARE(run(key.harness.socketPath(), "touch manual"), QByteArray("0 ok touch manual\n"));
    QVERIFY(run(key.harness.socketPath(), "dance").startsWith("1 "));
    QVERIFY(run(key.harness.dir() + "/nothing-here", "status").startsWith("2 "));
}

QTEST_GUILESS_MAIN(TestSimProtocol)
#include "tst_simprotocol.moc"
