// The PIV pages on a recording backend: every command line, reply, refusal and chain.
#include "app/page.h"
#include "common/testwindow.h"

#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <QLabel>
#include <QRegularExpression>
#include <QTextEdit>
#include <QtTest>

#include <memory>

#include <unistd.h>

using L = QStringList;

namespace {

const QString kPin = QStringLiteral("12345678");
const QString kKey = QStringLiteral("7E3D0C41F58B29D6B1C48E2F7D0B5C63D6E1F4C8072B3B5E");
const QString kPinAnswer = "pin=" + kPin;
const QString kKeyAnswer = "pin=" + kKey;
const QString kOk = QString::fromLatin1(Reply::kOk);
const QString kOther = QStringLiteral("Warning / Other error.Please try again or replug...");
const QString kLineBreak = QStringLiteral("Warning / The input cannot contain line breaks.");
const QString kImported = QStringLiteral("Success / Certificate imported successfully.");
const QString kOptions = QStringLiteral("9a -p %1 -k %2").arg(kPin, kKey);
const QString kRefresh = QStringLiteral(" piv read-object 9a");
const QString kOverwrite =
    QStringLiteral("Generate key / Any key and certificate in slot 9a will be written over. Continue?");

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
    void validity_data();
    void validity();
    void fileDialogsCancelled();
    void flows_data();
    void flows();
    void policy();
    void pairingReportUnpairAndPrivateKeyFolder();

private:
    QString report() const { return w->widget<QTextEdit>("PIVConfText")->toPlainText(); }
    // The private public-key folders named on the lines sent that still exist.
    QStringList publicKeyFoldersLeft() const;

    std::unique_ptr<TestWindow> w;
};

void TestPivWindow::init()
{
    w = std::make_unique<TestWindow>();
    // The set-up must not switch this system's pairing dialog on.
    Access::pivShell(w->window) = [](const QString&) { return QString(); };
}

void TestPivWindow::cleanup()
{
    // Stopped first, so a failed test leaves nothing behind for the next one.
    const bool tidy = w->modal.idle() && w->heldSecrets().isEmpty() && publicKeyFoldersLeft().isEmpty();
    w.reset();
    QVERIFY2(tidy, "an armed answer was not used, or a PIV secret or public-key folder was kept");
    QCOMPARE(visibleDialogCount(), 0);
}

QStringList TestPivWindow::publicKeyFoldersLeft() const
{
    QStringList left;
    const QRegularExpression file(QStringLiteral(R"(\S+/skm-\w{6}/public)"));
    auto it = file.globalMatch(QString::fromUtf8(w->backend.received()));
    while (it.hasNext()) {
        const QString folder = QFileInfo(it.next().captured()).path();
        if (QFileInfo::exists(folder) && !left.contains(folder))
            left << folder;
    }
    return left;
}

