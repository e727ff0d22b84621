// The simulated key's state file: written at once, atomically, and replaced when unreadable.
#include "common/simkey.h"

#include <QtTest>

class TestSimDevice : public QObject
{
    Q_OBJECT

private slots:
    void controlCommandsAreSavedAtOnce();
    void unreadableStateFileGivesNewKey();
};

void TestSimDevice::controlCommandsAreSavedAtOnce()
{
    SimKey key(QStringLiteral("R8"));
    key.harness.useStateFile();
    QVERIFY(key.start());
    QCOMPARE(key.sw("device set_application -s 12"), 0x9000u);
    QVERIFY(key.control("unplug"));
    QVERIFY(key.control("model R22"));

    QFile state(key.harness.statePath());
    QVERIFY(state.open(QIODevice::ReadOnly));
    QVERIFY(state.readAll().contains("key.model=R22\n"));
    QVERIFY(QDir(key.harness.dir()).entryList({"*.tmp.*"}, QDir::Files).isEmpty());
}

void TestSimDevice::unreadableStateFileGivesNewKey()
{
    SimKey key(QStringLiteral("R22"));
    key.harness.useStateFile();
    QFile state(key.harness.statePath());
    QVERIFY(state.open(QIODevice::WriteOnly));
    state.write("kvman-sim state 1\nkey.model=R99\n");
    state.close();

    QVERIFY(key.sim.start());
    QCOMPARE(key.value("monitor deviceinfo", "MODULE"), QByteArray("R22"));
    QVERIFY(key.sim.finish());
    QVERIFY(state.open(QIODevice::ReadOnly));
    QVERIFY(state.readAll().contains("key.model=R22\n"));
}

QTEST_GUILESS_MAIN(TestSimDevice)
#include "tst_simdevice.moc"
