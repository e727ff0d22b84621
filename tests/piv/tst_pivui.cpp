// The PIV pages on a recording backend: every command line, reply, refusal and chain.
#include "pivfixture.h"

#include "app/commands.h"

#include <QComboBox>
#include <QLabel>
#include <QStackedWidget>
#include <QTextEdit>

#include <unistd.h>

using namespace piv;
using L = QStringList;

namespace {

const QString kOther = QStringLiteral("Warning / Other error.Please try again or replug...");
const QString kQuote = QStringLiteral("Warning / The file path cannot contain a double quote.");
const QString kImported = QStringLiteral("Success / Certificate imported successfully.");
const QString kOptions = QStringLiteral("9a -p %1 -k %2").arg(kPin, kKey);

QString generateKey(const QString& slot, const QString& algorithm = QStringLiteral("ECCP256"))
{
    return QStringLiteral(" piv generate-key %1 -p %2 -k %3 -a %4 <public>").arg(slot, kPin, kKey, algorithm);
}

QString generateCertificate(const QString& slot, const QString& subject)
{
    return QString("piv generate-certificate %1 -p %2 -k %3 <public> -s  \"%4\"").arg(slot, kPin, kKey, subject);
}

void row(const char* name, const L& steps, const L& script, const L& lines, const QString& reply, const L& messages,
         const QString& file = QString())
{
    QTest::newRow(name) << steps << script << lines << reply << messages << file;
}

} // namespace

class TestPivWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void pageSlotsAndCertificate();
    void statusTables_data();
    void statusTables();
    void flows_data();
    void flows();
    void policy();
    void pairingReportAndUnpair();
    void publicKeyFolderIsPrivate();

private:
    QString report() const { return widget<QTextEdit>(f.window, "PIVConfText")->toPlainText(); }
    Fixture f;
};

void TestPivWindow::init()
{
    f.start();
    QTRY_COMPARE(f.backend->receivedLines().size(), 1);
    // The set-up must not switch this system's pairing dialog on.
    f.setShell([](const QString&) { return QString(); });
}

void TestPivWindow::cleanup()
{
    // Stopped first, so a failed test leaves nothing behind for the next one.
    const bool tidy = f.modal->idle() && f.heldSecrets().isEmpty() && f.publicKeyFoldersLeft().isEmpty();
    f.stop();
    QVERIFY2(tidy, "an armed answer was not used, or a PIV secret or public-key folder was kept");
    QCOMPARE(visibleDialogCount(), 0);
}

void TestPivWindow::pageSlotsAndCertificate()
{
    // Models are matched exactly: only some carry a fingerprint sensor.
    for (const char* model : {"r15", "R22"}) {
        f.setModel(model);
        f.click("piv");
        QCOMPARE(widget(f.window, "bioPolicy")->isHidden(), model[0] == 'r');
        f.reply(kOk);
    }
    QCOMPARE(widget<QStackedWidget>(f.window, "contentPage")->currentIndex(), 6);
    for (int index : {1, 2, 3, 0, -1}) {
        widget<QComboBox>(f.window, "comboBox")->setCurrentIndex(index);
        f.reply(kOk);
    }
    QTRY_COMPARE(f.sent(),
                 (L{" piv read-object 9a", " piv read-object 9a", " piv read-object 9c", " piv read-object 9d",
                    " piv read-object 9e", " piv read-object 9a", " piv read-object 9e"}));

    // The last value of a field wins; a reply without a field keeps what was shown.
    const QString info = QStringLiteral("{\"SW\":\"9000\",\"DATA\":[%1]}");
    const int read = CmdType::PivReadObject;
    f.reply(info.arg(R"({"ISSUER":"CN=Old","SBJECT":"CN=Kept"},{"VALIDITY":"2029","SBJECT":"CN=Last"})"), read);
    f.reply(info.arg(R"({"ISSUER":"CN=New"})"), read);
    QCOMPARE(labelText(f.window, "issValue") + labelText(f.window, "subjectValue") + labelText(f.window, "validity"),
             QStringLiteral("CN=NewCN=Last2029"));
    f.reply(status("6A82", "Empty slot"), read);
    QCOMPARE(labelText(f.window, "issValue") + labelText(f.window, "label_5") + labelText(f.window, "validity"),
             QString());
    QCOMPARE(labelText(f.window, "subjectValue"), QStringLiteral("No certificate loaded."));
    QVERIFY(!widget(f.window, "certExp")->isEnabled() && !widget(f.window, "certDel")->isEnabled());
    f.reply(info.arg(R"({"ISSUER":"CN=Third"})"), read);
    QVERIFY(widget(f.window, "certExp")->isEnabled() && widget(f.window, "certDel")->isEnabled());
    QVERIFY(f.modal->seen().isEmpty());
}