void TestPivWindow::pageSlotsAndCertificate()
{
    // Models are matched exactly: only some carry a fingerprint sensor.
    for (const char* model : {"r15", "R22"}) {
        w->setModel(model);
        w->click("piv");
        QCOMPARE(w->widget("bioPolicy")->isHidden(), model[0] == 'r');
        w->reply(kOk);
    }
    QCOMPARE(w->page(), Page::Piv);
    for (int index : {1, 2, 3, 0, -1}) {
        w->widget<QComboBox>("comboBox")->setCurrentIndex(index);
        w->reply(kOk);
    }
    QTRY_COMPARE(w->sent(),
                 (L{" piv read-object 9a", " piv read-object 9a", " piv read-object 9c", " piv read-object 9d",
                    " piv read-object 9e", " piv read-object 9a", " piv read-object 9e"}));

    // The last value of a field wins; a reply without a field keeps what was shown.
    const QString info = QStringLiteral("{\"SW\":\"9000\",\"DATA\":[%1]}");
    const int read = CmdType::PivReadObject;
    const auto fields = [this] {
        return L{w->text("label_4"),      w->text("issValue"), w->text("label_5"),
                 w->text("subjectValue"), w->text("label_6"),  w->text("validity")}
            .join('|');
    };
    w->reply(info.arg(R"({"ISSUER":"CN=Old","SBJECT":"CN=Kept"},{"VALIDITY":"2029","SBJECT":"CN=Last"})"), read);
    w->reply(info.arg(R"({"ISSUER":"CN=New"})"), read);
    QCOMPARE(fields(), QStringLiteral("Issuer Name : |CN=New|Subject Name : |CN=Last|Validity Date : |2029"));
    QVERIFY(w->widget("certExp")->isEnabled() && w->widget("certDel")->isEnabled());
    // A slot that can't be read shows none of the previous certificate.
    w->reply(Reply::status("6A82", "Empty slot"), read);
    QCOMPARE(fields(), QStringLiteral("|||No certificate loaded.||"));
    QVERIFY(w->widget("label_5")->isHidden());
    QVERIFY(!w->widget("certExp")->isEnabled() && !w->widget("certDel")->isEnabled());
    w->reply(info.arg(R"({"SBJECT":"CN=Third"})"), read);
    QVERIFY(!w->widget("label_5")->isHidden() && w->widget("certDel")->isEnabled());
    QVERIFY(w->modal.seen().isEmpty());
}

void TestPivWindow::validity_data()
{
    QTest::addColumn<int>("days");
    QTest::addColumn<QString>("note");
    QTest::newRow("expired") << -5 << " (expired 5 days ago)";
    QTest::newRow("today") << 0 << " (expires today)";
    QTest::newRow("10 days") << 10 << " (expires in 10 days)";
    QTest::newRow("400 days") << 400 << "";
}

void TestPivWindow::validity()
{
    QFETCH(int, days);
    QFETCH(QString, note);
    // Dates follow the user's locale, not the backend's ISO text; certificate dates are UTC.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QDate notAfter = QDateTime::currentDateTimeUtc().date().addDays(days);
    const QString dates = QStringLiteral("2020-03-04 to ") + notAfter.toString(Qt::ISODate);
    w->reply(QStringLiteral("{\"SW\":\"9000\",\"DATA\":[{\"VALIDITY\":\"%1\"}]}").arg(dates), CmdType::PivReadObject);
    QLocale::setDefault(QLocale::c());
    auto* validity = w->widget<QLabel>("validity");
    QCOMPARE(validity->text(), "04.03.20 to " + notAfter.toString("dd.MM.yy") + note);
    validity->ensurePolished();
    const bool warned = validity->palette().color(QPalette::WindowText) == QColor(192, 32, 32);
    QCOMPARE(warned, !note.isEmpty());
}

