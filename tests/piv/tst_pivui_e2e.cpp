// The PIV page against kvman-sim: real keys, certificates, requests and PKCS#12 files, checked
// with the openssl command-line tool.
#include "pivfixture.h"

#include "common/simharness.h"
#include "piv/changepin.h"

#include <QComboBox>
#include <QProcess>
#include <QRadioButton>
#include <QTemporaryDir>

using namespace piv;

namespace {

const int kSlowMs = 20000;
// The key comes with the factory secrets.
const QString kDefaultPin = QString::fromLatin1(PinRule::kDefaultPivPin);
const QString kDefaultKey = QString::fromLatin1(PinRule::kDefaultManagementKey);

// Exit code and merged output of one openssl run.
QPair<int, QString> openssl(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(kSlowMs) || process.exitStatus() != QProcess::NormalExit)
        return {-1, QString()};
    return {process.exitCode(), QString::fromUtf8(process.readAll())};
}

} // namespace

class TestPivEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void selfSignedCertificateIsExported();
    void requestVerifies();
    void pkcs12IsImported();
    void wrongPukThreeTimes();

private:
    QString file(const char* name) const { return m_files.filePath(QString::fromLatin1(name)); }
    QString subjectShown() const { return labelText(f.window, "subjectValue"); }
    QStringList received() const { return m_harness->receivedLines(); }

    SimHarness* m_harness = nullptr;
    QTemporaryDir m_files;
    Fixture f;
    const QStringList m_secrets{"pin=" + kDefaultPin, "pin=" + kDefaultKey};
};

void TestPivEndToEnd::init()
{
    m_harness = new SimHarness(QStringLiteral("R15"));
    f.start(SimHarness::simPath());
    QVERIFY(m_harness->waitUntilReady());
    QTRY_COMPARE(labelText(f.window, "label_24"), QStringLiteral("VELMORA FIDO Security Key Inserted"));
    f.click("btn_getdeviceinfo");
    QTRY_VERIFY(g_insreted);
    QTRY_VERIFY(Access::channelFree(*f.window));
    f.click("piv");
    QTRY_COMPARE(subjectShown(), QStringLiteral("No certificate loaded."));
    QTRY_VERIFY(Access::channelFree(*f.window));
}

void TestPivEndToEnd::cleanup()
{
    QVERIFY(f.modal->idle());
    f.stop();
    delete m_harness;
    QCOMPARE(visibleDialogCount(), 0);
}

void TestPivEndToEnd::selfSignedCertificateIsExported()
{
    f.click("certGen");
    widget<QLineEdit>(f.window, "subjectV")->setText(QStringLiteral("E2E Cert"));
    f.answer(m_secrets + QStringList{"ok"});
    f.click("generate");
    QTRY_VERIFY_WITH_TIMEOUT(f.modal->idle(), kSlowMs);
    QCOMPARE(f.messages(), QStringList{"Success / Generate a new self-signed certificate successfully."});
    QTRY_VERIFY(subjectShown().contains(QStringLiteral("E2E Cert")));
    QVERIFY(widget(f.window, "certExp")->isEnabled());

    f.save.path = file("exported cert.pem");
    f.answer({"ok"});
    f.click("certExp");
    QTRY_VERIFY(f.modal->idle());
    QCOMPARE(f.messages().last(), QStringLiteral("Success / Certificate was exported. "));
    QVERIFY(received().contains(QStringLiteral(" piv export-certificate 9a \"%1\"").arg(f.save.path)));

    const auto x509 = openssl({"x509", "-in", f.save.path, "-noout", "-subject", "-text"});
    QCOMPARE(x509.first, 0);
    QVERIFY2(x509.second.contains(QStringLiteral("E2E Cert")), qPrintable(x509.second));
    QVERIFY2(x509.second.contains(QStringLiteral("id-ecPublicKey")), qPrintable(x509.second));
    QVERIFY2(x509.second.contains(QStringLiteral("prime256v1")), qPrintable(x509.second));
}

void TestPivEndToEnd::requestVerifies()
{
    f.click("certGen");
    widget<QRadioButton>(f.window, "request")->setChecked(true);
    widget<QLineEdit>(f.window, "subjectV")->setText(QStringLiteral("E2E Request"));
    f.save.path = file("req.csr");
    f.answer(m_secrets + QStringList{"ok"});
    f.click("generate");
    QTRY_VERIFY_WITH_TIMEOUT(f.modal->idle(), kSlowMs);
    QCOMPARE(f.messages(), QStringList{"Success / Generate a certificate request successfully."});

    const auto req = openssl({"req", "-in", f.save.path, "-noout", "-verify", "-subject"});
    QCOMPARE(req.first, 0);
    QVERIFY2(req.second.contains(QStringLiteral("E2E Request")), qPrintable(req.second));
}

void TestPivEndToEnd::pkcs12IsImported()
{
    f.open.path = file("identity.pfx");
    QCOMPARE(openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
                      file("key.pem"), "-out", file("cert.pem"), "-days", "30", "-subj", "/CN=PfxImport"})
                 .first,
             0);
    QCOMPARE(openssl({"pkcs12", "-export", "-in", file("cert.pem"), "-inkey", file("key.pem"), "-out", f.open.path,
                      "-passout", "pass:secret"})
                 .first,
             0);

    widget<QComboBox>(f.window, "comboBox")->setCurrentIndex(1);
    QTRY_VERIFY(Access::channelFree(*f.window));
    f.answer(m_secrets + QStringList{"pin=secret", "ok"});
    f.click("certImp");
    QTRY_VERIFY_WITH_TIMEOUT(f.modal->idle(), kSlowMs);
    QCOMPARE(f.messages(), QStringList{"Success / Certificate imported successfully."});
    QTRY_VERIFY(subjectShown().contains(QStringLiteral("PfxImport")));

    const QString options =
        QStringLiteral("9c -p %1 -k %2 -w secret \"%3\"").arg(kDefaultPin, kDefaultKey, f.open.path);
    const int keyLine = received().indexOf(" piv import-key " + options);
    QVERIFY(keyLine >= 0);
    QCOMPARE(received().value(keyLine + 1), " piv import-certificate " + options);
}

void TestPivEndToEnd::wrongPukThreeTimes()
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        f.answer({"change=11111111,12345678", "ok"});
        f.click("pivPuk");
        QTRY_VERIFY(f.modal->idle());
    }
    QCOMPARE(f.messages(),
             (QStringList{"Warning / Verify failed. Wrong current PUK,2 tries left.",
                          "Warning / Verify failed. Wrong current PUK,1 tries left.", "Warning / PUK is blocked."}));
    QCOMPARE(received().count(QStringLiteral(" piv change-puk -p 11111111 -n 12345678")), 3);
}

QTEST_MAIN(TestPivEndToEnd)
#include "tst_pivui_e2e.moc"
