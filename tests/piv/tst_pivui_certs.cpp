// Slots, certificate information, generation, CSRs, import, export and deletion on the PIV page.
#include "pivfixture.h"

#include <QComboBox>
#include <QLabel>
#include <QRadioButton>

using namespace piv;

namespace {

const QString kGenerate9a = QStringLiteral(" piv generate-key 9a -p %1 -k %2 -a ECCP256 /tmp/public").arg(kPin, kKey);

QString certificateInfo(const QString& maps)
{
    return QStringLiteral("{\"SW\":\"9000\",\"DATA\":[%1]}").arg(maps);
}

} // namespace

class TestPivCerts : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void slotMapping_data();
    void slotMapping();
    void certificateInfoFillsLabels();
    void certificateInfoPartialUpdate();
    void certificateInfoFailure();
    void generatePageDefaults();
    void subjectRules_data();
    void subjectRules();
    void selfSignedChain_data();
    void selfSignedChain();
    void csrChain();
    void csrDialogCancelledSendsOnlyKey();
    void generationFailures_data();
    void generationFailures();
    void importWithoutPassword_data();
    void importWithoutPassword();
    void importPkcs12_data();
    void importPkcs12();
    void importCancelledOrRefused_data();
    void importCancelledOrRefused();
    void importKeyFailureStopsChain();
    void exportAsksForFileAndReports();
    void exportRefusesQuoteInPath();
    void deleteAsksThenRefreshes();

private:
    void generate(const QString& subject);
    Fixture f;
};

void TestPivCerts::init()
{
    f.start();
    QTRY_VERIFY(f.started());
}

void TestPivCerts::cleanup()
{
    QVERIFY(f.modal->idle());
    QCOMPARE(Access::heldSecrets(*f.window), QString());
    f.stop();
    QCOMPARE(visibleDialogCount(), 0);
}

// On the generation page: type the subject, answer the two prompts, press Generate.
void TestPivCerts::generate(const QString& subject)
{
    widget<QLineEdit>(f.window, "subjectV")->setText(subject);
    f.answerPinAndKey();
    f.click("generate");
}

void TestPivCerts::slotMapping_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("slot");
    QTest::newRow("0") << 0 << "9a";
    QTest::newRow("1") << 1 << "9c";
    QTest::newRow("2") << 2 << "9d";
    QTest::newRow("3") << 3 << "9e";
    QTest::newRow("none selected") << -1 << "9e";
}

void TestPivCerts::slotMapping()
{
    QFETCH(int, index);
    QFETCH(QString, slot);
    auto* combo = widget<QComboBox>(f.window, "comboBox");
    combo->setCurrentIndex(index == 0 ? 1 : 0);
    f.reply(kOk, CmdType::PivReadObject);
    combo->setCurrentIndex(index);
    QTRY_COMPARE(f.lastSent(), " piv read-object " + slot);
}

void TestPivCerts::certificateInfoFillsLabels()
{
    f.reply(certificateInfo("{\"ISSUER\":\"CN=Issuer\"},{\"SBJECT\":\"CN=First\",\"VALIDITY\":\"2030\"},"
                            "{\"SBJECT\":\"CN=Second\"}"),
            CmdType::PivReadObject);
    QCOMPARE(labelText(f.window, "label_4"), QStringLiteral("Issuer Name : "));
    QCOMPARE(labelText(f.window, "issValue"), QStringLiteral("CN=Issuer"));
    QCOMPARE(labelText(f.window, "label_5"), QStringLiteral("Subject Name : "));
    QVERIFY(!widget(f.window, "label_5")->isHidden());
    QCOMPARE(labelText(f.window, "subjectValue"), QStringLiteral("CN=Second"));
    QCOMPARE(widget<QLabel>(f.window, "subjectValue")->alignment(), Qt::AlignLeft | Qt::AlignVCenter);
    QCOMPARE(labelText(f.window, "label_6"), QStringLiteral("Validity Date : "));
    QCOMPARE(labelText(f.window, "validity"), QStringLiteral("2030"));
    QVERIFY(widget(f.window, "certExp")->isEnabled());
    QVERIFY(widget(f.window, "certDel")->isEnabled());
}

