// The real window against kvman-sim, driven through its widgets as a user drives it: one flow per
// feature, plus the paths where a slip hurts (a secret's last try, what the key report holds).
// The lines the window writes and what it shows for each reply are pinned on the recording
// backend, the simulator's answers by the transcripts; here the flows must join up.
#include "app/keyreporttext.h"
#include "app/programstate.h"
#include "common/simharness.h"
#include "common/simprocess.h"
#include "common/testwindow.h"
#include "support/protocol.h"
#include "ui/pindialog.h"

#include <QCheckBox>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const int kSlowMs = 20000;
const QString kNoKey = QStringLiteral("No VELMORA FIDO Security Key Inserted");

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void plugAndApplicationSwitchAcrossReplug();
    void fidoPinFingerprintLastTryReset();
    void otpHotpCheckComparesWhatTheKeyTypes();
    void pivCertificateRequestAndLastTries();
    void keyReportHoldsFactsNotSecrets();

private:
    // Reads the key's details, as "Click here to continue" does.
    static bool readKey(SimHarness& sim, TestWindow& w);
    // Arms the answers, clicks and waits until every answer is used and the channel is free.
    static bool run(TestWindow& w, const char* button, const QStringList& script);
};

bool TestEndToEnd::readKey(SimHarness& sim, TestWindow& w)
{
    if (!sim.waitUntilReady() || !QTest::qWaitFor([&w] { return !w.widget("btn_getdeviceinfo")->isHidden(); }))
        return false;
    w.click("btn_getdeviceinfo");
    return QTest::qWaitFor([&w] { return !w.text("pidValue").isEmpty() && w.channelFree(); }, kSlowMs);
}

bool TestEndToEnd::run(TestWindow& w, const char* button, const QStringList& script)
{
    w.answer(script);
    w.click(button);
    return QTest::qWaitFor([&w] { return w.modal.idle() && w.channelFree(); }, kSlowMs);
}

// A key plugged in after the start is read. Dropping NDEF empties the smart-card group, so the
// transports change first, the key is re-plugged as the busy panel asks, and the applications
// follow once it is back; then it is unplugged.
void TestEndToEnd::plugAndApplicationSwitchAcrossReplug()
{
    SimHarness sim("R3");
    sim.setKeysAtStart(0);
    TestWindow w(SimHarness::simPath());
    QTRY_COMPARE(w.text("label_24"), kNoKey);
    QVERIFY(sim.waitUntilReady() && sim.control("plug").startsWith("ok"));
    QVERIFY(readKey(sim, w));
    w.click("interface_2");
    w.widget<QCheckBox>("isNDEF")->setChecked(false);
    w.click("save");
    QTRY_VERIFY(sim.receivedLines().contains("device set_transport -s 30"));

    w.answer({"ok"});
    QVERIFY(sim.control("unplug").startsWith("ok") && sim.control("plug").startsWith("ok"));
    QTRY_VERIFY(w.modal.idle());
    QVERIFY(sim.receivedLines().contains("device set_application -s 35"));
    QCOMPARE(g_currInterface, quint16(0x23));
    QVERIFY(sim.control("unplug").startsWith("ok"));
    QTRY_COMPARE(w.text("label_24"), kNoKey);
}

void TestEndToEnd::fidoPinFingerprintLastTryReset()
{
    SimHarness sim("R15");
    TestWindow w(SimHarness::simPath());
    QVERIFY(readKey(sim, w));
    w.click("fido");
    QTRY_VERIFY(w.channelFree());
    QVERIFY(run(w, "fidoSetPIN1", {"change=1234", "ok"}));

    // Enrol a finger: four good samples, the list refreshed behind the dialog.
    w.click("bioMgr1");
    bool enrolled = false;
    w.answer({"pin=1234"});
    w.modal.actWhenShown("registFingerprint", [&](QWidget* d) {
        auto* tip = d->findChild<QLabel*>("Tip");
        enrolled = QTest::qWaitFor([tip] { return tip->text() == QLatin1String("All set!"); }, 5000);
        d->findChild<QPushButton*>("close")->click();
    });
    w.click("addfinger");
    QTRY_VERIFY(enrolled);
    QCOMPARE(w.heldSecrets(), QString());
    QTRY_COMPARE(w.widget<QListWidget>("fingerList")->count(), 1);
    w.click("backBio");

    // Six wrong PINs, then the page opened anew reads the two tries left from the key: the seventh
    // is still tried freely, before the eighth, the last, the window asks, and Cancel sends nothing.
    const int shown = w.messages().size();
    for (int wrong = 0; wrong < 7; ++wrong) {
        if (wrong == 6) {
            w.click("fido");
            QTRY_VERIFY(w.channelFree());
        }
        QVERIFY(run(w, "fidoSetPIN1", {"change=9999,5678", "ok"}));
    }
    QVERIFY(run(w, "fidoSetPIN1", {"change=9999,5678", "no"}));
    QCOMPARE(w.messages().mid(shown).filter("Warning / ").size(), 7);
    QCOMPARE(w.messages().last(), "Last FIDO2 PIN try / The key has one FIDO2 PIN try left. If this PIN is wrong, "
                                  "FIDO2 is blocked until it is reset, which deletes every credential on the key. "
                                  "Continue?");
    QCOMPARE(sim.receivedLines().filter("fido change-pin").size(), 7);

    // The key has been plugged in too long: it asks to be re-plugged, is recognised, then resets.
    QVERIFY(sim.control("fido clock +11").startsWith("ok"));
    w.answer({"ok"});
    w.click("reset1");
    QTRY_COMPARE(w.busyText(), QStringLiteral("Remove and re-insert your VELMORA FIDO Security Key ..."));
    QCOMPARE(sim.control("unplug"), QStringLiteral("ok keys=0"));
    w.answer({"ok"});
    QCOMPARE(sim.control("plug"), QStringLiteral("ok keys=1"));
    QTRY_COMPARE(w.lastMessage(), QStringLiteral("Reset successfully."));
    QCOMPARE(w.text("fidoSetPIN"), QStringLiteral("Set PIN"));
    QVERIFY(sim.control("status").contains("fido_credentials=0"));
}