void TestPivWindow::statusTables_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("message");
    const QString puk = QStringLiteral("Warning / Verify failed. Wrong current PUK,");
    const QString key = QStringLiteral("Warning / Verify failed. Wrong current management key,");
    QTest::newRow("PIN 63C1 has no tries text") << int(CmdType::PivChangePin) << status("63C1") << kOther;
    QTest::newRow("PUK 63C2") << int(CmdType::PivChangePuk) << status("63C2", "ignored") << puk + "2 tries left.";
    QTest::newRow("PUK 63C1") << int(CmdType::PivChangePuk) << status("63C1") << puk + "1 tries left.";
    QTest::newRow("PUK 63c0") << int(CmdType::PivChangePuk) << status("63c0") << "Warning / PUK is blocked.";
    QTest::newRow("PUK 63C3") << int(CmdType::PivChangePuk) << status("63C3") << kOther;
    QTest::newRow("key 63C2") << int(CmdType::PivChangeManagementKey) << status("63C2") << key + "2 tries left.";
    QTest::newRow("key 63C1") << int(CmdType::PivChangeManagementKey) << status("63C1") << key + "1 tries left.";
    QTest::newRow("key 63C0") << int(CmdType::PivChangeManagementKey) << status("63C0")
                              << "Warning / Management key is blocked.";
    QTest::newRow("reset 6A80") << int(CmdType::PivReset) << status("6A80", "Busy") << "Warning / Busy";
}

void TestPivWindow::statusTables()
{
    QFETCH(int, type);
    QFETCH(QString, reply);
    QFETCH(QString, message);
    f.answer({"ok"});
    f.reply(reply, type);
    QCOMPARE(f.messages(), L{message});
}

