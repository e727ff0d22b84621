// The PIV page against kvman-sim: real keys, certificates, requests and PKCS#12 files, checked
// with the openssl command-line tool.
#include "pivfixture.h"

#include "common/simharness.h"
#include "ui/changepin.h"

#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>

using namespace piv;

namespace {

const int kSlowMs = 20000;

// Merged output of one openssl run.
QString openssl(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start("openssl", arguments);
    process.waitForFinished(kSlowMs);
    return QString::fromUtf8(process.readAll());
}

} // namespace

class TestPivEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void certificatesRequestsPkcs12AndPuk();
};

void TestPivEndToEnd::certificatesRequestsPkcs12AndPuk()
{
    SimHarness sim("R15");
    QTemporaryDir files;
    Fixture f;
    f.start(SimHarness::simPath());
    // The window goes before the simulator's folder does, however the test ends.
    const auto stop = qScopeGuard([&f] { f.stop(); });
    const auto run = [&f](const char* button, const QStringList& script) {
        f.answer(script);
        f.click(button);
        return QTest::qWaitFor([&f] { return f.modal->idle(); }, kSlowMs);
    };
    const auto subjectShown = [&f] { return labelText(f.window, "subjectValue"); };
    QVERIFY(sim.waitUntilReady());
    QTRY_COMPARE(labelText(f.window, "label_24"), QStringLiteral("VELMORA FIDO Security Key Inserted"));
    f.click("btn_getdeviceinfo");
    QTRY_VERIFY(g_insreted);
    QTRY_VERIFY(f.channelFree());
    f.click("piv");
    QTRY_COMPARE(subjectShown(), QStringLiteral("No certificate loaded."));
    // The key comes with the factory secrets.
    const QString pin = QString::fromLatin1(PinRule::kDefaultPivPin);
    const QString key = QString::fromLatin1(PinRule::kDefaultManagementKey);
    const QStringList secrets{"pin=" + pin, "pin=" + key, "ok"};

    f.click("certGen");
    f.type("subjectV", "E2E Cert");
    QVERIFY(run("generate", secrets));
    QTRY_VERIFY(subjectShown().contains("E2E Cert"));
    f.savePath = files.filePath("exported cert.pem");
    QVERIFY(run("certExp", {"ok"}));
    const QString x509 = openssl({"x509", "-in", f.savePath, "-noout", "-subject", "-text"});
    QVERIFY2(x509.contains("E2E Cert") && x509.contains("id-ecPublicKey") && x509.contains("prime256v1"),
             qPrintable(x509));

    f.click("certGen");
    f.click("request");
    f.type("subjectV", "E2E Request");
    f.savePath = files.filePath("req.csr");
    QVERIFY(run("generate", secrets));
    const QString request = openssl({"req", "-in", f.savePath, "-noout", "-verify", "-subject"});
    QVERIFY2(request.contains("verify OK") && request.contains("E2E Request"), qPrintable(request));

    f.openPath = files.filePath("identity.pfx");
    openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
             files.filePath("key.pem"), "-out", files.filePath("cert.pem"), "-subj", "/CN=PfxImport"});
    openssl({"pkcs12", "-export", "-in", files.filePath("cert.pem"), "-inkey", files.filePath("key.pem"), "-out",
             f.openPath, "-passout", "pass:secret"});
    QVERIFY(run("certImp", {"pin=" + pin, "pin=" + key, "pin=secret", "ok"}));
    QTRY_VERIFY(subjectShown().contains("PfxImport"));

    for (int attempt = 0; attempt < 2; ++attempt)
        QVERIFY(run("pivPuk", {"change=11111111,12345678", "ok"}));
    // The last try is asked for first, and sent once confirmed.
    QVERIFY(run("pivPuk", {"change=11111111,12345678", "ok", "ok"}));
    QCOMPARE(f.messages().size(), 8);
    QCOMPARE(f.messages().mid(4, 2), (QStringList{"Warning / Verify failed. Wrong current PUK,2 tries left.",
                                                  "Warning / Verify failed. Wrong current PUK,1 tries left."}));
    QVERIFY(f.messages().at(6).startsWith("Last PUK try / "));
    QCOMPARE(f.messages().at(7), QStringLiteral("Warning / PUK is blocked."));
}

QTEST_MAIN(TestPivEndToEnd)
#include "tst_pivui_e2e.moc"