// The slot written types the code the window expects; the other slot, holding another secret,
// is a mismatch; a key removed during the check ends it with no verdict and no dialog left.
void TestEndToEnd::otpHotpCheckComparesWhatTheKeyTypes()
{
    SimHarness sim("R15");
    TestWindow w(SimHarness::simPath());
    QVERIFY(readKey(sim, w));
    w.click("otp");
    QTRY_VERIFY(w.channelFree());
    // Writes a fresh HOTP key into the slot and accepts the check; then a press on `touched`
    // types into its field, or with 0 the key is unplugged. Only its messages stay seen.
    const auto writeAndCheck = [&](const char* slot, int touched) {
        w.click(slot);
        QTRY_VERIFY(w.channelFree());
        w.click("hotp_gen_key");
        w.answer({"ok", "ok"}); // written; check it
        w.modal.actWhenShown("OtpCheckDialog", [&](QWidget* dialog) {
            if (touched == 0) {
                QVERIFY(sim.control("unplug").startsWith("ok"));
                return;
            }
            const QString typed = sim.control("otp touch " + QString::number(touched)).mid(3);
            QTest::keyClicks(dialog->findChild<QLineEdit*>("otpCheckCode"), typed);
            dialog->findChild<QAbstractButton*>("ok")->click();
        });
        if (touched != 0)
            w.answer({"ok"}); // the verdict
        w.modal.clearSeen();
        w.click("hotp_config");
        QTRY_VERIFY(w.modal.idle() && w.channelFree());
        w.click("backOtp");
        QTRY_VERIFY(w.channelFree());
    };
    const QStringList asked{"Success / OTP personalization successfully. ", "Check the slot / Check the slot now?"};

    writeAndCheck("otp1Conf", 1);
    QCOMPARE(w.messages(), asked + QStringList("Success / The slot answers as expected."));
    writeAndCheck("otp2Conf", 1);
    QCOMPARE(w.messages().mid(0, 2), asked);
    QVERIFY(w.messages().value(2).startsWith("Warning / The key did not type the expected code.\n"));
    w.answer({"ok"}); // overwrite what the slot holds
    writeAndCheck("otp2Conf", 0);
    QCOMPARE(w.messages(), QStringList{"Overwrite / Do you want to overwrite the existing configuration?"} + asked);
    QCOMPARE(visibleDialogCount(), 0);
}

