// What the transcripts cannot see of the simulator: the process ending cleanly and refusing an
// overlong line, the control client's exit codes, the state file, real key pairs behind the
// certificates and signing requests it makes (checked with the openssl tool), and public-key
// files never written or read through a symbolic link.
#include "common/simkey.h"

#include <QtTest>

namespace {

const QByteArray Pin = " -p 80417326";
const QByteArray Secrets = Pin + " -k 7E3D0C41F58B29D6B1C48E2F7D0B5C63D6E1F4C8072B3B5E";

QString inDir(const SimKey& key, const QString& name)
{
    return key.harness.dir() + "/" + name;
}

QByteArray fileContent(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs the openssl tool; its standard output, or a null array when it fails.
QByteArray openssl(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning() << "openssl" << arguments << process.readAllStandardError();
        return QByteArray();
    }
    const QByteArray out = process.readAllStandardOutput();
    return out.isNull() ? QByteArray("") : out;
}

} // namespace

class TestSimulator : public QObject
{
    Q_OBJECT

private slots:
    void endOfInputAndExitEndTheProgram_data();
    void endOfInputAndExitEndTheProgram();
    void overlongLineIsRefused();
    void controlClientExitCodes();
    void stateFileSavedAtOnceWithoutThePin();
    void unreadableStateFileGivesNewKey();
    void certificateAndRequestVerify_data();
    void certificateAndRequestVerify();
    void publicKeyFileSymlinkIsNotFollowed();
};

void TestSimulator::endOfInputAndExitEndTheProgram_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("replies");
    QTest::newRow("end of input") << QByteArray(" monitor start\nmonitor deviceinfo\n") << 3;
    QTest::newRow("last line without line end") << QByteArray("monitor deviceinfo\nmonitor deviceinfo") << 2;
    QTest::newRow("monitor stop and exit")
        << QByteArray(" monitor start\nmonitor stop\nexit\nmonitor deviceinfo\n") << 2;
}

void TestSimulator::endOfInputAndExitEndTheProgram()
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

void TestSimulator::overlongLineIsRefused()
{
    SimKey key;
    QVERIFY(key.sim.start());
    const JSON_OBJ reply = key.ask(QByteArray(3 << 20, 'a'));
    QCOMPARE(reply.SW, 0x6A80u);
    QCOMPARE(reply.INFO, QByteArray("Command line too long."));
    QCOMPARE(key.sw("monitor deviceinfo"), 0x9000u);
    QVERIFY(key.sim.standardError().isEmpty());
}

void TestSimulator::controlClientExitCodes()
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
    QVERIFY(run(inDir(key, "nothing-here"), "status").startsWith("2 "));
}

// Written at each change, atomically and for its owner only; the FIDO2 PIN only as a digest.
void TestSimulator::stateFileSavedAtOnceWithoutThePin()
{
    SimKey key(QStringLiteral("R8"));
    key.harness.useStateFile();
    QVERIFY(key.start());
    QVERIFY(key.control("unplug"));
    QVERIFY(key.control("model R22"));
    QVERIFY(fileContent(key.harness.statePath()).contains("key.model=R22\n"));
    QVERIFY(QDir(key.harness.dir()).entryList({"*.tmp.*"}, QDir::Files).isEmpty());
    QCOMPARE(QFile(key.harness.statePath()).permissions() & (QFile::ReadGroup | QFile::ReadOther),
             QFile::Permissions());

    QVERIFY(key.control("plug"));
    const QByteArray pin = QStringLiteral("Grüße 1").toUtf8();
    QCOMPARE(key.sw(" fido set-pin -p " + pin.toHex()), 0x9000u);
    QCOMPARE(key.sw(" fido enrollment-begin -p " + pin), 0x9000u);
    QVERIFY(key.sim.finish());
    const QByteArray saved = fileContent(key.harness.statePath());
    QVERIFY(saved.contains("fido.pin=") && !saved.contains("fido.pin=\n"));
    QVERIFY(!saved.contains(pin));
    QVERIFY(!saved.contains(pin.toHex()));
}

void TestSimulator::unreadableStateFileGivesNewKey()
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

