// Replays the canned exchanges of tests/transcripts against kvman-sim, one scenario per row,
// each on a fresh simulated key. The line format is described in tests/transcripts/README.md.
// Then what the transcripts cannot see of the simulator: the process ending cleanly and
// refusing an overlong line, the control client's exit codes, the state file, real key pairs
// behind the certificates and signing requests it makes (checked with the openssl tool), and
// public-key files never written or read through a symbolic link.
#include "common/simharness.h"
#include "common/simprocess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

const QString Folder = QStringLiteral(SKM_SOURCE_DIR "/tests/transcripts");
const QByteArray Pin = " -p 80417326";
const QByteArray Secrets = Pin + " -k 7E3D0C41F58B29D6B1C48E2F7D0B5C63D6E1F4C8072B3B5E";

// One simulated key: the harness and the simulator it serves (declared in that order, so the
// process ends first).
struct SimKey
{
    explicit SimKey(const QString& model = QStringLiteral("R15")) : harness(model) {}

    // Starts the simulator and waits until its control socket answers.
    bool start() { return sim.start() && harness.waitUntilReady(); }
    JSON_OBJ ask(const QByteArray& line) { return sim.requestParsed(line); }
    quint32 sw(const QByteArray& line) { return ask(line).SW; }
    // True when the control command is answered "ok ...".
    bool control(const QString& command) const { return harness.control(command).startsWith(QLatin1String("ok")); }
    QString inDir(const QString& name) const { return harness.dir() + "/" + name; }

    SimHarness harness;
    SimProcess sim;
};

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

// A member as the window reads it: the last map that carries it wins.
QByteArray member(const JSON_OBJ& reply, const QByteArray& key)
{
    QByteArray value;
    for (const TextMap& map : reply.DATA) {
        if (map.contains(key))
            value = map.value(key);
    }
    return value;
}

// What a replay carries from one line of its scenario to the next.
struct Replay
{
    SimKey key;
    bool started = false;
    char previousMark = '#';
    QByteArray sent;
    QByteArray control;
};

// A text after its mark is taken as it stands, or as a JSON string when it begins with a
// double quote, so leading and trailing blanks and control bytes can be written.
QByteArray unquoted(const QByteArray& text)
{
    if (!text.startsWith('"'))
        return text;
    return QJsonDocument::fromJson('[' + text + ']').array().at(0).toString().toUtf8();
}

// "*" stands for any value that is not empty.
bool sameValue(const QJsonValue& expected, const QByteArray& actual)
{
    const QByteArray text = expected.toString().toUtf8();
    return text == "*" ? !actual.isEmpty() : text == actual;
}

bool mapMatches(const QJsonObject& expected, const TextMap& map)
{
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        if (!sameValue(it.value(), map.value(it.key().toUtf8())))
            return false;
    }
    return true;
}

// SW must match; INFO and the members given must equal the reply's. A DATA array lists every
// map of the reply; other members are read from the last map that carries them, as the
// window reads them.
bool matches(const QJsonObject& expected, const JSON_OBJ& reply)
{
    if (expected.value("SW").toString().toUInt(nullptr, 16) != reply.SW)
        return false;
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        const QByteArray key = it.key().toUtf8();
        if (key == "DATA") {
            const QJsonArray maps = it.value().toArray();
            if (maps.size() != reply.DATA.size())
                return false;
            for (int i = 0; i < maps.size(); ++i) {
                if (!mapMatches(maps[i].toObject(), reply.DATA[i]))
                    return false;
            }
        } else if (key != "SW" && !sameValue(it.value(), key == "INFO" ? reply.INFO : member(reply, key)))
            return false;
    }
    return true;
}

// True when the words given appear among the words of the control reply, in this order.
bool hasWordsInOrder(const QByteArray& reply, const QByteArray& expected)
{
    const QList<QByteArray> words = reply.simplified().split(' ');
    int at = 0;
    for (const QByteArray& word : expected.simplified().split(' ')) {
        at = words.indexOf(word, at) + 1;
        if (at == 0)
            return false;
    }
    return true;
}

