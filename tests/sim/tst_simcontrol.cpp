// The control channel: each presence change gives exactly one device event while monitoring,
// forced failures, a waiting touch and the command-line client.
#include "common/simkey.h"

#include <QtTest>

class TestSimControl : public QObject
{
    Q_OBJECT

private slots:
    void presenceChangesGiveOneEventEach();
    void forcedFailureAnswersNextKeyCommandOnce();
    void touchWaitHoldsLaterLines_data();
    void touchWaitHoldsLaterLines();
    void commandLineClientPrintsReply();
};

// Each presence command is followed by a marker command, so an extra or missing event would
// show up as the wrong next reply. 0 stands for no event.
void TestSimControl::presenceChangesGiveOneEventEach()
{
    SimKey key;
    QVERIFY(key.start());
    const auto expectEvents = [&key](const QList<QPair<QString, quint32>>& steps) {
        for (const auto& [command, event] : steps) {
            QVERIFY2(key.harness.control(command).startsWith("ok keys="), qPrintable(command));
            if (event != 0) {
                QCOMPARE(key.next().SW, event);
            }
            QCOMPARE(key.sw("marker"), 0x6D00u);
        }
    };
    expectEvents({{"unplug", 0}, {"plug", 0}, {"second", 0}, {"single", 0}});

    QCOMPARE(key.sw(" monitor start"), 0x80900002u);
    QCOMPARE(key.next().SW, 0x9000u);
    expectEvents({{"plug", 0},
                  {"unplug", 0x80900001u},
                  {"unplug", 0},
                  {"single", 0},
                  {"plug", 0x80900002u},
                  {"second", 0x80900003u},
                  {"single", 0x80900002u},
                  {"second", 0x80900003u},
                  {"unplug", 0x80900001u},
                  {"second", 0x80900003u}});

    key.sim.send("monitor stop");
    expectEvents({{"unplug", 0}});
}

void TestSimControl::forcedFailureAnswersNextKeyCommandOnce()
{
    SimKey key;
    QVERIFY(key.start());
    QVERIFY(key.harness.control("fail 6a82 Not here, sorry").startsWith("ok next key command answers"));
    // Lines that do not reach the key leave the failure waiting.
    QCOMPARE(key.sw(" monitor start"), 0x80900002u);
    QCOMPARE(key.next().SW, 0x9000u);
    QCOMPARE(key.sw("unknown"), 0x6D00u);

    const QByteArray forced = key.sim.request("device set_application -s 1");
    QCOMPARE(SimProcess::parse(forced).SW, 0x6A82u);
    QCOMPARE(SimProcess::parse(forced).INFO, QByteArray("Not here, sorry"));
    QVERIFY(!forced.contains("DATA"));
    // The forced command did nothing; the next one is served normally.
    QCOMPARE(key.value("monitor deviceinfo", "APPLICATION"), QByteArray("FIDO2U2F+PIV+OPENPGP+OTP+NDEF"));
    QCOMPARE(key.status("fail"), QByteArray("none"));
}

void TestSimControl::touchWaitHoldsLaterLines_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QList<uint>>("replies");
    QTest::newRow("touched") << "touch" << QList<uint>{0x9000u, 0x9000u};
    QTest::newRow("key removed") << "unplug" << QList<uint>{0x80900001u, 0x6F00u, 0x6F00u};
}

// "otp reset" stands for any command that needs a touch: the line after it waits its turn.
void TestSimControl::touchWaitHoldsLaterLines()
{
    QFETCH(QString, action);
    QFETCH(QList<uint>, replies);
    SimKey key;
    QVERIFY(key.start());
    QCOMPARE(key.sw(" monitor start"), 0x80900002u);
    QCOMPARE(key.next().SW, 0x9000u);
    QVERIFY(key.control("touch manual"));

    key.sim.send("otp reset");
    QTRY_COMPARE(key.status("touch_pending"), QByteArray("yes"));
    key.sim.send("monitor deviceinfo");
    QCOMPARE(key.status("touch_pending"), QByteArray("yes"));
    QVERIFY(key.control(action));
    for (const uint sw : replies) {
        QCOMPARE(key.next().SW, sw);
    }
    QCOMPARE(key.harness.control("touch"), QStringLiteral("error nothing waits for a touch"));
    QCOMPARE(key.sw("marker"), 0x6D00u);
}

void TestSimControl::commandLineClientPrintsReply()
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

QTEST_GUILESS_MAIN(TestSimControl)
#include "tst_simcontrol.moc"
