// Replays the canned exchanges of tests/transcripts against kvman-sim, one scenario per row,
// each on a fresh simulated key. The line format is described in tests/transcripts/README.md.
#include "common/simkey.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

const QString Folder = QStringLiteral(SKM_SOURCE_DIR "/tests/transcripts");

struct Step
{
    int number;
    char mark;
    QByteArray text;
};

// A text after its mark is taken as it stands, or as a JSON string when it begins with a
// double quote, so leading and trailing blanks and control bytes can be written.
QByteArray unquoted(const QByteArray& text)
{
    if (!text.startsWith('"')) {
        return text;
    }
    return QJsonDocument::fromJson('[' + text + ']').array().at(0).toString().toUtf8();
}

// The steps of the scenario whose heading is on line `heading` (counted from 1).
QList<Step> readScenario(const QString& path, int heading)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QList<QByteArray> lines = file.readAll().split('\n');
    QList<Step> steps;
    for (int i = heading; i < lines.size() && !lines[i].startsWith("##"); ++i) {
        const QByteArray& line = lines[i];
        if (line.size() > 1 && QByteArray("@!><=").contains(line[0]) && line[1] == ' ') {
            steps.append({i + 1, line[0], unquoted(line.mid(2))});
        }
    }
    return steps;
}

// "*" stands for any value that is not empty.
bool sameValue(const QJsonValue& expected, const QByteArray& actual)
{
    const QByteArray text = expected.toString().toUtf8();
    return text == "*" ? !actual.isEmpty() : text == actual;
}

// SW must match; INFO and the members given must equal the reply's. A DATA array lists every
// map of the reply, each with the members it must hold; other members are read from the
// last map that carries them, as the window does.
bool matches(const QJsonObject& expected, const JSON_OBJ& reply)
{
    if (expected.value("SW").toString().toUInt(nullptr, 16) != reply.SW) {
        return false;
    }
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        if (it.key() == "DATA") {
            const QJsonArray maps = it.value().toArray();
            if (maps.size() != reply.DATA.size()) {
                return false;
            }
            for (int i = 0; i < maps.size(); ++i) {
                const QJsonObject map = maps[i].toObject();
                for (auto member = map.begin(); member != map.end(); ++member) {
                    if (!sameValue(member.value(), reply.DATA[i].value(member.key().toUtf8()))) {
                        return false;
                    }
                }
            }
        } else if (it.key() != "SW") {
            const QByteArray key = it.key().toUtf8();
            if (!sameValue(it.value(), key == "INFO" ? reply.INFO : SimKey::member(reply, key))) {
                return false;
            }
        }
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
        if (at == 0) {
            return false;
        }
    }
    return true;
}

// Harness settings before the first exchange, and the restart (a power-up) after it.
bool setUp(SimKey& key, const QByteArray& directive)
{
    const QList<QByteArray> words = directive.split(' ');
    if (words[0] == "model") {
        qputenv("KVSIM_MODEL", words.value(1));
    } else if (words[0] == "keys") {
        key.harness.setKeysAtStart(words.value(1).toInt());
    } else if (words[0] == "state") {
        key.harness.useStateFile();
    } else if (words[0] == "restart") {
        return key.restart();
    } else {
        return false;
    }
    return true;
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
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("heading");
    for (const QFileInfo& info : QDir(Folder).entryInfoList({"*.txt"}, QDir::Files, QDir::Name)) {
        QFile file(info.filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        for (int i = 0; i < lines.size(); ++i) {
            if (lines[i].startsWith("## ")) {
                const QByteArray name = info.baseName().toUtf8() + ": " + lines[i].mid(3);
                QTest::newRow(name.constData()) << info.filePath() << i + 1;
            }
        }
    }
}

void TestTranscripts::scenario()
{
    QFETCH(QString, path);
    QFETCH(int, heading);
    SimKey key;
    bool started = false;
    Step previous{heading, '#', {}};
    QByteArray sent;
    QByteArray control;
    const QList<Step> steps = readScenario(path, heading);
    for (int i = 0; i < steps.size(); ++i) {
        const Step& step = steps[i];
        const QString where = QStringLiteral("%1:%2: ").arg(QFileInfo(path).fileName()).arg(step.number);
        if (step.mark != '@' && !started) {
            QVERIFY2(key.start(), qPrintable(where + "the simulator does not start"));
            started = true;
        }
        if (step.mark == '@') {
            QVERIFY2(setUp(key, step.text), qPrintable(where + "cannot " + step.text));
        } else if (step.mark == '>') {
            sent = QByteArray(step.text).replace("$DIR", QFile::encodeName(key.harness.dir()));
            key.sim.send(sent);
        } else if (step.mark == '<') {
            const QByteArray reply = key.sim.nextReply();
            const QJsonObject expected = QJsonDocument::fromJson(step.text).object();
            QVERIFY2(!expected.isEmpty(), qPrintable(where + "not a JSON object"));
            QVERIFY2(matches(expected, SimProcess::parse(reply)),
                     qPrintable(where + "sent \"" + sent + "\"\n   got " + reply));
        } else if (step.mark == '!') {
            // Right after a line, the command answers the touch that line waits for.
            if (previous.mark == '>') {
                QVERIFY2(QTest::qWaitFor([&key] { return key.status("touch_pending") == "yes"; }),
                         qPrintable(where + "\"" + sent + "\" waits for no touch"));
            }
            control = key.harness.control(QString::fromUtf8(step.text)).toUtf8();
            const bool checkedNext = i + 1 < steps.size() && steps[i + 1].mark == '=';
            QVERIFY2(checkedNext || control.startsWith("ok"), qPrintable(where + step.text + ": " + control));
        } else {
            QVERIFY2(hasWordsInOrder(control, step.text), qPrintable(where + "control reply: " + control));
        }
        previous = step;
    }
    // Standard error belongs to the window's log: a backend never writes there.
    QCOMPARE(key.sim.standardError(), QByteArray());
}

QTEST_GUILESS_MAIN(TestTranscripts)
#include "tst_transcripts.moc"
