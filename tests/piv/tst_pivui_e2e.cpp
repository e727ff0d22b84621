// The PIV page against kvman-sim: a key and its certificate, a request written to a file, and
// the PUK tried until blocked.
#include "common/simharness.h"
#include "common/testwindow.h"
#include "ui/changepin.h"

#include <QTemporaryDir>
#include <QtTest>

class TestPivEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void certificateRequestAndPuk();
};

void TestPivEndToEnd::certificateRequestAndPuk()
{
    SimHarness sim("R15");
    QTemporaryDir files;
    // Declared after the simulator, so the window goes before the simulator's folder does.
    TestWindow w(SimHarness::simPath());
    const auto run = [&w](const char* button, const QStringList& script) {
        w.answer(script);
        w.click(button);
        return QTest::qWaitFor([&w] { return w.modal.idle() && w.channelFree(); }, 20000);
    };
    const auto fileStart = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readLine().trimmed() : QByteArray();
    };
    QVERIFY(sim.waitUntilReady());
    QTRY_COMPARE(w.text("label_24"), QStringLiteral("VELMORA FIDO Security Key Inserted"));
    w.click("btn_getdeviceinfo");
    QTRY_VERIFY(g_insreted && w.channelFree());
    w.click("piv");
    QTRY_COMPARE(w.text("subjectValue"), QStringLiteral("No certificate loaded."));
    // The key comes with the factory secrets.
    const QStringList secrets{"ok", "pin=" + QString::fromLatin1(PinRule::kDefaultPivPin),
                              "pin=" + QString::fromLatin1(PinRule::kDefaultManagementKey), "ok"};

    w.click("certGen");
    w.type("subjectV", "E2E Cert");
    QVERIFY(run("generate", secrets));
    QTRY_COMPARE(w.text("subjectValue"), QStringLiteral("CN=E2E Cert"));

    w.click("certGen");
    w.click("request");
    w.savePath = files.filePath("my request.csr");
    QVERIFY(run("generate", secrets));
    QCOMPARE(fileStart(w.savePath), QByteArray("-----BEGIN CERTIFICATE REQUEST-----"));
    QCOMPARE(w.lastMessage(), QStringLiteral("Generate a certificate request successfully."));

    // The last try is asked for first, and sent once confirmed.
    const int shown = w.messages().size();
    for (const QStringList& script : {QStringList{"ok"}, QStringList{"ok"}, QStringList{"ok", "ok"}})
        QVERIFY(run("pivPuk", QStringList{"change=11111111,12345678"} + script));
    QCOMPARE(w.messages().mid(shown),
             (QStringList{"Warning / Verify failed. Wrong current PUK,2 tries left.",
                          "Warning / Verify failed. Wrong current PUK,1 tries left.",
                          "Last PUK try / The key has one PUK try left. If this PUK is wrong, the PUK is blocked and "
                          "with it the only way to unblock the PIV PIN; then only a PIV reset helps. Continue?",
                          "Warning / PUK is blocked."}));
}

QTEST_MAIN(TestPivEndToEnd)
#include "tst_pivui_e2e.moc"