// Each row: the buttons pressed (or "subjectV=<text>" typed) and the dialog answers; the lines
// expected, each answered with success but the last, which gets `reply` (a final read-object is
// the page's refresh and stays unanswered); the messages shown; what the file dialogs return.
void TestPivWindow::flows_data()
{
    QTest::addColumn<L>("steps");
    QTest::addColumn<L>("script");
    QTest::addColumn<L>("lines");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<L>("messages");
    QTest::addColumn<QString>("file");
    const QString reset = QStringLiteral("Reset PIV / All PIV related certificate will be removed, continue? ");
    const QString setUp = QStringLiteral(
        "Set up for macOS / If the certificate already exists in 9a or 9d, continuing will override ？ ");
    const QString newKey = QStringLiteral("0123456789abcdef0123456789ABCDEF0123456789abcdef");
    const QString keyLine = QStringLiteral(" piv change-management-key -p %1 -k %2 -n %3").arg(kPin, kKey, newKey);
    const QString refresh = QStringLiteral(" piv read-object 9a");
    QCOMPARE(keyLine.size(), 142);

    row("PIN, capital P", {"pivPin"}, {"change=123456,654321", "ok"}, {" piv change-pin -P 123456 -n 654321"}, kOk,
        {"Success / Change PIN successfully."});
    row("PUK, small p", {"pivPuk"}, {"change=12345678,87654321", "ok"}, {" piv change-puk -p 12345678 -n 87654321"},
        kOk, {"Success / Change PUK successfully."});
    row("management key", {"pivMKey"}, {"pin", "change=" + kKey + "," + newKey, "ok"}, {keyLine}, kOk,
        {"Success / Change management key successfully."});
    row("key: change cancelled", {"pivMKey"}, {"pin", "cancel change"}, {}, {}, {});
    row("reset, no leading blank", {"pivReset"}, {"ok", "ok"}, {"piv reset", refresh}, kOk,
        {reset, "Success / Reset successfully."});
    row("reset, touch time-out", {"pivReset"}, {"ok", "ok"}, {"piv reset"}, status("6983", "No touch"),
        {reset, "Warning / Touch time out."});
    row("reset not confirmed", {"pivReset"}, {"no"}, {}, {}, {reset});

    const QString overwrite = QStringLiteral("Generate key / Any key and certificate in slot 9a will be written over. "
                                             "Continue?");
    const QString csrLine =
        QStringLiteral("piv generate-csr 9a -p %1 <public> \"/tmp/a b/r.csr\" -s \"test\"").arg(kPin);
    const QString keyLeft = QStringLiteral("\nSlot 9a now holds a new key without a matching certificate.");
    row("self-signed, two blanks before the subject", {"certGen", "generate"}, {"ok", "pin", "key", "ok"},
        {generateKey("9a"), generateCertificate("9a", "test"), refresh}, kOk,
        {overwrite, "Success / Generate a new self-signed certificate successfully."});
    row("RSA self-signed refused after the new key", {"certGen", "rsa2048", "generate"}, {"ok", "pin", "key", "ok"},
        {generateKey("9a", "RSA2048"), generateCertificate("9a", "test")}, status("6982", "Wrong PIN"),
        {overwrite, "Warning / Wrong PIN" + keyLeft});
    row("CSR", {"certGen", "request", "generate"}, {"ok", "pin", "key", "ok"}, {generateKey("9a"), csrLine, refresh},
        kOk, {overwrite, "Success / Generate a certificate request successfully."}, "/tmp/a b/r.csr");
    row("CSR refused after the new key", {"certGen", "request", "generate"}, {"ok", "pin", "key", "ok"},
        {generateKey("9a"), csrLine}, status("6A80"), {overwrite, kOther + keyLeft}, "/tmp/a b/r.csr");
    // The file used to be asked for after the key was generated.
    row("CSR dialog cancelled before the key", {"certGen", "request", "generate"}, {"ok"}, {}, {}, {overwrite});
    row("overwrite not confirmed", {"certGen", "generate"}, {"no"}, {}, {}, {overwrite});
    row("subject of 15 passes", {"certGen", "subjectV=" + QString(15, 'a'), "generate"}, {"ok", "cancel"}, {}, {},
        {overwrite});
    row("subject in parts passes", {"certGen", "subjectV=/CN=a/C=DE", "generate"}, {"no"}, {}, {}, {overwrite});
    // The backend used to refuse these only after the slot had its new key.
    row("subject field unknown", {"certGen", "subjectV=a=b", "generate"}, {"ok"}, {}, {},
        {"Warning / The subject field \"a\" is unknown. Use CN, O, OU, L, ST, C or DC."});
    row("subject part without value", {"certGen", "subjectV=CN=x,O=", "generate"}, {"ok"}, {}, {},
        {"Warning / The subject part \"O=\" is not of the form field=value, such as CN=Alice."});
    row("subject country too long", {"certGen", "subjectV=/CN=x/C=USA", "generate"}, {"ok"}, {}, {},
        {"Warning / The country \"USA\" must be a two-letter code, such as C=DE."});
    row("subject of 16", {"certGen", "subjectV=" + QString(16, 'a'), "generate"}, {"ok"}, {}, {},
        {"Warning / The length of subject name must be between 0-15 characters."});
    row("subject with a quote", {"certGen", "subjectV=a\"b", "generate"}, {"ok"}, {}, {},
        {"Warning / The subject name cannot contain a double quote."});

    row(".der under a .pfx folder is a certificate", {"certImp"}, {"pin", "key", "ok"},
        {" piv import-certificate " + kOptions + " \"/u/a.pfx/c.der\"", refresh}, kOk, {kImported}, "/u/a.pfx/c.der");
    // Upper case used to import the certificate alone, without asking for the password.
    row("upper-case .PFX, no password: key and certificate", {"certImp"}, {"pin", "key", "pin=", "ok"},
        {" piv import-key " + kOptions + " \"/u/K.PFX\"", " piv import-certificate " + kOptions + " \"/u/K.PFX\"",
         refresh},
        kOk, {kImported}, "/u/K.PFX");
    row(".P12 with password", {"certImp"}, {"pin", "key", "pin=pw", "ok"},
        {" piv import-key " + kOptions + " -w pw \"/u/K.P12\"",
         " piv import-certificate " + kOptions + " -w pw \"/u/K.P12\"", refresh},
        kOk, {kImported}, "/u/K.P12");
    row("pfx with password", {"certImp"}, {"pin", "key", "pin=s3cr*t", "ok"},
        {" piv import-key " + kOptions + " -w s3cr*t \"/u/i.pfx\"",
         " piv import-certificate " + kOptions + " -w s3cr*t \"/u/i.pfx\"", refresh},
        kOk, {kImported}, "/u/i.pfx");
    row("pfx, empty password, key refused", {"certImp"}, {"pin", "key", "pin=", "ok"},
        {" piv import-key " + kOptions + " \"/u/i.pfx\""}, status("6A80"), {kOther}, "/u/i.pfx");
    row("pfx password cancelled", {"certImp"}, {"pin", "key", "cancel"}, {}, {}, {}, "/u/i.pfx");
    row("pfx password with a blank", {"certImp"}, {"pin", "key", "pin=two words", "ok"}, {}, {},
        {"Warning / The certificate password cannot contain blanks or double quotes."}, "/u/i.pfx");
    const QString kLineBreak = QStringLiteral("Warning / The input cannot contain line breaks.");
    row("subject with a line break", {"certGen", "subjectV=a\nb", "generate"}, {"ok"}, {}, {}, {kLineBreak});
    row("password with a carriage return", {"certImp"}, {"pin", "key", "pin=a\rb", "ok"}, {}, {}, {kLineBreak},
        "/u/i.pfx");
    row("export path with a line break", {"certExp"}, {"ok"}, {}, {}, {kLineBreak}, "/tmp/a\npiv reset");
    row("import path with a quote", {"certImp"}, {"ok"}, {}, {}, {kQuote}, "/u/a\".der");
    row("export", {"certExp"}, {"ok"}, {" piv export-certificate 9a \"/tmp/o.pem\""}, kOk,
        {"Success / Certificate was exported. "}, "/tmp/o.pem");
    row("export path with a quote", {"certExp"}, {"ok"}, {}, {}, {kQuote}, "/tmp/x\" -k \"y.pem");
    row("delete", {"certDel"}, {"ok", "pin", "key", "ok"}, {" piv delete-certificate " + kOptions, refresh}, kOk,
        {"Delete certificate / This will delete the certificate and cannot be recovered. \nNote that the key is "
         "not deleted.",
         "Success / Certificate delete successfully."});

    const QString pairSubject = QStringLiteral("PIV Authentication");
    row("set-up fills 9a then 9d", {"pivRLogin", "pivEnablepair"}, {"ok", "pin", "key", "ok"},
        {generateKey("9a"), generateCertificate("9a", pairSubject), generateKey("9d"),
         generateCertificate("9d", pairSubject)},
        kOk,
        {setUp, "Success / Setup for macOS successfully.\nRe-plug the device and complete the pairing process. You "
                "can log in to macOS with the devices"});
    row("set-up: key cancelled", {"pivRLogin", "pivEnablepair"}, {"ok", "pin", "cancel"}, {}, {}, {setUp});
}