// Harness settings before the first exchange, and the restart (a power-up) after it.
QByteArray setUp(Replay& replay, const QByteArray& directive)
{
    const QList<QByteArray> words = directive.split(' ');
    if (words[0] == "model")
        qputenv("KVSIM_MODEL", words.value(1));
    else if (words[0] == "keys")
        replay.key.harness.setKeysAtStart(words.value(1).toInt());
    else if (words[0] == "state")
        replay.key.harness.useStateFile();
    else if (words[0] != "restart" || !replay.key.sim.finish() || !replay.key.start())
        return "cannot " + directive;
    return QByteArray();
}

QByteArray receive(Replay& replay, const QByteArray& text)
{
    const QByteArray reply = replay.key.sim.nextReply();
    return matches(QJsonDocument::fromJson(text).object(), SimProcess::parse(reply))
               ? QByteArray()
               : "sent \"" + replay.sent + "\"\n   got " + reply;
}

// Right after a line, the command answers the touch that line waits for.
QByteArray control(Replay& replay, const QByteArray& command, bool afterLine, bool checkedNext)
{
    SimKey& key = replay.key;
    const auto touchPending = [&key] { return key.harness.control("status").contains(" touch_pending=yes"); };
    if (afterLine && !QTest::qWaitFor(touchPending))
        return "\"" + replay.sent + "\" waits for no touch";
    replay.control = key.harness.control(QString::fromUtf8(command)).toUtf8();
    return checkedNext || replay.control.startsWith("ok") ? QByteArray() : command + ": " + replay.control;
}

// What went wrong with one line of a scenario; empty when it went as written.
QByteArray perform(Replay& replay, char mark, const QByteArray& text, bool checkedNext)
{
    if (mark != '@' && !replay.started) {
        replay.started = true;
        if (!replay.key.start())
            return "the simulator does not start";
    }
    const bool afterLine = replay.previousMark == '>';
    replay.previousMark = mark;
    switch (mark) {
    case '@':
        return setUp(replay, text);
    case '>':
        replay.sent = QByteArray(text)
                          .replace("$DIR", QFile::encodeName(replay.key.harness.dir()))
                          .replace("$FILES", QFile::encodeName(Folder + "/files"));
        replay.key.sim.send(replay.sent);
        return QByteArray();
    case '<':
        return receive(replay, text);
    case '!':
        return control(replay, text, afterLine, checkedNext);
    default:
        return hasWordsInOrder(replay.control, text) ? QByteArray() : "control reply: " + replay.control;
    }
}

} // namespace

class TestTranscripts : public QObject
{
    Q_OBJECT

private slots:
    void scenario_data();
    void scenario();
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

void TestTranscripts::scenario_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("firstLine");
    QTest::addColumn<QByteArrayList>("lines");
    for (const QFileInfo& info : QDir(Folder).entryInfoList({"*.txt"}, QDir::Files, QDir::Name)) {
        QFile file(info.filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArrayList lines = file.readAll().split('\n');
        for (int i = 0; i < lines.size(); ++i) {
            if (lines[i].startsWith("## ")) {
                int end = i + 1;
                while (end < lines.size() && !lines[end].startsWith("## "))
                    ++end;
                const QByteArray name = info.baseName().toUtf8() + ": " + lines[i].mid(3);
                QTest::newRow(name.constData()) << info.fileName() << i + 2 << lines.mid(i + 1, end - i - 1);
            }
        }
    }
}

void TestTranscripts::scenario()
{
    QFETCH(QString, file);
    QFETCH(int, firstLine);
    QFETCH(QByteArrayList, lines);
    Replay replay;
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        if (line.size() < 2 || !QByteArray("@><!=").contains(line[0]) || line[1] != ' ')
            continue;
        const bool checkedNext = lines.value(i + 1).startsWith("= ");
        const QByteArray failure = perform(replay, line[0], unquoted(line.mid(2)), checkedNext);
        QVERIFY2(failure.isEmpty(), qPrintable(QStringLiteral("%1:%2: ").arg(file).arg(firstLine + i) + failure));
    }
    // Standard error belongs to the window's log: a backend never writes there.
    QCOMPARE(replay.key.sim.standardError(), QByteArray());
}