void TestPivCerts::certificateInfoPartialUpdate()
{
    f.reply(certificateInfo("{\"ISSUER\":\"CN=Old\",\"SBJECT\":\"CN=Kept\",\"VALIDITY\":\"2029\"}"),
            CmdType::PivReadObject);
    f.reply(certificateInfo("{\"ISSUER\":\"CN=New\"}"), CmdType::PivReadObject);
    QCOMPARE(labelText(f.window, "issValue"), QStringLiteral("CN=New"));
    QCOMPARE(labelText(f.window, "subjectValue"), QStringLiteral("CN=Kept"));
    QCOMPARE(labelText(f.window, "validity"), QStringLiteral("2029"));

    // After an empty slot, only the issuer comes back, but export and delete do.
    f.reply(status("6A82"), CmdType::PivReadObject);
    f.reply(certificateInfo("{\"ISSUER\":\"CN=Third\"}"), CmdType::PivReadObject);
    QCOMPARE(labelText(f.window, "issValue"), QStringLiteral("CN=Third"));
    QCOMPARE(labelText(f.window, "subjectValue"), QStringLiteral("No certificate loaded."));
    QCOMPARE(labelText(f.window, "validity"), QString());
    QVERIFY(widget(f.window, "certExp")->isEnabled());
    QVERIFY(widget(f.window, "certDel")->isEnabled());
    QVERIFY(f.modal->seen().isEmpty());
}

void TestPivCerts::certificateInfoFailure()
{
    f.reply(certificateInfo("{\"ISSUER\":\"CN=I\",\"SBJECT\":\"CN=S\",\"VALIDITY\":\"2030\"}"), CmdType::PivReadObject);
    f.reply(status("6A82", "Empty slot"), CmdType::PivReadObject);
    for (const char* name : {"label_4", "issValue", "label_5", "label_6", "validity"})
        QCOMPARE(labelText(f.window, name), QString());
    QVERIFY(widget(f.window, "label_5")->isHidden());
    QCOMPARE(labelText(f.window, "subjectValue"), QStringLiteral("No certificate loaded."));
    QCOMPARE(widget<QLabel>(f.window, "subjectValue")->alignment(), Qt::Alignment(Qt::AlignCenter));
    QVERIFY(!widget(f.window, "certExp")->isEnabled());
    QVERIFY(!widget(f.window, "certDel")->isEnabled());
    QVERIFY(f.modal->seen().isEmpty());
}

void TestPivCerts::generatePageDefaults()
{
    widget<QRadioButton>(f.window, "rsa2048")->setChecked(true);
    widget<QRadioButton>(f.window, "request")->setChecked(true);
    f.click("certGen");
    QCOMPARE(f.page(), 7);
    QCOMPARE(widget<QLineEdit>(f.window, "subjectV")->text(), QStringLiteral("test"));
    QVERIFY(widget<QRadioButton>(f.window, "ecc256")->isChecked());
    QVERIFY(widget<QRadioButton>(f.window, "selfSingn")->isChecked());
    QVERIFY(f.sent().isEmpty());
}

void TestPivCerts::subjectRules_data()
{
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("message");
    QTest::newRow("15 characters pass") << QString(15, 'a') << QString();
    QTest::newRow("16 characters") << QString(16, 'a')
                                   << "Warning / The length of subject name must be between 0-15 characters.";
    QTest::newRow("empty") << QString() << "Warning / Subject name cannot be empty.";
    QTest::newRow("double quote") << "a\"b"
                                  << "Warning / The subject name cannot contain a double quote.";
}