// A key and its certificate, a request written to a file; the PUK tried until blocked, its last
// try confirmed; the PIV PIN's last try cancelled, which sends nothing.
void TestEndToEnd::pivCertificateRequestAndLastTries()
{
    SimHarness sim("R15");
    QTemporaryDir files;
    TestWindow w(SimHarness::simPath());
    QVERIFY(readKey(sim, w));
    w.click("piv");
    QTRY_COMPARE(w.text("subjectValue"), QStringLiteral("No certificate loaded."));
    // The key comes with the factory secrets.
    const QStringList secrets{"ok", "pin=" + QString::fromLatin1(PinRule::kDefaultPivPin),
                              "pin=" + QString::fromLatin1(PinRule::kDefaultManagementKey), "ok"};
    w.click("certGen");
    w.type("subjectV", "E2E Cert");
    QVERIFY(run(w, "generate", secrets));
    QTRY_COMPARE(w.text("subjectValue"), QStringLiteral("CN=E2E Cert"));

    w.click("certGen");
    w.click("request");
    w.savePath = files.filePath("my request.csr");
    QVERIFY(run(w, "generate", secrets));
    QFile request(w.savePath);
    QVERIFY(request.open(QIODevice::ReadOnly));
    QCOMPARE(request.readLine().trimmed(), QByteArray("-----BEGIN CERTIFICATE REQUEST-----"));

    const int shown = w.messages().size();
    for (const QStringList& script : {QStringList{"ok"}, QStringList{"ok"}, QStringList{"ok", "ok"}})
        QVERIFY(run(w, "pivPuk", QStringList{"change=11111111,12345678"} + script));
    for (const char* answer : {"ok", "ok", "no"})
        QVERIFY(run(w, "pivPin", {"change=000000,123456", answer}));
    QCOMPARE(w.messages().mid(shown, 4),
             (QStringList{"Warning / Verify failed. Wrong current PUK,2 tries left.",
                          "Warning / Verify failed. Wrong current PUK,1 tries left.",
                          "Last PUK try / The key has one PUK try left. If this PUK is wrong, the PUK is blocked and "
                          "with it the only way to unblock the PIV PIN; then only a PIV reset helps. Continue?",
                          "Warning / PUK is blocked."}));
    QCOMPARE(w.messages().size(), shown + 7);
    QCOMPARE(w.messages().last(), "Last PIV PIN try / The key has one PIV PIN try left. If this PIN is wrong, the PIV "
                                  "PIN is blocked and only the PUK can unblock it. Continue?");
    QCOMPARE(sim.receivedLines().filter("piv change-pin").size(), 2);
    QVERIFY(w.heldSecrets().isEmpty());
}

// The key has a FIDO2 PIN, a certificate in slot 9a and a configured HOTP slot before the window
// starts; the report, saved and shown, holds the facts read and no secret or credential identifier.
void TestEndToEnd::keyReportHoldsFactsNotSecrets()
{
    SimHarness sim("R15");
    sim.useStateFile();
    QTemporaryDir files;
    const QByteArray secrets = " -p " + QByteArray(PinRule::kDefaultPivPin) + " -k " +
                               QByteArray(PinRule::kDefaultManagementKey) + " \"" + files.filePath("public").toUtf8() +
                               "\"";
    SimProcess key;
    QVERIFY(key.start());
    for (const QByteArray& line :
         QList<QByteArray>{"fido set-pin -p 31323334", "piv generate-key 9a -a ECCP256" + secrets,
                           "piv generate-certificate 9a -s \"Report Cert\"" + secrets,
                           "otp put -s 1 -k 3132333435363738393031323334353637383930 -a SHA1 -t HOTP -d 6 -n 01"})
        QVERIFY2(key.requestParsed(line).SW == Status::Success, line.constData());
    QVERIFY(key.finish());
    TestWindow w(SimHarness::simPath());
    QVERIFY(readKey(sim, w));
    for (const char* page : {"fido", "piv", "otp"}) {
        w.click(page);
        QTRY_VERIFY(w.channelFree());
    }
    w.answer({"pin=1234"});
    w.modal.clickWhenShown("CreListDialog", "Close");
    w.click("enumCre");
    QTRY_VERIFY(w.modal.idle() && w.channelFree());

    w.savePath = files.filePath("report.json");
    QVERIFY(run(w, "saveKeyReport", {"ok"}));
    QFile file(w.savePath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray saved = file.readAll();
    QString shown;
    w.modal.actWhenShown("KeyReportView", [&shown](QWidget* view) {
        shown = view->findChild<QPlainTextEdit*>("keyReportText")->toPlainText();
        view->findChild<QAbstractButton*>("close")->click();
    });
    QVERIFY(run(w, "showKeyReport", {}));

    const QStringList savedLines = KeyReportText::render(QJsonDocument::fromJson(saved).object()).split('\n');
    for (const char* fact :
         {"format: skm-key-report", "version: 1", "device.model: R15", "device.serial: 4C7D13A8",
          "device.firmware: 4.3.11", "device.pid_vid: 0x0F15&0x3E5C", "applications: FIDO2U2F, PIV, OPENPGP, OTP, NDEF",
          "transports: FIDO, CCID, OTP", "fido.pin_set: yes", "fido.pin_retries: 8", "fido.resident_credentials: 5",
          "piv_slots.9a.subject: CN=Report Cert", "otp_slots[0].configured: no", "otp_slots[1].configured: yes",
          "otp_slots[1].type: HOTP"})
        QVERIFY2(savedLines.contains(fact) && shown.split('\n').contains(fact), fact);
    for (const QString& text : {QString::fromUtf8(saved), shown}) {
        for (const char* secret : {"31323334", PinRule::kDefaultPivPin, PinRule::kDefaultManagementKey})
            QVERIFY2(!text.contains(secret), secret);
        // Credential IDs are 64 hex digits; no relying party or user name either.
        QVERIFY(!text.contains(QRegularExpression("[0-9a-fA-F]{32}")));
        QVERIFY(!text.contains("RP_ID") && !text.contains("USER_NAME") && !text.contains(".com"));
    }
}

QTEST_MAIN(TestEndToEnd)
#include "tst_e2e.moc"
