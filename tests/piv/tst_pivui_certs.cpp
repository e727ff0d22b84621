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
    void certificateInformation();
    void subjectRules_data();
    void subjectRules();
    void generationChain_data();
    void generationChain();
    void generationFailureEndsChain();
    void importFirstCommand_data();
    void importFirstCommand();
    void importChain_data();
    void importChain();
    void exportAndDelete();

private:
    void selectSlot(int index);
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

void TestPivCerts::selectSlot(int index)
{
    widget<QComboBox>(f.window, "comboBox")->setCurrentIndex(index);
    f.reply(kOk, CmdType::PivReadObject);
}

// From the generation page: type the subject, answer the two prompts, press Generate.
void TestPivCerts::generate(const QString& subject)
{
    widget<QLineEdit>(f.window, "subjectV")->setText(subject);
    f.answer({"pin", "key"});
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
    selectSlot(index == 0 ? 1 : 0);
    widget<QComboBox>(f.window, "comboBox")->setCurrentIndex(index);
    QTRY_COMPARE(f.lastSent(), " piv read-object " + slot);
}

void TestPivCerts::certificateInformation()
{
    f.reply(certificateInfo(
                "{\"ISSUER\":\"CN=Old\",\"SBJECT\":\"CN=Kept\"},{\"VALIDITY\":\"2029\",\"SBJECT\":\"CN=Last\"}"),
            CmdType::PivReadObject);
    QCOMPARE(labelText(f.window, "label_4"), QStringLiteral("Issuer Name : "));
    QCOMPARE(labelText(f.window, "label_5"), QStringLiteral("Subject Name : "));
    QCOMPARE(labelText(f.window, "label_6"), QStringLiteral("Validity Date : "));
    QCOMPARE(labelText(f.window, "subjectValue"), QStringLiteral("CN=Last"));
    QCOMPARE(widget<QLabel>(f.window, "subjectValue")->alignment(), Qt::AlignLeft | Qt::AlignVCenter);

    // Only the issuer: the other labels stay as they were.
    f.reply(certificateInfo("{\"ISSUER\":\"CN=New\"}"), CmdType::PivReadObject);
    QCOMPARE(labelText(f.window, "issValue"), QStringLiteral("CN=New"));
    QCOMPARE(labelText(f.window, "subjectValue"), QStringLiteral("CN=Last"));
    QCOMPARE(labelText(f.window, "validity"), QStringLiteral("2029"));

    f.reply(status("6A82", "Empty slot"), CmdType::PivReadObject);
    for (const char* name : {"label_4", "issValue", "label_5", "label_6", "validity"})
        QCOMPARE(labelText(f.window, name), QString());
    QVERIFY(widget(f.window, "label_5")->isHidden());
    QCOMPARE(labelText(f.window, "subjectValue"), QStringLiteral("No certificate loaded."));
    QCOMPARE(widget<QLabel>(f.window, "subjectValue")->alignment(), Qt::Alignment(Qt::AlignCenter));
    QVERIFY(!widget(f.window, "certExp")->isEnabled());
    QVERIFY(!widget(f.window, "certDel")->isEnabled());

    f.reply(certificateInfo("{\"ISSUER\":\"CN=Third\"}"), CmdType::PivReadObject);
    QVERIFY(widget(f.window, "certExp")->isEnabled());
    QVERIFY(widget(f.window, "certDel")->isEnabled());
    QVERIFY(f.modal->seen().isEmpty());
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
    // A subject that passes reaches the PIN prompt.
    f.answer({message.isEmpty() ? "cancel" : "ok"});
    f.click("generate");
    QTRY_VERIFY(f.modal->idle());
    QCOMPARE(f.messages(), message.isEmpty() ? QStringList() : QStringList{message});
    QVERIFY(Access::channelFree(*f.window));
}

void TestPivCerts::generationChain_data()
{
    QTest::addColumn<QString>("algorithm");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("csrFile");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("message");
    const QString certificate = QStringLiteral("piv generate-certificate 9c -p %1 -k %2 /tmp/public -s  \"test\"");
    QTest::newRow("ECC self-signed") << "ecc256"
                                     << "selfSingn" << QString() << certificate.arg(kPin, kKey)
                                     << "Success / Generate a new self-signed certificate successfully.";
    QTest::newRow("RSA self-signed") << "rsa2048"
                                     << "selfSingn" << QString() << certificate.arg(kPin, kKey)
                                     << "Success / Generate a new self-signed certificate successfully.";
    QTest::newRow("CSR")
        << "ecc256"
        << "request"
        << "/tmp/a b/req.csr"
        << QStringLiteral("piv generate-csr 9c -p %1 /tmp/public \"/tmp/a b/req.csr\" -s \"test\"").arg(kPin)
        << "Success / Generate a certificate request successfully.";
    QTest::newRow("CSR dialog cancelled") << "ecc256"
                                          << "request" << QString() << QString() << QString();
}