void TestPivCerts::subjectRules()
{
    QFETCH(QString, subject);
    QFETCH(QString, message);
    f.click("certGen");
    widget<QLineEdit>(f.window, "subjectV")->setText(subject);
    if (message.isEmpty())
        f.cancel("piv_pin");
    else
        f.confirmMessage();
    f.click("generate");
    QTRY_VERIFY(f.modal->idle());
    QCOMPARE(f.messages(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(f.sent(), QStringList());
}

void TestPivCerts::selfSignedChain_data()
{
    QTest::addColumn<QString>("algorithmButton");
    QTest::addColumn<QString>("algorithm");
    QTest::newRow("ECC") << "ecc256"
                         << "ECCP256";
    QTest::newRow("RSA") << "rsa2048"
                         << "RSA2048";
}

void TestPivCerts::selfSignedChain()
{
    QFETCH(QString, algorithmButton);
    QFETCH(QString, algorithm);
    widget<QComboBox>(f.window, "comboBox")->setCurrentIndex(1);
    f.reply(kOk, CmdType::PivReadObject);
    f.click("certGen");
    widget<QRadioButton>(f.window, algorithmButton.toLatin1().constData())->setChecked(true);
    generate(QStringLiteral("test"));
    QTRY_COMPARE(f.lastSent(),
                 QStringLiteral(" piv generate-key 9c -p %1 -k %2 -a %3 /tmp/public").arg(kPin, kKey, algorithm));
    QVERIFY(f.busy());
    QCOMPARE(f.busyText(), QStringLiteral("  Generating new key ... "));

    f.reply(kOk, CmdType::PivGenerateKey);
    QVERIFY(!f.busy());
    QTRY_COMPARE(f.lastSent(),
                 QStringLiteral("piv generate-certificate 9c -p %1 -k %2 /tmp/public -s  \"test\"").arg(kPin, kKey));

    f.confirmMessage();
    f.reply(kOk, CmdType::PivGenerateCertificate);
    QCOMPARE(f.messages(), QStringList{"Success / Generate a new self-signed certificate successfully."});
    QTRY_COMPARE(f.lastSent(), QStringLiteral(" piv read-object 9c"));
}

void TestPivCerts::csrChain()
{
    f.click("certGen");
    widget<QRadioButton>(f.window, "request")->setChecked(true);
    generate(QStringLiteral("My CSR"));
    QTRY_COMPARE(f.sent(), QStringList{kGenerate9a});
    f.save.path = QStringLiteral("/tmp/dir with blank/req.csr");
    f.reply(kOk, CmdType::PivGenerateKey);
    QCOMPARE(f.save.asked, (QStringList{"Save CSR to file..", "CSR", "CSR Files (*.csr *.pem )"}));
    QTRY_COMPARE(f.lastSent(), QStringLiteral("piv generate-csr 9a -p %1 /tmp/public \"/tmp/dir with blank/req.csr\" "
                                              "-s \"My CSR\"")
                                   .arg(kPin));
    f.confirmMessage();
    f.reply(kOk, CmdType::PivGenerateCsr);
    QCOMPARE(f.messages(), QStringList{"Success / Generate a certificate request successfully."});
    QTRY_COMPARE(f.lastSent(), QStringLiteral(" piv read-object 9a"));
}

void TestPivCerts::csrDialogCancelledSendsOnlyKey()
{
    f.click("certGen");
    widget<QRadioButton>(f.window, "request")->setChecked(true);
    generate(QStringLiteral("test"));
    QTRY_COMPARE(f.sent(), QStringList{kGenerate9a});
    f.reply(kOk, CmdType::PivGenerateKey);
    QCOMPARE(f.save.calls, 1);
    QCOMPARE(f.sent(), QStringList{kGenerate9a});
    QVERIFY(f.messages().isEmpty());
    QVERIFY(!f.busy());
}

void TestPivCerts::generationFailures_data()
{
    QTest::addColumn<int>("failingType");
    QTest::newRow("key") << int(CmdType::PivGenerateKey);
    QTest::newRow("certificate") << int(CmdType::PivGenerateCertificate);
}

void TestPivCerts::generationFailures()
{
    QFETCH(int, failingType);
    f.click("certGen");
    generate(QStringLiteral("test"));
    QTRY_COMPARE(f.sent().size(), 1);
    if (failingType == CmdType::PivGenerateCertificate) {
        f.reply(kOk, CmdType::PivGenerateKey);
        QTRY_COMPARE(f.sent().size(), 2);
    }
    const int before = f.sent().size();
    f.confirmMessage();
    f.reply(status("6982", "Wrong PIN"), failingType);
    QCOMPARE(f.messages(), QStringList{"Warning / Wrong PIN"});
    QVERIFY(!f.busy());
    QCOMPARE(f.sent().size(), before);
}

void TestPivCerts::importWithoutPassword_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("der") << "/home/u/cert.der";
    QTest::newRow("upper-case PFX is no pfx") << "/home/u/KEY.PFX";
    QTest::newRow("pfx only in the folder name") << "/home/u/a.pfx/cert";
}

void TestPivCerts::importWithoutPassword()
{
    QFETCH(QString, file);
    f.open.path = file;
    f.answerPinAndKey();
    f.click("certImp");
    QCOMPARE(f.open.asked, (QStringList{"Import Cert", "cert", "Cert File (*.der *.cer *.crt *.pfx)"}));
    QTRY_COMPARE(f.sent(),
                 QStringList{QStringLiteral(" piv import-certificate 9a -p %1 -k %2 \"%3\"").arg(kPin, kKey, file)});
    QVERIFY(f.busy());
    QCOMPARE(f.busyText(), QStringLiteral("Importing certificate, please wait ..."));

    f.confirmMessage();
    f.reply(kOk, CmdType::PivImportCertificate);
    QVERIFY(!f.busy());
    QCOMPARE(f.messages(), QStringList{"Success / Certificate imported successfully."});
    QTRY_COMPARE(f.lastSent(), QStringLiteral(" piv read-object 9a"));
}

void TestPivCerts::importPkcs12_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("passwordPart");
    QTest::newRow("with password") << "s3cr*t!"
                                   << " -w s3cr*t!";
    QTest::newRow("empty password") << QString() << QString();
}

