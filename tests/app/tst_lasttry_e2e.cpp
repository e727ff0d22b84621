// The question before a secret's last try, against kvman-sim: asked at one try left, not at two,
// and Cancel sends nothing.
#include "common/simharness.h"
#include "common/simprocess.h"
#include "common/testwindow.h"
#include "support/protocol.h"

#include <QtTest>

namespace {

const int kSlowMs = 20000;
const QString kWrongPivPin = QStringLiteral("000000");

int linesContaining(const SimHarness& sim, const QString& text)
{
    return sim.receivedLines().filter(text).size();
}

// The key's FIDO2 PIN is 1234, with `triesLeft` of its 8 tries left.
bool spendFidoTries(int triesLeft)
{
    SimProcess key;
    if (!key.start() || key.requestParsed("fido set-pin -p 31323334").SW != Status::Success)
        return false;
    for (int spent = 0; spent < 8 - triesLeft; ++spent)
        key.request("fido change-pin -p 39393939 -n 35363738");
    return key.finish();
}

} // namespace

class TestLastTry : public QObject
{
    Q_OBJECT

private slots:
    void fidoPin_data();
    void fidoPin();
    void pivPinCancelledOnLastTry();

private:
    bool readKey(SimHarness& sim, TestWindow& f);
    bool run(TestWindow& f, const char* button, const QStringList& script);
};

bool TestLastTry::readKey(SimHarness& sim, TestWindow& f)
{
    if (!sim.waitUntilReady() || !QTest::qWaitFor([] { return g_currInterface != 0; }, kSlowMs))
        return false;
    f.click("btn_getdeviceinfo");
    // The details come last, after the start-up report.
    return QTest::qWaitFor([&f] { return !f.text("pidValue").isEmpty() && f.channelFree(); }, kSlowMs);
}

bool TestLastTry::run(TestWindow& f, const char* button, const QStringList& script)
{
    f.answer(script);
    f.click(button);
    return QTest::qWaitFor([&f] { return f.modal.idle() && f.channelFree(); }, kSlowMs);
}

void TestLastTry::fidoPin_data()
{
    QTest::addColumn<int>("triesLeft");
    QTest::addColumn<QString>("firstMessage");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("linesSent");
    QTest::newRow("one try, cancelled")
        << 1
        << "Last FIDO2 PIN try / The key has one FIDO2 PIN try left. If this PIN is wrong, FIDO2 is blocked until "
           "it is reset, which deletes every credential on the key. Continue?"
        << "no" << 0;
    QTest::newRow("two tries") << 2 << "Warning"
                               << "ok" << 1;
}

void TestLastTry::fidoPin()
{
    QFETCH(int, triesLeft);
    QFETCH(QString, firstMessage);
    QFETCH(QString, answer);
    QFETCH(int, linesSent);
    SimHarness sim("R8");
    sim.useStateFile();
    QVERIFY(spendFidoTries(triesLeft));
    TestWindow f(SimHarness::simPath());
    QVERIFY(readKey(sim, f));
    f.click("fido");
    QTRY_VERIFY(f.channelFree());
    // The log also holds the lines that spent the tries.
    const int before = linesContaining(sim, "fido change-pin");

    QVERIFY(run(f, "fidoSetPIN", {"change=9999,5678", answer}));
    QVERIFY2(f.messages().value(0).startsWith(firstMessage), qPrintable(f.messages().join('\n')));
    QCOMPARE(linesContaining(sim, "fido change-pin") - before, linesSent);
}

// The count comes from the key's own answers to wrong PINs; the second try is still asked freely.
void TestLastTry::pivPinCancelledOnLastTry()
{
    SimHarness sim("R8");
    TestWindow f(SimHarness::simPath());
    QVERIFY(readKey(sim, f));
    f.click("piv");
    QTRY_VERIFY(f.channelFree());
    const QString change = "change=" + kWrongPivPin + ",123456";

    QVERIFY(run(f, "pivPin", {change, "ok"}));
    QVERIFY(run(f, "pivPin", {change, "ok"}));
    QVERIFY(run(f, "pivPin", {change, "no"}));
    QCOMPARE(f.messages().size(), 3);
    QCOMPARE(f.messages().at(2), "Last PIV PIN try / The key has one PIV PIN try left. If this PIN is wrong, the PIV "
                                 "PIN is blocked and only the PUK can unblock it. Continue?");
    QCOMPARE(linesContaining(sim, "piv change-pin"), 2);
    QVERIFY(f.heldSecrets().isEmpty());
}

QTEST_MAIN(TestLastTry)
#include "tst_lasttry_e2e.moc"