void TestPivWindow::flows()
{
    QFETCH(L, steps);
    QFETCH(L, script);
    QFETCH(L, lines);
    QFETCH(QString, reply);
    QFETCH(L, messages);
    QFETCH(QString, file);
    f.openPath = f.savePath = file;
    f.answer(script);
    for (const QString& step : steps) {
        if (step.contains('='))
            f.type("subjectV", step.section('=', 1));
        else
            f.click(step);
    }
    const bool refresh = lines.value(lines.size() - 1).contains("read-object");
    const int answered = refresh ? lines.size() - 1 : lines.size();
    for (int i = 0; i < lines.size(); ++i) {
        QTRY_COMPARE(f.lastSent(), lines[i]);
        if (i < answered)
            f.reply(i + 1 == answered ? reply : kOk);
    }
    QTRY_VERIFY(f.modal->idle());
    QCOMPARE(f.sent(), lines);
    QCOMPARE(f.messages(), messages);
    QVERIFY(!f.busy());
    QCOMPARE(f.channelFree(), !refresh);
}

void TestPivWindow::policy()
{
    // The slot is the PIV page's; the policy page has none of its own.
    widget<QComboBox>(f.window, "comboBox")->setCurrentIndex(2);
    f.reply(kOk);
    f.click("bioPolicy");
    QCOMPARE(widget<QStackedWidget>(f.window, "contentPage")->currentIndex(), 9);
    QVERIFY(!widget(f.window, "never")->isEnabled());
    QTRY_COMPARE(f.lastSent(), QStringLiteral(" piv has_fingerprint "));
    // Only a confirmed enrolled fingerprint allows a policy.
    // A disabled Save used to come with no reason.
    const auto hint = [this] {
        return widget(f.window, "policyHint")->isHidden() ? QString() : labelText(f.window, "policyHint");
    };
    QCOMPARE(hint(), QStringLiteral("Checking for an enrolled fingerprint..."));
    for (const QString& reply : {status("6A82", "1"), status("9000", "0"), status("9000", "11"), status("9000", "1")}) {
        QVERIFY(!widget(f.window, "save_pivPolicy")->isEnabled());
        f.reply(reply, CmdType::PivHasFingerprint);
        if (!widget(f.window, "save_pivPolicy")->isEnabled())
            QVERIFY2(hint().startsWith("Enrol a fingerprint first"), qPrintable(hint()));
    }
    QVERIFY(widget(f.window, "save_pivPolicy")->isEnabled());
    QCOMPARE(hint(), QString());
    f.click("always");
    QVERIFY(widget(f.window, "groupBox_5")->isHidden());
    f.answer({"ok"});
    f.click("save_pivPolicy");
    QTRY_COMPARE(f.lastSent(), QStringLiteral(" piv set_biopolicy 9d --bio-policy ALWAYS"));
    f.reply(kOk);

    // The cache time is written while the fingerprint prompt is up; its reply closes the prompt.
    f.click("cached");
    widget<QComboBox>(f.window, "cachedTime")->setCurrentIndex(4);
    QString prompt;
    f.modal->actWhenShown("registFingerprint", [&](QWidget* dialog) {
        prompt = widget<QLabel>(dialog, "Tip")->text();
        QTimer::singleShot(0, this, [&] { f.reply(kOk); });
    });
    f.answer({"ok"});
    f.click("save_pivPolicy");
    QTRY_COMPARE(f.lastSent(), QStringLiteral(" piv set_biopolicy 9d --bio-policy CACHED"));
    f.reply(kOk);
    QTRY_COMPARE(f.lastSent(), QStringLiteral(" piv set_cachedtime  -t 60"));
    QCOMPARE(prompt, QStringLiteral("Touch the fingerprint sensor"));
    QCOMPARE(f.messages(),
             (L{"Success / Biological policy set successfully.", "Success / Change bio cachedtime successfully."}));
}