void TestPivCerts::importPkcs12()
{
    QFETCH(QString, password);
    QFETCH(QString, passwordPart);
    f.open.path = QStringLiteral("/tmp/id.pfx");
    f.answerPinAndKey();
    f.answerPin(password);
    f.click("certImp");
    const QString options = QStringLiteral("9a -p %1 -k %2%3 \"/tmp/id.pfx\"").arg(kPin, kKey, passwordPart);
    QTRY_COMPARE(f.sent(), QStringList{" piv import-key " + options});
    QVERIFY(f.busy());

    f.reply(kOk, CmdType::PivImportKey);
    QVERIFY(f.busy());
    QTRY_COMPARE(f.lastSent(), " piv import-certificate " + options);
    f.confirmMessage();
    f.reply(status("6A80", "Bad file"), CmdType::PivImportCertificate);
    QVERIFY(!f.busy());
    QCOMPARE(f.messages(), QStringList{"Warning / Bad file"});
    QCOMPARE(f.sent().size(), 2);
}

void TestPivCerts::importCancelledOrRefused_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("message");
    QTest::newRow("no file") << QString() << QStringList() << QString();
    QTest::newRow("quote in path") << "/tmp/a\".der" << QStringList()
                                   << "Warning / The file path cannot contain a double quote.";
    QTest::newRow("PIN cancelled") << "/tmp/a.der" << QStringList{"cancel"} << QString();
    QTest::newRow("key cancelled") << "/tmp/a.der" << QStringList{kPin, "cancel"} << QString();
    QTest::newRow("password cancelled") << "/tmp/a.pfx" << QStringList{kPin, kKey, "cancel"} << QString();
    QTest::newRow("password with blank")
        << "/tmp/a.pfx" << QStringList{kPin, kKey, "two words"}
        << "Warning / The certificate password cannot contain blanks or double quotes.";
}