void TestPivCerts::generationChain()
{
    QFETCH(QString, algorithm);
    QFETCH(QString, type);
    QFETCH(QString, csrFile);
    QFETCH(QString, second);
    QFETCH(QString, message);
    selectSlot(1);
    f.click("certGen");
    QCOMPARE(f.page(), 7);
    QCOMPARE(widget<QLineEdit>(f.window, "subjectV")->text(), QStringLiteral("test"));
    QVERIFY(widget<QRadioButton>(f.window, "selfSingn")->isChecked());
    widget<QRadioButton>(f.window, algorithm.toLatin1().constData())->setChecked(true);
    widget<QRadioButton>(f.window, type.toLatin1().constData())->setChecked(true);
    generate(QStringLiteral("test"));
    const QString first = QStringLiteral(" piv generate-key 9c -p %1 -k %2 -a %3 /tmp/public")
                              .arg(kPin, kKey, algorithm == QLatin1String("rsa2048") ? "RSA2048" : "ECCP256");
    QTRY_COMPARE(f.lastSent(), first);
    QCOMPARE(f.busyText(), QStringLiteral("  Generating new key ... "));

    f.save.path = csrFile;
    f.reply(kOk, CmdType::PivGenerateKey);
    QVERIFY(!f.busy());
    if (type == QLatin1String("request"))
        QCOMPARE(f.save.asked, (QStringList{"Save CSR to file..", "CSR", "CSR Files (*.csr *.pem )"}));
    if (second.isEmpty()) {
        QVERIFY(Access::channelFree(*f.window));
        QVERIFY(f.messages().isEmpty());
        return;
    }
    QTRY_COMPARE(f.lastSent(), second);
    f.confirmMessage();
    f.reply(kOk, type == QLatin1String("request") ? CmdType::PivGenerateCsr : CmdType::PivGenerateCertificate);
    QCOMPARE(f.messages(), QStringList{message});
    QTRY_COMPARE(f.lastSent(), QStringLiteral(" piv read-object 9c"));
}

void TestPivCerts::generationFailureEndsChain()
{
    f.click("certGen");
    generate(QStringLiteral("test"));
    QTRY_COMPARE(f.sent(), QStringList{kGenerate9a});
    f.reply(kOk, CmdType::PivGenerateKey);
    QTRY_COMPARE(f.sent().size(), 2);
    f.confirmMessage();
    f.reply(status("6982", "Wrong PIN"), CmdType::PivGenerateCertificate);
    QCOMPARE(f.messages(), QStringList{"Warning / Wrong PIN"});
    QVERIFY(!f.busy());
    QVERIFY(Access::channelFree(*f.window));
}

void TestPivCerts::importFirstCommand_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("message");
    const QString options = QStringLiteral("9a -p %1 -k %2").arg(kPin, kKey);
    QTest::newRow("der") << "/u/c.der" << QStringList{"pin", "key"}
                         << " piv import-certificate " + options + " \"/u/c.der\"" << QString();
    QTest::newRow("upper-case PFX is no pfx") << "/u/K.PFX" << QStringList{"pin", "key"}
                                              << " piv import-certificate " + options + " \"/u/K.PFX\"" << QString();
    QTest::newRow("pfx only in the folder") << "/u/a.pfx/c" << QStringList{"pin", "key"}
                                            << " piv import-certificate " + options + " \"/u/a.pfx/c\"" << QString();
    QTest::newRow("pfx with password") << "/u/i.pfx" << QStringList{"pin", "key", "pin=s3cr*t"}
                                       << " piv import-key " + options + " -w s3cr*t \"/u/i.pfx\"" << QString();
    QTest::newRow("pfx, empty password") << "/u/i.pfx" << QStringList{"pin", "key", "pin="}
                                         << " piv import-key " + options + " \"/u/i.pfx\"" << QString();
    QTest::newRow("no file") << QString() << QStringList() << QString() << QString();
    QTest::newRow("PIN cancelled") << "/u/c.der" << QStringList{"cancel"} << QString() << QString();
    QTest::newRow("key cancelled") << "/u/c.der" << QStringList{"pin", "cancel"} << QString() << QString();
    QTest::newRow("password cancelled") << "/u/i.pfx" << QStringList{"pin", "key", "cancel"} << QString() << QString();
    QTest::newRow("quote in path") << "/u/a\".der" << QStringList{"ok"} << QString()
                                   << "Warning / The file path cannot contain a double quote.";
    QTest::newRow("blank in password") << "/u/i.pfx" << QStringList{"pin", "key", "pin=two words", "ok"} << QString()
                                       << "Warning / The certificate password cannot contain blanks or double quotes.";
}

