// Replays the canned exchanges of tests/transcripts against kvman-sim, one scenario per row,
// each on a fresh simulated key. The line format is described in tests/transcripts/README.md.
#include "common/simkey.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

const QString Folder = QStringLiteral(SKM_SOURCE_DIR "/tests/transcripts");

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
        } else if (key != "SW" && !sameValue(it.value(), key == "INFO" ? reply.INFO : SimKey::member(reply, key)))
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
    else if (words[0] != "restart" || !replay.key.restart())
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
QByteArray control(Replay& replay, const QByteArray& command, bool checkedNext)
{
    SimKey& key = replay.key;
    if (replay.previousMark == '>' && !QTest::qWaitFor([&key] { return key.status("touch_pending") == "yes"; }))
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
        return control(replay, text, checkedNext);
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

QTEST_GUILESS_MAIN(TestTranscripts)
#include "tst_transcripts.moc"