// A cancelled file dialog ends the flow before anything is sent.
void TestPivWindow::fileDialogsCancelled()
{
    QStringList asked;
    const auto ask = [&asked](const QString& caption, const QString& folder, const QString& filter) {
        asked << caption + " | " + folder + " | " + filter;
        return QString();
    };
    Access::pivOpenFile(w->window) = Access::pivSaveFile(w->window) = ask;
    // The CSR file used to be asked for after the key was generated.
    w->answer({"ok"});
    for (const char* button : {"certExp", "certImp", "certGen", "request", "generate"})
        w->click(button);
    QTRY_VERIFY(w->modal.idle());
    QCOMPARE(asked, (L{"Export certificate to file... | Export | Certificate files (*.crt *.pem)",
                       "Import Cert | cert | Cert File (*.der *.cer *.crt *.pfx *.p12)",
                       "Save CSR to file.. | CSR | CSR Files (*.csr *.pem )"}));
    QVERIFY(w->sentBeforeProbe({}));
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
    const L secrets{"ok", kPinAnswer, kKeyAnswer, "ok"};
    const QString reset = QStringLiteral("Reset PIV / All PIV related certificate will be removed, continue? ");
    const QString setUp = QStringLiteral(
        "Set up for macOS / If the certificate already exists in 9a or 9d, continuing will override ？ ");
    const QString newKey = QStringLiteral("0123456789abcdef0123456789ABCDEF0123456789abcdef");
    const QString keyLine = QStringLiteral(" piv change-management-key -p %1 -k %2 -n %3").arg(kPin, kKey, newKey);

    row("PIN, capital P", {"pivPin"}, {"change=123456,654321", "ok"}, {" piv change-pin -P 123456 -n 654321"}, kOk,
        {"Success / Change PIN successfully."});
    const QString pukLine = QStringLiteral(" piv change-puk -p 12345678 -n 87654321");
    row("PUK, small p", {"pivPuk"}, {"change=12345678,87654321", "ok"}, {pukLine}, kOk,
        {"Success / Change PUK successfully."});
    row("PUK, 63C3", {"pivPuk"}, {"change=12345678,87654321", "ok"}, {pukLine}, Reply::status("63C3"), {kOther});
    const L keyScript{kPinAnswer, "change=" + kKey + "," + newKey, "ok"};
    row("management key", {"pivMKey"}, keyScript, {keyLine}, kOk, {"Success / Change management key successfully."});
    row("key, 63C1", {"pivMKey"}, keyScript, {keyLine}, Reply::status("63C1"),
        {"Warning / Verify failed. Wrong current management key,1 tries left."});
    row("key, 63C0", {"pivMKey"}, keyScript, {keyLine}, Reply::status("63C0"),
        {"Warning / Management key is blocked."});
    // The PIN asked before the change dialog must not outlive its Cancel.
    row("key: change cancelled", {"pivMKey"}, {kPinAnswer, "cancel change"}, {}, {}, {});
    row("reset, no leading blank", {"pivReset"}, {"ok", "ok"}, {"piv reset", kRefresh}, kOk,
        {reset, "Success / Reset successfully."});
    row("reset, touch time-out", {"pivReset"}, {"ok", "ok"}, {"piv reset"}, Reply::status("6983", "No touch"),
        {reset, "Warning / Touch time out."});
    row("reset, refused", {"pivReset"}, {"ok", "ok"}, {"piv reset"}, Reply::status("6A80", "Busy"),
        {reset, "Warning / Busy"});
    row("reset not confirmed", {"pivReset"}, {"no"}, {}, {}, {reset});

    const QString csrLine =
        QStringLiteral("piv generate-csr 9a -p %1 <public> \"/tmp/a b/r.csr\" -s \"test\"").arg(kPin);
    const QString keyLeft = QStringLiteral("\nSlot 9a now holds a new key without a matching certificate.");
    row("self-signed, two blanks before the subject", {"certGen", "generate"}, secrets,
        {generateKey("9a"), generateCertificate("9a", "test"), kRefresh}, kOk,
        {kOverwrite, "Success / Generate a new self-signed certificate successfully."});
    row("RSA CSR refused after the new key", {"certGen", "request", "rsa2048", "generate"}, secrets,
        {generateKey("9a", "RSA2048"), csrLine}, Reply::status("6A80"), {kOverwrite, kOther + keyLeft},
        "/tmp/a b/r.csr");
    row("overwrite not confirmed", {"certGen", "generate"}, {"no"}, {}, {}, {kOverwrite});
    row("subject of 15 passes", {"certGen", "subjectV=" + QString(15, 'a'), "generate"}, {"ok", "cancel"}, {}, {},
        {kOverwrite});
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
    row("subject with a line break", {"certGen", "subjectV=a\nb", "generate"}, {"ok"}, {}, {}, {kLineBreak});

    row(".der under a .pfx folder is a certificate", {"certImp"}, {kPinAnswer, kKeyAnswer, "ok"},
        {" piv import-certificate " + kOptions + " \"/u/a.pfx/c.der\"", kRefresh}, kOk, {kImported}, "/u/a.pfx/c.der");
    // Upper case used to import the certificate alone, without asking for the password.
    row("upper-case .P12 with password", {"certImp"}, {kPinAnswer, kKeyAnswer, "pin=s3cr*t", "ok"},
        {" piv import-key " + kOptions + " -w s3cr*t \"/u/K.P12\"",
         " piv import-certificate " + kOptions + " -w s3cr*t \"/u/K.P12\"", kRefresh},
        kOk, {kImported}, "/u/K.P12");
    row("pfx, empty password, key refused", {"certImp"}, {kPinAnswer, kKeyAnswer, "pin=", "ok"},
        {" piv import-key " + kOptions + " \"/u/i.pfx\""}, Reply::status("6A80"), {kOther}, "/u/i.pfx");
    row("pfx password with a blank", {"certImp"}, {kPinAnswer, kKeyAnswer, "pin=two words", "ok"}, {}, {},
        {"Warning / The certificate password cannot contain blanks or double quotes."}, "/u/i.pfx");
    row("export", {"certExp"}, {"ok"}, {" piv export-certificate 9a \"/tmp/o.pem\""}, kOk,
        {"Success / Certificate was exported. "}, "/tmp/o.pem");
    row("export path with a quote", {"certExp"}, {"ok"}, {}, {},
        {"Warning / The file path cannot contain a double quote."}, "/tmp/x\" -k \"y.pem");
    row("export path with a line break", {"certExp"}, {"ok"}, {}, {}, {kLineBreak}, "/tmp/a\npiv reset");
    row("delete", {"certDel"}, secrets, {" piv delete-certificate " + kOptions, kRefresh}, kOk,
        {"Delete certificate / This will delete the certificate and cannot be recovered. \nNote that the key is "
         "not deleted.",
         "Success / Certificate delete successfully."});

    const QString pairSubject = QStringLiteral("PIV Authentication");
    row("set-up fills 9a then 9d", {"pivRLogin", "pivEnablepair"}, secrets,
        {generateKey("9a"), generateCertificate("9a", pairSubject), generateKey("9d"),
         generateCertificate("9d", pairSubject)},
        kOk,
        {setUp, "Success / Setup for macOS successfully.\nRe-plug the device and complete the pairing process. You "
                "can log in to macOS with the devices"});
}