void TestPivCerts::importCancelledOrRefused()
{
    QFETCH(QString, file);
    QFETCH(QStringList, answers);
    QFETCH(QString, message);
    f.open.path = file;
    for (const QString& answer : answers) {
        if (answer == QLatin1String("cancel"))
            f.cancel("piv_pin");
        else
            f.answerPin(answer);
    }
    if (!message.isEmpty())
        f.confirmMessage();
    f.click("certImp");
    QTRY_VERIFY(f.modal->idle());
    QCOMPARE(f.messages(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(f.sent(), QStringList());
    QVERIFY(!f.busy());
}

void TestPivCerts::importKeyFailureStopsChain()
{
    f.open.path = QStringLiteral("/tmp/id.pfx");
    f.answerPinAndKey();
    f.answerPin(QStringLiteral("pw"));
    f.click("certImp");
    QTRY_COMPARE(f.sent().size(), 1);
    f.confirmMessage();
    f.reply(status("6A80"), CmdType::PivImportKey);
    QVERIFY(!f.busy());
    QCOMPARE(f.messages(), QStringList{"Warning / Other error.Please try again or replug..."});
    QCOMPARE(f.sent().size(), 1);
}

void TestPivCerts::exportAsksForFileAndReports()
{
    widget<QComboBox>(f.window, "comboBox")->setCurrentIndex(3);
    f.reply(kOk, CmdType::PivReadObject);
    f.save.path = QStringLiteral("/tmp/out.pem");
    f.click("certExp");
    QCOMPARE(f.save.asked, (QStringList{"Export certificate to file...", "Export", "Certificate files (*.crt *.pem)"}));
    QTRY_COMPARE(f.lastSent(), QStringLiteral(" piv export-certificate 9e \"/tmp/out.pem\""));
    const int before = f.sent().size();
    f.confirmMessage();
    f.reply(kOk, CmdType::PivExportCertificate);
    QCOMPARE(f.messages(), QStringList{"Success / Certificate was exported. "});
    QCOMPARE(f.sent().size(), before);
}

void TestPivCerts::exportRefusesQuoteInPath()
{
    f.save.path = QStringLiteral("/tmp/x\" -k \"y.pem");
    f.confirmMessage();
    f.click("certExp");
    QTRY_VERIFY(f.modal->idle());
    QCOMPARE(f.messages(), QStringList{"Warning / The file path cannot contain a double quote."});
    QCOMPARE(f.sent(), QStringList());
}

void TestPivCerts::deleteAsksThenRefreshes()
{
    widget<QComboBox>(f.window, "comboBox")->setCurrentIndex(2);
    f.reply(kOk, CmdType::PivReadObject);
    f.confirmMessage();
    f.answerPinAndKey();
    f.click("certDel");
    QTRY_COMPARE(f.lastSent(), QStringLiteral(" piv delete-certificate 9d -p %1 -k %2").arg(kPin, kKey));
    QCOMPARE(f.modal->seen().first().title, QStringLiteral("Delete certificate"));
    QCOMPARE(f.modal->seen().first().text,
             QStringLiteral(
                 "This will delete the certificate and cannot be recovered. \nNote that the key is not deleted."));
    QVERIFY(!f.busy());

    f.confirmMessage();
    f.reply(kOk, CmdType::PivDeleteCertificate);
    QCOMPARE(f.messages().last(), QStringLiteral("Success / Certificate delete successfully."));
    QTRY_COMPARE(f.lastSent(), QStringLiteral(" piv read-object 9d"));

    const int before = f.sent().size();
    f.cancel("DialogMessage");
    f.click("certDel");
    QTRY_VERIFY(f.modal->idle());
    QCOMPARE(f.sent().size(), before);
}

QTEST_MAIN(TestPivCerts)
#include "tst_pivui_certs.moc"
