// The PIV page against kvman-sim: real keys, certificates, requests and PKCS#12 files, checked
// with the openssl command-line tool.
#include "app/commands.h"
#include "app/mainwindow.h"
#include "common/modalhelper.h"
#include "common/simharness.h"
#include "common/windowprobe.h"
#include "piv/changepin.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

class MainWindowTestAccess
{
public:
    using Chooser = std::function<QString(const QString&, const QString&, const QString&)>;

    static bool channelFree(MainWindow& w)
    {
        if (!w.m_cmdLock.tryLock())
            return false;
        w.m_cmdLock.unlock();
        return true;
    }
    static void setOpenFile(MainWindow& w, Chooser chooser) { w.m_pivOpenFile = std::move(chooser); }
    static void setSaveFile(MainWindow& w, Chooser chooser) { w.m_pivSaveFile = std::move(chooser); }
};
using Access = MainWindowTestAccess;

namespace {

const int kSlowMs = 20000;
const QString kPin = QString::fromLatin1(PinRule::kDefaultPivPin);
const QString kKey = QString::fromLatin1(PinRule::kDefaultManagementKey);

struct Tool
{
    int exitCode = -1;
    QString output;
};

Tool openssl(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), arguments);
    Tool tool;
    if (!process.waitForFinished(kSlowMs))
        return tool;
    tool.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    tool.output = QString::fromUtf8(process.readAll());
    return tool;
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
    void answerPin(const QString& value);
    void answerPinAndKey();
    void confirmMessage() { m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok")); }
    void click(const char* name) { widget<QAbstractButton>(m_window, name)->click(); }
    QString subjectShown() const { return labelText(m_window, "subjectValue"); }
    QStringList messages() const;

    SimHarness* m_harness = nullptr;
    MainWindow* m_window = nullptr;
    ModalHelper* m_modal = nullptr;
    QTemporaryDir* m_files = nullptr;
    QString m_savePath;
    QString m_openPath;
};

void TestPivEndToEnd::init()
{
    m_harness = new SimHarness(QStringLiteral("R15"));
    m_files = new QTemporaryDir;
    m_window = new MainWindow(nullptr, SimHarness::simPath());
    m_modal = new ModalHelper;
    Access::setSaveFile(*m_window, [this](const QString&, const QString&, const QString&) { return m_savePath; });
    Access::setOpenFile(*m_window, [this](const QString&, const QString&, const QString&) { return m_openPath; });
    QVERIFY(m_harness->waitUntilReady());
    QTRY_COMPARE(labelText(m_window, "label_24"), QStringLiteral("VELMORA FIDO Security Key Inserted"));
    click("btn_getdeviceinfo");
    QTRY_VERIFY(g_insreted);
    QTRY_VERIFY(Access::channelFree(*m_window));
    click("piv");
    QTRY_COMPARE(subjectShown(), QStringLiteral("No certificate loaded."));
    QTRY_VERIFY(Access::channelFree(*m_window));
}

void TestPivEndToEnd::cleanup()
{
    QVERIFY(m_modal->idle());
    delete m_modal;
    delete m_window;
    delete m_files;
    delete m_harness;
    QCOMPARE(visibleDialogCount(), 0);
}

void TestPivEndToEnd::answerPin(const QString& value)
{
    m_modal->actWhenShown(QStringLiteral("piv_pin"), [value](QWidget* d) {
        d->findChild<QLineEdit*>(QStringLiteral("pinV"))->setText(value);
        d->findChild<QAbstractButton*>(QStringLiteral("OK"))->click();
    });
}

void TestPivEndToEnd::answerPinAndKey()
{
    answerPin(kPin);
    answerPin(kKey);
}

QStringList TestPivEndToEnd::messages() const
{
    QStringList all;
    for (const ModalHelper::Seen& seen : m_modal->seen())
        if (seen.dialog == QLatin1String("DialogMessage"))
            all << seen.title + QStringLiteral(" / ") + seen.text;
    return all;
}