void TestPivWindow::flows()
{
    QFETCH(L, steps);
    QFETCH(L, script);
    QFETCH(L, lines);
    QFETCH(QString, reply);
    QFETCH(L, messages);
    QFETCH(QString, file);
    w->openPath = w->savePath = file;
    w->answer(script);
    for (const QString& step : steps) {
        if (step.contains('='))
            w->type("subjectV", step.section('=', 1));
        else
            w->click(step);
    }
    const bool refresh = lines.value(lines.size() - 1).contains("read-object");
    const int answered = refresh ? lines.size() - 1 : lines.size();
    for (int i = 0; i < lines.size(); ++i) {
        QTRY_COMPARE(w->lastSent(), lines[i]);
        if (i < answered)
            w->reply(i + 1 == answered ? reply : kOk);
    }
    QTRY_VERIFY(w->modal.idle());
    QCOMPARE(w->sent(), lines);
    QCOMPARE(w->messages(), messages);
    QVERIFY(!w->busy());
    QCOMPARE(w->channelFree(), !refresh);
}

void TestPivWindow::policy()
{
    // The slot is the PIV page's; the policy page has none of its own.
    w->widget<QComboBox>("comboBox")->setCurrentIndex(2);
    w->reply(kOk);
    w->click("bioPolicy");
    QCOMPARE(w->page(), Page::PivPolicy);
    QTRY_COMPARE(w->lastSent(), QStringLiteral(" piv has_fingerprint "));
    // Only a confirmed enrolled fingerprint allows a policy; a disabled Save used to come with no reason.
    const auto hint = [this] { return w->widget("policyHint")->isHidden() ? QString() : w->text("policyHint"); };
    QCOMPARE(hint(), QStringLiteral("Checking for an enrolled fingerprint..."));
    const QString none =
        "Enrol a fingerprint first (FIDO, Fingerprint Management): without one no policy can be saved.";
    for (const QString& reply : {Reply::status("6A82", "1"), Reply::status("9000", "0"), Reply::status("9000", "11")}) {
        w->reply(reply, CmdType::PivHasFingerprint);
        QVERIFY(!w->widget("save_pivPolicy")->isEnabled());
        QCOMPARE(hint(), none);
    }
    w->reply(Reply::status("9000", "1"), CmdType::PivHasFingerprint);
    QVERIFY(w->widget("save_pivPolicy")->isEnabled());
    QCOMPARE(hint(), QString());
    w->click("always");
    w->answer({"ok"});
    w->click("save_pivPolicy");
    QTRY_COMPARE(w->lastSent(), QStringLiteral(" piv set_biopolicy 9d --bio-policy ALWAYS"));
    w->reply(kOk);

    // The cache time is written while the fingerprint prompt is up; its reply closes the prompt.
    w->click("cached");
    w->widget<QComboBox>("cachedTime")->setCurrentIndex(4);
    QString prompt;
    w->modal.actWhenShown("registFingerprint", [&](QWidget* dialog) {
        prompt = dialog->findChild<QLabel*>("Tip")->text();
        QTimer::singleShot(0, this, [&] { w->reply(kOk); });
    });
    w->answer({"ok"});
    w->click("save_pivPolicy");
    QTRY_COMPARE(w->lastSent(), QStringLiteral(" piv set_biopolicy 9d --bio-policy CACHED"));
    w->reply(kOk);
    QTRY_COMPARE(w->lastSent(), QStringLiteral(" piv set_cachedtime  -t 60"));
    QCOMPARE(prompt, QStringLiteral("Touch the fingerprint sensor"));
    QCOMPARE(w->messages(),
             (L{"Success / Biological policy set successfully.", "Success / Change bio cachedtime successfully."}));
}