void TestPivCerts::importFirstCommand()
{
    QFETCH(QString, file);
    QFETCH(QStringList, script);
    QFETCH(QString, line);
    QFETCH(QString, message);
    f.open.path = file;
    f.answer(script);
    f.click("certImp");
    QCOMPARE(f.open.asked, (QStringList{"Import Cert", "cert", "Cert File (*.der *.cer *.crt *.pfx)"}));
    QTRY_VERIFY(f.modal->idle());
    QCOMPARE(f.messages(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(Access::channelFree(*f.window), line.isEmpty());
    QTRY_COMPARE(f.sent(), line.isEmpty() ? QStringList() : QStringList{line});
    QCOMPARE(f.busy(), !line.isEmpty());
    if (f.busy())
        QCOMPARE(f.busyText(), QStringLiteral("Importing certificate, please wait ..."));
    if (line.isEmpty())
        return;
    // Leave nothing pending: a failed first step ends the import.
    f.confirmMessage();
    f.reply(status("6A80"), line.contains("import-key") ? CmdType::PivImportKey : CmdType::PivImportCertificate);
    QVERIFY(!f.busy());
    QCOMPARE(f.messages(), QStringList{"Warning / Other error.Please try again or replug..."});
    QVERIFY(Access::channelFree(*f.window));
}

void TestPivCerts::importChain_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("passwordPart");
    QTest::newRow("with password") << "pw"
                                   << " -w pw";
    QTest::newRow("empty password") << QString() << QString();
}

void TestPivCerts::importChain()
{
    QFETCH(QString, password);
    QFETCH(QString, passwordPart);
    f.open.path = QStringLiteral("/tmp/id.pfx");
    f.answer({"pin", "key", "pin=" + password});
    f.click("certImp");
    QTRY_COMPARE(f.sent().size(), 1);
    f.reply(kOk, CmdType::PivImportKey);
    QVERIFY(f.busy());
    QTRY_COMPARE(
        f.lastSent(),
        QStringLiteral(" piv import-certificate 9a -p %1 -k %2%3 \"/tmp/id.pfx\"").arg(kPin, kKey, passwordPart));
    f.confirmMessage();
    f.reply(kOk, CmdType::PivImportCertificate);
    QVERIFY(!f.busy());
    QCOMPARE(f.messages(), QStringList{"Success / Certificate imported successfully."});
    QTRY_COMPARE(f.lastSent(), QStringLiteral(" piv read-object 9a"));
}

void TestPivCerts::exportAndDelete()
{
    selectSlot(3);
    f.save.path = QStringLiteral("/tmp/x\" -k \"y.pem");
    f.answer({"ok"});
    f.click("certExp");
    QTRY_VERIFY(f.modal->idle());
    QCOMPARE(f.messages(), QStringList{"Warning / The file path cannot contain a double quote."});
    QVERIFY(Access::channelFree(*f.window));

    f.save.path = QStringLiteral("/tmp/out.pem");
    f.click("certExp");
    QCOMPARE(f.save.asked, (QStringList{"Export certificate to file...", "Export", "Certificate files (*.crt *.pem)"}));
    QTRY_COMPARE(f.lastSent(), QStringLiteral(" piv export-certificate 9e \"/tmp/out.pem\""));
    f.confirmMessage();
    f.reply(kOk, CmdType::PivExportCertificate);
    QCOMPARE(f.messages().last(), QStringLiteral("Success / Certificate was exported. "));
    QVERIFY(Access::channelFree(*f.window));

    f.answer({"ok", "pin", "key"});
    f.click("certDel");
    QTRY_COMPARE(f.lastSent(), QStringLiteral(" piv delete-certificate 9e -p %1 -k %2").arg(kPin, kKey));
    QCOMPARE(f.modal->seen().value(2).text,
             QStringLiteral(
                 "This will delete the certificate and cannot be recovered. \nNote that the key is not deleted."));
    f.confirmMessage();
    f.reply(kOk, CmdType::PivDeleteCertificate);
    QCOMPARE(f.messages().last(), QStringLiteral("Success / Certificate delete successfully."));
    QTRY_COMPARE(f.lastSent(), QStringLiteral(" piv read-object 9e"));
}

QTEST_MAIN(TestPivCerts)
#include "tst_pivui_certs.moc"