void TestPivEndToEnd::selfSignedCertificateIsExported()
{
    click("certGen");
    widget<QLineEdit>(m_window, "subjectV")->setText(QStringLiteral("E2E Cert"));
    answerPinAndKey();
    confirmMessage();
    click("generate");
    QTRY_VERIFY_WITH_TIMEOUT(m_modal->idle(), kSlowMs);
    QCOMPARE(messages(), QStringList{"Success / Generate a new self-signed certificate successfully."});
    QTRY_VERIFY(subjectShown().contains(QStringLiteral("E2E Cert")));
    QVERIFY(widget(m_window, "certExp")->isEnabled());

    m_savePath = m_files->filePath(QStringLiteral("exported cert.pem"));
    confirmMessage();
    click("certExp");
    QTRY_VERIFY(m_modal->idle());
    QCOMPARE(messages().last(), QStringLiteral("Success / Certificate was exported. "));
    QVERIFY(m_harness->receivedLines().contains(QStringLiteral(" piv export-certificate 9a \"%1\"").arg(m_savePath)));

    const Tool x509 = openssl({"x509", "-in", m_savePath, "-noout", "-subject", "-text"});
    QCOMPARE(x509.exitCode, 0);
    QVERIFY2(x509.output.contains(QStringLiteral("E2E Cert")), qPrintable(x509.output));
    QVERIFY2(x509.output.contains(QStringLiteral("id-ecPublicKey")), qPrintable(x509.output));
    QVERIFY2(x509.output.contains(QStringLiteral("prime256v1")), qPrintable(x509.output));
}

void TestPivEndToEnd::requestVerifies()
{
    click("certGen");
    widget<QRadioButton>(m_window, "request")->setChecked(true);
    widget<QLineEdit>(m_window, "subjectV")->setText(QStringLiteral("E2E Request"));
    m_savePath = m_files->filePath(QStringLiteral("req.csr"));
    answerPinAndKey();
    confirmMessage();
    click("generate");
    QTRY_VERIFY_WITH_TIMEOUT(m_modal->idle(), kSlowMs);
    QCOMPARE(messages(), QStringList{"Success / Generate a certificate request successfully."});
    QVERIFY(m_harness->receivedLines().contains(
        QStringLiteral("piv generate-csr 9a -p %1 /tmp/public \"%2\" -s \"E2E Request\"").arg(kPin, m_savePath)));

    const Tool req = openssl({"req", "-in", m_savePath, "-noout", "-verify", "-subject"});
    QCOMPARE(req.exitCode, 0);
    QVERIFY2(req.output.contains(QStringLiteral("E2E Request")), qPrintable(req.output));
}

void TestPivEndToEnd::pkcs12IsImported()
{
    const QString key = m_files->filePath(QStringLiteral("key.pem"));
    const QString cert = m_files->filePath(QStringLiteral("cert.pem"));
    m_openPath = m_files->filePath(QStringLiteral("identity.pfx"));
    QCOMPARE(openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
                      key, "-out", cert, "-days", "30", "-subj", "/CN=PfxImport"})
                 .exitCode,
             0);
    QCOMPARE(openssl({"pkcs12", "-export", "-in", cert, "-inkey", key, "-out", m_openPath, "-passout", "pass:secret"})
                 .exitCode,
             0);

    widget<QComboBox>(m_window, "comboBox")->setCurrentIndex(1);
    QTRY_VERIFY(Access::channelFree(*m_window));
    answerPinAndKey();
    answerPin(QStringLiteral("secret"));
    confirmMessage();
    click("certImp");
    QTRY_VERIFY_WITH_TIMEOUT(m_modal->idle(), kSlowMs);
    QCOMPARE(messages(), QStringList{"Success / Certificate imported successfully."});
    QTRY_VERIFY(subjectShown().contains(QStringLiteral("PfxImport")));

    const QString options = QStringLiteral("9c -p %1 -k %2 -w secret \"%3\"").arg(kPin, kKey, m_openPath);
    const QStringList lines = m_harness->receivedLines();
    const int keyLine = lines.indexOf(" piv import-key " + options);
    QVERIFY(keyLine >= 0);
    QCOMPARE(lines.value(keyLine + 1), " piv import-certificate " + options);
}

void TestPivEndToEnd::wrongPukThreeTimes()
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        m_modal->actWhenShown(QStringLiteral("changePIN"), [](QWidget* d) {
            d->findChild<QLineEdit*>(QStringLiteral("oldpinV"))->setText(QStringLiteral("11111111"));
            d->findChild<QLineEdit*>(QStringLiteral("newpinV"))->setText(QStringLiteral("12345678"));
            d->findChild<QLineEdit*>(QStringLiteral("conformPinV"))->setText(QStringLiteral("12345678"));
            d->findChild<QAbstractButton*>(QStringLiteral("OK"))->click();
        });
        confirmMessage();
        click("pivPuk");
        QTRY_VERIFY(m_modal->idle());
    }
    QCOMPARE(messages(),
             (QStringList{"Warning / Verify failed. Wrong current PUK,2 tries left.",
                          "Warning / Verify failed. Wrong current PUK,1 tries left.", "Warning / PUK is blocked."}));
    QCOMPARE(m_harness->receivedLines().count(QStringLiteral(" piv change-puk -p 11111111 -n 12345678")), 3);
}

QTEST_MAIN(TestPivEndToEnd)
#include "tst_pivui_e2e.moc"