void TestPivWindow::pairingReportUnpairAndPrivateKeyFolder()
{
    QStringList ran;
    QString output;
    Access::pivShell(w->window) = [&](const QString& command) {
        ran << command;
        return output;
    };
    w->click("pivRLogin");
    QCOMPARE(w->page(), Page::PivPairing);
    QCOMPARE(report(), QStringLiteral("Paired Device:\nEmpty\n\nSystemVersion:\n\nInstalled CryptoTokenKit:\n\n"
                                      "Pair Dialog:\n"));
    w->click("pivUnpair");
    QCOMPARE(report(), QStringLiteral("Unpair Device:\nUnpair Device Successfully\n"));
    output = "No paired identity\n";
    w->click("pivUnpair");
    QCOMPARE(report(), QStringLiteral("Unpair Device:\nUnpair Device failed\n"));
    // The system's pairing dialog used to be switched on before the question, and stayed on after Cancel.
    const QString enable = QStringLiteral("sc_auth pairing_ui -s enable");
    for (const L& cancelled : {L{"no"}, L{"ok", "cancel"}, L{"ok", kPinAnswer, "cancel"}}) {
        w->answer(cancelled);
        w->click("pivEnablepair");
        QTRY_VERIFY(w->modal.idle());
        QVERIFY(!ran.contains(enable));
    }
    w->answer({"ok", kPinAnswer, kKeyAnswer, "ok"});
    w->click("pivEnablepair");
    QTRY_COMPARE(w->sent(), L{generateKey("9a")});
    QCOMPARE(ran.last(), enable);
    // Another user could block, read or replace a public-key file kept in the shared temporary
    // folder: it goes into a private one (removed once the key has answered: checked at clean-up).
    // Checked here by its rights, also where the suite can't act as another user.
    const QStringList folders = publicKeyFoldersLeft();
    QCOMPARE(folders.size(), 1);
    const QFileInfo folder(folders.first());
    QVERIFY(folder.isDir() && folder.ownerId() == ::geteuid());
    const QFile::Permissions others =
        QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    QCOMPARE(folder.permissions() & others, QFile::Permissions());
    w->reply(Reply::status("6A80"));
}

QTEST_MAIN(TestPivWindow)
#include "tst_pivui.moc"
