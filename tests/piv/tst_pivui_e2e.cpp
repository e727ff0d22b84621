// The PIV page against kvman-sim: real keys, certificates, requests and PKCS#12 files, checked
// with the openssl command-line tool.
#include "pivfixture.h"

#include "common/simharness.h"
#include "ui/changepin.h"

#include <QComboBox>
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
    sim.useStateFile();
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
    const auto keyState = [&sim] {
        QFile file(sim.statePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
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
    const QStringList secrets{"ok", "pin=" + pin, "pin=" + key, "ok"};

    f.click("certGen");
    f.type("subjectV", "E2E Cert");
    QVERIFY(run("generate", secrets));
    QTRY_VERIFY(subjectShown().contains("E2E Cert"));
    // A refused subject, a refused overwrite and a cancelled CSR file used to leave a new key behind.
    const QByteArray generated = keyState();
    QVERIFY(generated.contains("piv.slot.9a.key") && generated.contains("piv.slot.9a.certificate"));
    f.type("subjectV", "a=b");
    QVERIFY(run("generate", {"ok"}));
    f.type("subjectV", "Other");
    QVERIFY(run("generate", {"no"}));
    f.click("request");
    QVERIFY(run("generate", {"ok"}));
    QCOMPARE(keyState(), generated);
    QVERIFY(!sim.receivedLines().join('\n').contains("Other"));
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

    // An upper-case name without a password used to bring the certificate alone.
    QTRY_VERIFY(f.channelFree());
    widget<QComboBox>(f.window, "comboBox")->setCurrentIndex(1);
    f.openPath = files.filePath("IDENTITY.P12");
    openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
             files.filePath("key.pem"), "-out", files.filePath("cert.pem"), "-subj", "/CN=PfxImport"});
    openssl({"pkcs12", "-export", "-in", files.filePath("cert.pem"), "-inkey", files.filePath("key.pem"), "-out",
             f.openPath, "-passout", "pass:"});
    QVERIFY(run("certImp", {"pin=" + pin, "pin=" + key, "pin=", "ok"}));
    QTRY_VERIFY(subjectShown().contains("PfxImport"));
    const QString status = sim.control("status");
    QVERIFY2(status.contains("piv_keys=9a,9c") && status.contains("piv_certificates=9a,9c"), qPrintable(status));

    const int shown = f.messages().size();
    for (int attempt = 0; attempt < 2; ++attempt)
        QVERIFY(run("pivPuk", {"change=11111111,12345678", "ok"}));
    // The last try is asked for first, and sent once confirmed.
    QVERIFY(run("pivPuk", {"change=11111111,12345678", "ok", "ok"}));
    const QStringList seen = f.messages().mid(shown);
    QCOMPARE(seen.size(), 4);
    QCOMPARE(seen.mid(0, 2), (QStringList{"Warning / Verify failed. Wrong current PUK,2 tries left.",
                                          "Warning / Verify failed. Wrong current PUK,1 tries left."}));
    QVERIFY(seen.at(2).startsWith("Last PUK try / "));
    QCOMPARE(seen.at(3), QStringLiteral("Warning / PUK is blocked."));
}

QTEST_MAIN(TestPivEndToEnd)
#include "tst_pivui_e2e.moc"