void TestPivWindow::pairingReportAndUnpair()
{
    QStringList ran;
    QString output;
    f.setShell([&](const QString& command) {
        ran << command;
        return output;
    });
    f.click("pivRLogin");
    QCOMPARE(widget<QStackedWidget>(f.window, "contentPage")->currentIndex(), 8);
    QCOMPARE(report(), QStringLiteral("Paired Device:\nEmpty\n\nSystemVersion:\n\nInstalled CryptoTokenKit:\n\n"
                                      "Pair Dialog:\n"));
    QCOMPARE(ran,
             (L{"sc_auth list", "sw_vers", "pluginkit -m -p com.apple.ctk-tokens", "sc_auth pairing_ui -s status"}));
    f.click("pivUnpair");
    QCOMPARE(report(), QStringLiteral("Unpair Device:\nUnpair Device Successfully\n"));
    output = "No paired identity\n";
    f.click("pivUnpair");
    QCOMPARE(report(), QStringLiteral("Unpair Device:\nUnpair Device failed\n"));
    // The system's pairing dialog used to be switched on before the question, and stayed on after Cancel.
    const QString enable = QStringLiteral("sc_auth pairing_ui -s enable");
    for (const QStringList& cancelled : {L{"no"}, L{"ok", "cancel"}, L{"ok", "pin", "cancel"}}) {
        f.answer(cancelled);
        f.click("pivEnablepair");
        QTRY_VERIFY(f.modal->idle());
        QVERIFY(!ran.contains(enable));
    }
    f.answer({"ok", "pin", "key", "ok"});
    f.click("pivEnablepair");
    QTRY_COMPARE(f.lastSent(), generateKey("9a"));
    QCOMPARE(ran.last(), enable);
    f.reply(status("6A80"));

    // Without the macOS tools this system's shell prints nothing.
    f.setShell(nullptr);
    f.click("pivRLogin");
    QVERIFY2(report().startsWith(QStringLiteral("Paired Device:\nEmpty\n\nSystemVersion:\n")), qPrintable(report()));
}

// Another user could block, read or replace a public-key file kept in the shared temporary folder.
void TestPivWindow::publicKeyFolderIsPrivate()
{
    f.answer({"ok", "pin", "key", "ok"});
    f.click("certGen");
    f.click("generate");
    QTRY_COMPARE(f.lastSent(), generateKey("9a"));
    const QStringList folders = f.publicKeyFoldersLeft();
    QCOMPARE(folders.size(), 1);
    const QFileInfo folder(folders.first());
    QVERIFY(folder.isDir() && folder.ownerId() == ::geteuid());
    const QFile::Permissions others =
        QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    QCOMPARE(folder.permissions() & others, QFile::Permissions());
    f.reply(status("6A80", "Refused"));
    QVERIFY(!QFileInfo::exists(folder.filePath()));
}

QTEST_MAIN(TestPivWindow)
#include "tst_pivui.moc"
