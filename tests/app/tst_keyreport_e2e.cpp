// The key report against kvman-sim: the documented fields, filled from what the window has read,
// and no secret or credential identifier.
#include "common/simharness.h"
#include "common/simprocess.h"
#include "common/testwindow.h"
#include "support/protocol.h"
#include "ui/pindialog.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPlainTextEdit>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const int kSlowMs = 20000;
const QString kFidoPin = QStringLiteral("1234");
const QString kFidoPinHex = QStringLiteral("31323334");
const QByteArray kOtpSecret = "3132333435363738393031323334353637383930";

// The key gets a FIDO2 PIN, a certificate in slot 9a and a HOTP slot 2 before the window starts.
bool prepareKey(const QString& folder)
{
    const QString certificate = folder + "/cert.pem";
    QProcess openssl;
    openssl.start("openssl", {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                              "-keyout", folder + "/key.pem", "-out", certificate, "-subj", "/CN=Report Cert"});
    if (!openssl.waitForFinished(kSlowMs) || openssl.exitCode() != 0)
        return false;
    SimProcess key;
    const QByteArray import = "piv import-certificate 9a -p " + QByteArray(PinRule::kDefaultPivPin) + " -k " +
                              QByteArray(PinRule::kDefaultManagementKey) + " \"" + certificate.toUtf8() + "\"";
    return key.start() && key.requestParsed("fido set-pin -p " + kFidoPinHex.toLatin1()).SW == Status::Success &&
           key.requestParsed(import).SW == Status::Success &&
           key.requestParsed("otp put -s 1 -k " + kOtpSecret + " -a SHA1 -t HOTP -d 6 -n 01").SW == Status::Success &&
           key.finish();
}

} // namespace

class TestKeyReport : public QObject
{
    Q_OBJECT

private slots:
    void reportHoldsFactsNotSecrets();
};

void TestKeyReport::reportHoldsFactsNotSecrets()
{
    if (QStandardPaths::findExecutable("openssl").isEmpty())
        QSKIP("the openssl command-line tool is not installed");
    SimHarness sim("R15");
    sim.useStateFile();
    QTemporaryDir files;
    QVERIFY(prepareKey(files.path()));
    TestWindow f(SimHarness::simPath());
    QVERIFY(sim.waitUntilReady());
    QTRY_VERIFY(g_currInterface != 0);
    f.click("btn_getdeviceinfo");
    QTRY_VERIFY(!f.text("pidValue").isEmpty() && f.channelFree());
    for (const char* page : {"fido", "piv", "otp"}) {
        f.click(page);
        QTRY_VERIFY(f.channelFree());
    }
    f.answer({"pin=" + kFidoPin});
    f.modal.clickWhenShown("CreListDialog", "Close");
    f.click("enumCre");
    QTRY_VERIFY(f.modal.idle() && f.channelFree());

    f.savePath = files.filePath("report.json");
    f.answer({"ok"});
    f.click("saveKeyReport");
    QTRY_VERIFY(f.modal.idle());
    QFile file(f.savePath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    const QJsonObject report = QJsonDocument::fromJson(text).object();

    QCOMPARE(report.value("format").toString(), QStringLiteral("skm-key-report"));
    QCOMPARE(report.value("version").toInt(), 1);
    const QJsonObject device = report.value("device").toObject();
    QCOMPARE(device.value("model").toString(), QStringLiteral("R15"));
    QCOMPARE(device.value("serial").toString(), QStringLiteral("4C7D13A8"));
    QCOMPARE(device.value("firmware").toString(), QStringLiteral("4.3.11"));
    QCOMPARE(device.value("pid_vid").toString(), QStringLiteral("0x0F15&0x3E5C"));
    QVERIFY(report.value("applications").toArray().contains("PIV"));
    QVERIFY(report.value("transports").toArray().contains("CCID"));
    const QJsonObject fido = report.value("fido").toObject();
    QCOMPARE(fido.value("pin_set").toBool(), true);
    QCOMPARE(fido.value("pin_retries").toInt(), 8);
    QCOMPARE(fido.value("resident_credentials").toInt(), 5);
    const QJsonObject slot9a = report.value("piv_slots").toObject().value("9a").toObject();
    QCOMPARE(slot9a.value("subject").toString(), QStringLiteral("CN=Report Cert"));
    QVERIFY(slot9a.value("validity").toString().contains(" to "));
    const QJsonArray otp = report.value("otp_slots").toArray();
    QCOMPARE(otp.size(), 2);
    QCOMPARE(otp.at(0).toObject().value("configured").toBool(), false);
    QCOMPARE(otp.at(1).toObject().value("configured").toBool(), true);

    for (const QString& secret : {kFidoPinHex, QString::fromLatin1(PinRule::kDefaultPivPin),
                                  QString::fromLatin1(PinRule::kDefaultManagementKey)})
        QVERIFY2(!text.contains(secret.toLatin1()), qPrintable(secret));
    // Credential IDs are 64 hex digits; no relying party or user name either.
    QVERIFY(!QString::fromUtf8(text).contains(QRegularExpression("[0-9a-fA-F]{32}")));
    QVERIFY(!text.contains("RP_ID") && !text.contains("USER_NAME") && !text.contains(".com"));

    // The plain-text view shows the same facts, and no secret either.
    QString shown;
    f.modal.actWhenShown("KeyReportView", [&shown](QWidget* view) {
        shown = view->findChild<QPlainTextEdit*>("keyReportText")->toPlainText();
        view->findChild<QAbstractButton*>("close")->click();
    });
    f.click("showKeyReport");
    QTRY_VERIFY(f.modal.idle());
    for (const char* line : {"device.serial: 4C7D13A8", "fido.pin_retries: 8", "piv_slots.9a.subject: CN=Report Cert",
                             "otp_slots[0].configured: no", "otp_slots[1].type: HOTP"})
        QVERIFY2(shown.split('\n').contains(line), line);
    QVERIFY(!shown.contains(kFidoPinHex) && !shown.contains(PinRule::kDefaultManagementKey));
}

QTEST_MAIN(TestKeyReport)
#include "tst_keyreport_e2e.moc"
