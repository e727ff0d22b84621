// The simulated key's state file: written at once and atomically, never holding a PIN, read by
// its owner only, and replaced by a new key when it cannot be read.
#include "common/simkey.h"

#include <QtTest>

namespace {

QByteArray fileContent(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestSimState : public QObject
{
    Q_OBJECT

private slots:
    void controlCommandsAreSavedAtOnce();
    void secretsStayPrivate();
    void unreadableStateFileGivesNewKey();
};

void TestSimState::controlCommandsAreSavedAtOnce()
{
    SimKey key(QStringLiteral("R8"));
    key.harness.useStateFile();
    QVERIFY(key.start());
    QVERIFY(key.control("unplug"));
    QVERIFY(key.control("model R22"));

    QVERIFY(fileContent(key.harness.statePath()).contains("key.model=R22\n"));
    QVERIFY(QDir(key.harness.dir()).entryList({"*.tmp.*"}, QDir::Files).isEmpty());
}

// The key keeps a digest of its FIDO2 PIN, never the PIN; its private PIV keys are in the file.
void TestSimState::secretsStayPrivate()
{
    SimKey key;
    key.harness.useStateFile();
    const QByteArray pin = QStringLiteral("Grüße 1").toUtf8();
    QVERIFY(key.sim.start());
    QCOMPARE(key.sw(" fido set-pin -p " + pin.toHex()), 0x9000u);
    QCOMPARE(key.sw(" fido enrollment-begin -p " + pin), 0x9000u);
    QCOMPARE(key.sw(" piv generate-key 9c -p 80417326 -k 7E3D0C41F58B29D6B1C48E2F7D0B5C63D6E1F4C8072B3B5E -a "
                    "ECCP256 " +
                    QFile::encodeName(key.harness.dir() + "/public")),
             0x9000u);
    QVERIFY(key.sim.finish());

    const QByteArray saved = fileContent(key.harness.statePath());
    QVERIFY(saved.contains("fido.") && saved.contains("piv."));
    QVERIFY(!saved.contains(pin));
    QVERIFY(!saved.contains(pin.toHex()));
    QCOMPARE(QFile(key.harness.statePath()).permissions() & (QFile::ReadGroup | QFile::ReadOther),
             QFile::Permissions());
}

void TestSimState::unreadableStateFileGivesNewKey()
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
    QVERIFY(fileContent(key.harness.statePath()).contains("key.model=R22\n"));
}

QTEST_GUILESS_MAIN(TestSimState)
#include "tst_simstate.moc"