void TestTranscripts::endOfInputAndExitEndTheProgram_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("replies");
    QTest::newRow("end of input") << QByteArray(" monitor start\nmonitor deviceinfo\n") << 3;
    QTest::newRow("last line without line end") << QByteArray("monitor deviceinfo\nmonitor deviceinfo") << 2;
    QTest::newRow("monitor stop and exit")
        << QByteArray(" monitor start\nmonitor stop\nexit\nmonitor deviceinfo\n") << 2;
}

void TestTranscripts::endOfInputAndExitEndTheProgram()
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

void TestTranscripts::overlongLineIsRefused()
{
    SimKey key;
    QVERIFY(key.sim.start());
    const JSON_OBJ reply = key.ask(QByteArray(3 << 20, 'a'));
    QCOMPARE(reply.SW, 0x6A80u);
    QCOMPARE(reply.INFO, QByteArray("Command line too long."));
    QCOMPARE(key.sw("monitor deviceinfo"), 0x9000u);
    QVERIFY(key.sim.standardError().isEmpty());
}

void TestTranscripts::controlClientExitCodes()
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
    QVERIFY(run(key.inDir("nothing-here"), "status").startsWith("2 "));
}

// Written at each change, atomically and for its owner only; the FIDO2 PIN only as a digest.
void TestTranscripts::stateFileSavedAtOnceWithoutThePin()
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

void TestTranscripts::unreadableStateFileGivesNewKey()
{
    SimKey key(QStringLiteral("R22"));
    key.harness.useStateFile();
    QFile state(key.harness.statePath());
    QVERIFY(state.open(QIODevice::WriteOnly));
    state.write("kvman-sim state 1\nkey.model=R99\n");
    state.close();

    QVERIFY(key.sim.start());
    QCOMPARE(key.ask("monitor deviceinfo").DATA.value(0).value("MODULE"), QByteArray("R22"));
    QVERIFY(key.sim.finish());
    QVERIFY(fileContent(key.harness.statePath()).contains("key.model=R22\n"));
}

void TestTranscripts::certificateAndRequestVerify_data()
{
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<QByteArray>("algorithm");
    QTest::addColumn<QByteArray>("keyType");
    QTest::newRow("ECC") << QByteArray("9a") << QByteArray("ECCP256") << QByteArray("ASN1 OID: prime256v1");
    QTest::newRow("RSA") << QByteArray("9c") << QByteArray("RSA2048") << QByteArray("Public-Key: (2048 bit)");
}

// Signed by the slot's key, whose public half key generation wrote out.
void TestTranscripts::certificateAndRequestVerify()
{
    QFETCH(QByteArray, slot);
    QFETCH(QByteArray, algorithm);
    QFETCH(QByteArray, keyType);
    SimKey key;
    QVERIFY(key.start());
    const QString publicKey = key.inDir("public");
    const QString certificate = key.inDir("my cert.crt");
    const QString request = key.inDir("my request.csr");
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

void TestTranscripts::publicKeyFileSymlinkIsNotFollowed()
{
    SimKey key;
    QVERIFY(key.start());
    const QString publicKey = key.inDir("public");
    QFile victim(key.inDir("victim"));
    QVERIFY(victim.open(QIODevice::WriteOnly) && victim.write("keep me") > 0);
    victim.close();
    QVERIFY(QFile::link(victim.fileName(), publicKey));

    QCOMPARE(key.sw(" piv generate-key 9a" + Secrets + " -a ECCP256 " + QFile::encodeName(publicKey)), 0x9000u);
    QCOMPARE(fileContent(victim.fileName()), QByteArray("keep me"));
    QVERIFY(fileContent(publicKey).startsWith("-----BEGIN PUBLIC KEY-----"));

    // Nor is a public key read through a link.
    QVERIFY(QFile::rename(publicKey, key.inDir("real public")));
    QVERIFY(QFile::link(key.inDir("real public"), publicKey));
    const JSON_OBJ reply =
        key.ask("piv generate-certificate 9a" + Secrets + " " + QFile::encodeName(publicKey) + " -s x");
    QCOMPARE(reply.SW, 0x6F00u);
    QVERIFY(reply.INFO.contains("symbolic link"));
}

QTEST_GUILESS_MAIN(TestTranscripts)
#include "tst_transcripts.moc"