void TestSimulator::certificateAndRequestVerify_data()
{
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<QByteArray>("algorithm");
    QTest::addColumn<QByteArray>("keyType");
    QTest::newRow("ECC") << QByteArray("9a") << QByteArray("ECCP256") << QByteArray("ASN1 OID: prime256v1");
    QTest::newRow("RSA") << QByteArray("9c") << QByteArray("RSA2048") << QByteArray("Public-Key: (2048 bit)");
}

// Signed by the slot's key, whose public half key generation wrote out.
void TestSimulator::certificateAndRequestVerify()
{
    QFETCH(QByteArray, slot);
    QFETCH(QByteArray, algorithm);
    QFETCH(QByteArray, keyType);
    SimKey key;
    QVERIFY(key.start());
    const QString publicKey = inDir(key, "public");
    const QString certificate = inDir(key, "my cert.crt");
    const QString request = inDir(key, "my request.csr");
    const QByteArray chained = " " + QFile::encodeName(publicKey);
    const QByteArray subject = " -s \"CN=Alice,O=Velmora\"";
    const QByteArray shownSubject = "subject=CN = Alice, O = Velmora";

    QCOMPARE(key.sw(" piv generate-key " + slot + Secrets + " -a " + algorithm + chained), 0x9000u);
    const QDate issued = QDateTime::currentDateTimeUtc().date();
    QCOMPARE(key.sw("piv generate-certificate " + slot + Secrets + chained + subject), 0x9000u);
    QCOMPARE(key.sw(" piv export-certificate " + slot + " \"" + QFile::encodeName(certificate) + "\""), 0x9000u);
    QCOMPARE(key.sw("piv generate-csr " + slot + Pin + chained + " \"" + QFile::encodeName(request) + "\"" + subject),
             0x9000u);

    // A year from the UTC day it was made, which may have turned since "issued".
    const QByteArray validity = key.ask(" piv read-object " + slot).DATA.value(0).value("VALIDITY");
    const QDate from = QDate::fromString(QString::fromUtf8(validity.left(10)), Qt::ISODate);
    QVERIFY2(from >= issued && from <= QDateTime::currentDateTimeUtc().date(), validity.constData());
    QCOMPARE(validity, (from.toString(Qt::ISODate) + " to " + from.addDays(365).toString(Qt::ISODate)).toUtf8());
    QVERIFY(openssl({"verify", "-CAfile", certificate, certificate}).contains("OK"));
    QVERIFY(openssl({"x509", "-in", certificate, "-noout", "-text"}).contains(keyType));
    QCOMPARE(openssl({"x509", "-in", certificate, "-noout", "-subject"}).trimmed(), shownSubject);
    QCOMPARE(openssl({"x509", "-in", certificate, "-noout", "-pubkey"}), fileContent(publicKey));
    QVERIFY(!openssl({"req", "-verify", "-in", request, "-noout"}).isNull());
    QCOMPARE(openssl({"req", "-in", request, "-noout", "-subject"}).trimmed(), shownSubject);
    QCOMPARE(openssl({"req", "-in", request, "-noout", "-pubkey"}), fileContent(publicKey));
}

void TestSimulator::publicKeyFileSymlinkIsNotFollowed()
{
    SimKey key;
    QVERIFY(key.start());
    const QString publicKey = inDir(key, "public");
    QFile victim(inDir(key, "victim"));
    QVERIFY(victim.open(QIODevice::WriteOnly) && victim.write("keep me") > 0);
    victim.close();
    QVERIFY(QFile::link(victim.fileName(), publicKey));

    QCOMPARE(key.sw(" piv generate-key 9a" + Secrets + " -a ECCP256 " + QFile::encodeName(publicKey)), 0x9000u);
    QCOMPARE(fileContent(victim.fileName()), QByteArray("keep me"));
    QVERIFY(fileContent(publicKey).startsWith("-----BEGIN PUBLIC KEY-----"));

    // Nor is a public key read through a link.
    QVERIFY(QFile::rename(publicKey, inDir(key, "real public")));
    QVERIFY(QFile::link(inDir(key, "real public"), publicKey));
    const JSON_OBJ reply =
        key.ask("piv generate-certificate 9a" + Secrets + " " + QFile::encodeName(publicKey) + " -s x");
    QCOMPARE(reply.SW, 0x6F00u);
    QVERIFY(reply.INFO.contains("symbolic link"));
}

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
