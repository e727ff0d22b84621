// The FIDO2 page against a recording stand-in backend: the PIN state, resident credentials,
// fingerprints, and a reset whose re-plug never comes. The successful re-plug, and one run of
// each flow, go end to end against the simulated key in tests/e2e.
#include "app/page.h"
#include "app/programstate.h"
#include "common/testwindow.h"
#include "fido/credentialitem.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

const QString kStock = QStringLiteral("Other error.Please try again or replug...");
const QString kBegin = QStringLiteral(" fido enrollment-begin -p 1234");
const QString kNext = QStringLiteral(" fido enrollment-next -i 0002");
const QString kAdd = QStringLiteral("Rec_Finger_Add.png: Touch the fingerprint sensor");

QString records(const QString& body)
{
    return "{\"SW\":\"9000\",\"DATA\":[" + body + "]}";
}

QString sample(const QString& remaining, const QString& status = "0")
{
    return records(
        QStringLiteral("{\"TEMPLATE_ID\":\"0x0002\",\"REMAINING\":\"%1\",\"STATUS\":\"%2\"}").arg(remaining, status));
}

} // namespace

class TestFidoPage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void pinFlows_data();
    void pinFlows();
    void nothingSentWithoutPin();
    void resetDeclinedThenReplugTimesOut();
    void resetNotResentToAnotherKeyOfTheModel();
    void listShowsOnlyTheNewRowsInOrder();
    void selectAndDelete();
    void enrolmentSequence();
    void outcome_data();
    void outcome();
    void closeWhileSampling();
    void deleteFingerprint_data();
    void deleteFingerprint();

private:
    // Both PIN buttons' text, when they agree with each other and with the shared PIN state.
    QString pinState() const
    {
        const QString text = m_w->text("fidoSetPIN");
        const bool agree = text == m_w->text("fidoSetPIN1") && isfidoHavePin == (text == "Change PIN");
        return agree ? text : QStringLiteral("disagree");
    }
    static CredentialItem* item(QWidget* dialog, int row)
    {
        auto* list = dialog->findChild<QListWidget*>("creList");
        return qobject_cast<CredentialItem*>(list->itemWidget(list->item(row)));
    }
    static void tick(QWidget* dialog, int row) { item(dialog, row)->findChild<QCheckBox*>()->click(); }
    // "rp/user" per row as the row shows them, with "*" on the checked one.
    static QStringList shown(QWidget* dialog);

    // The dialog as the add or test button leaves it: up, and for an enrolment the add button off
    // and the first command sent.
    void startFingerprint(const QString& mode);
    registFingerprint* dialog() { return Access::regFinger(m_w->window); }
    QPushButton* closeButton() { return dialog()->findChild<QPushButton*>("close"); }
    QListWidget* list() { return m_w->widget<QListWidget>("fingerList"); }
    bool addEnabled() { return m_w->widget("addfinger")->isEnabled(); }
    // The fingerprint dialog's picture file and tip, as "picture: tip", a "+" per hint line shown.
    QString shows();

    std::unique_ptr<TestWindow> m_w;
};

void TestFidoPage::init()
{
    m_w.reset(new TestWindow);
    g_insreted = true;
    isfidoHavePin = true;
    template_id.clear();
}

// Every armed answer used, no secret kept, no dialog left behind.
void TestFidoPage::cleanup()
{
    QVERIFY(m_w->modal.idle());
    QCOMPARE(m_w->heldSecrets(), QString());
    m_w.reset();
    QCOMPARE(visibleDialogCount(), 0);
}

QStringList TestFidoPage::shown(QWidget* dialog)
{
    QStringList result;
    for (int i = 0; i < dialog->findChild<QListWidget*>("creList")->count(); ++i) {
        const QList<QLineEdit*> cells = item(dialog, i)->findChildren<QLineEdit*>();
        result.append(cells.value(0)->text() + '/' + cells.value(1)->text() +
                      (item(dialog, i)->getCheckState() ? "*" : ""));
    }
    return result;
}

QString TestFidoPage::shows()
{
    const QString sheet = dialog()->findChild<QWidget*>("imag")->styleSheet();
    QString text = sheet.section('/', -1).remove(");") + ": " + dialog()->findChild<QLabel*>("Tip")->text();
    for (const char* hint : {"Tip_2", "Tip_3"})
        if (!dialog()->findChild<QLabel*>(hint)->isHidden())
            text += '+';
    return text;
}

void TestFidoPage::pinFlows_data()
{
    QTest::addColumn<bool>("havePin");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("after");
    QTest::newRow("set: refused") << false << Reply::status("6F00", "PIN too short") << "Warning / PIN too short"
                                  << "Set PIN";
    QTest::newRow("set") << false << Reply::status("9000") << "Success / Set PIN successfully."
                         << "Change PIN";
    QTest::newRow("change: refused") << true << "kaput"
                                     << "Warning / " + kStock << "Change PIN";
    QTest::newRow("change") << true << Reply::status("9000") << "Success / Change PIN successfully."
                            << "Change PIN";
}

void TestFidoPage::pinFlows()
{
    QFETCH(bool, havePin);
    QFETCH(QString, reply);
    QFETCH(QString, message);
    QFETCH(QString, after);
    m_w->reply(Reply::status(havePin ? "9000" : "35"), CmdType::FidoPinRetries);
    m_w->reply(Reply::status("6F00"), CmdType::FidoPinRetries); // changes neither state
    QCOMPARE(pinState(), QString(havePin ? "Change PIN" : "Set PIN"));
    m_w->answer({havePin ? "change=1234,abcd" : QString::fromUtf8("change=pä55"), "ok"});
    m_w->click("fidoSetPIN1");
    QTRY_COMPARE(m_w->sent(),
                 QStringList{havePin ? " fido change-pin -p 31323334 -n 61626364" : " fido set-pin -p 70c3a43535"});
    QCOMPARE(m_w->busyText(), QString(havePin ? "Changing PIN, please wait ..." : "Setting PIN, please wait ..."));
    m_w->reply(reply, havePin ? CmdType::FidoChangePin : CmdType::FidoSetPin);
    QCOMPARE(m_w->messages(), QStringList{message});
    QVERIFY(!m_w->busy());
    QCOMPARE(pinState(), after);
}

// Cancelled prompts, and a key without a PIN, send nothing and leave nothing waiting.
void TestFidoPage::nothingSentWithoutPin()
{
    m_w->answer({"cancel change", "cancel"});
    m_w->click("fidoSetPIN");
    m_w->click("enumCre");
    // A PIN typed for the last try, then the question declined: the PIN is forgotten at once.
    m_w->reply("{\"SW\":\"9000\",\"DATA\":[{\"RETRIES\":\"1\"}]}", CmdType::FidoPinRetries);
    m_w->answer({"pin=1234", "no"});
    m_w->click("enumCre");
    QCOMPARE(m_w->heldSecrets(), QString());
    isfidoHavePin = false;
    m_w->answer({"ok"});
    m_w->click("enumCre");
    QCOMPARE(m_w->messages().last(), QStringLiteral("Information / Please set pin first. "));
    QVERIFY(!m_w->busy());
    QVERIFY(m_w->sentBeforeProbe({}));
}

// The key refuses the reset (0x30) and is pulled out as asked, but never comes back.
void TestFidoPage::resetDeclinedThenReplugTimesOut()
{
    m_w->click("fido");
    m_w->reply(Reply::status("9000"), CmdType::FidoPinRetries);
    m_w->answer({"no", "ok"});
    m_w->click("reset1");
    m_w->click("reset1");
    QTRY_COMPARE(m_w->sent(), (QStringList{" fido get_pin_retries ", "fido reset"}));
    QCOMPARE(m_w->busyText(), QStringLiteral("  Please touch your VELMORA FIDO Security Key ... "));
    m_w->reply(Reply::status("30"), CmdType::FidoReset);
    m_w->reply(Reply::kRemoved, CmdType::FidoReset);
    m_w->answer({"ok"});
    emit Access::waiting(m_w->window)->operationTimedout();
    QCOMPARE(m_w->messages().first(),
             QStringLiteral("Reset FIDO / All FIDO related credentials will be removed, continue ? "));
    QVERIFY(!Access::resetting(m_w->window));
    // The removal's no-key handling, skipped during the wait, runs now.
    QCOMPARE(m_w->page(), int(Page::NoKey));
    // A later insertion is an ordinary one: no reset is sent.
    m_w->reply(Reply::kPlugged, CmdType::FidoReset);
    QVERIFY(m_w->sentBeforeProbe({" fido get_pin_retries ", "fido reset"}));
}

// The key that comes back is told apart by its serial number, also from one of its own model
// (the same key, and another model, are re-plugged end to end in tests/app).
void TestFidoPage::resetNotResentToAnotherKeyOfTheModel()
{
    m_w->showKey("FIDO+CCID+OTP", "FIDO2U2F+PIV+OTP");
    m_w->answer({"ok", "ok"});
    m_w->click("reset1");
    QTRY_COMPARE(m_w->lastSent(), QStringLiteral("fido reset"));
    m_w->reply(Reply::status("30"), CmdType::FidoReset);
    m_w->reply(Reply::kRemoved, CmdType::FidoReset);
    m_w->reply(Reply::kPlugged, CmdType::FidoReset);
    QTRY_COMPARE(m_w->lastSent(), Cmd::deviceInfo());
    const QString details = Reply::details("FIDO+CCID+OTP", "FIDO2U2F+PIV+OTP");
    m_w->reply(QString(details).replace("4C7D13A8", "5D8E24B9"), CmdType::DeviceInfo);
    QTRY_COMPARE(m_w->lastMessage(), "This is not the key that was being reset, so it was not reset.\nTo reset this "
                                     "key, start the reset again.");
    QCOMPARE(m_w->sent().count("fido reset"), 1);
    QVERIFY(!Access::resetting(m_w->window));
}

void TestFidoPage::listShowsOnlyTheNewRowsInOrder()
{
    m_w->answer({"pin=1234"});
    m_w->click("enumCre1");
    QTRY_COMPARE(m_w->sent(), QStringList{" fido get-resident-credentials -p 31323334"});
    QCOMPARE(m_w->busyText(), QStringLiteral("  Query in progress, please wait ... "));

    QList<QStringList> showings;
    for (int i = 0; i < 2; ++i)
        m_w->modal.actWhenShown("CreListDialog", [&showings](QWidget* d) {
            showings.append(shown(d));
            d->findChild<QPushButton*>("Close")->click();
        });
    m_w->reply(records("{\"RP_ID\":\"example.com\",\"USER_NAME\":\"ana\",\"CREDENTIAL_ID\":\"id1\"},"
                       "{\"RP_ID\":\"mail.test\",\"CREDENTIAL_ID\":\"id2\"},"
                       "{\"RP_ID\":\"shop.test\",\"USER_NAME\":\"bo\",\"CREDENTIAL_ID\":\"id3\"}"),
               CmdType::FidoListCredentials);
    QVERIFY(!m_w->busy());
    m_w->reply(records("{\"RP_ID\":\"late.test\",\"USER_NAME\":\"cy\"}"), CmdType::FidoListCredentials);
    QCOMPARE(showings, (QList<QStringList>{{"example.com/ana", "mail.test/", "shop.test/bo"}, {"late.test/cy"}}));

    m_w->answer({"ok"});
    m_w->reply(Reply::status("F0"), CmdType::FidoListCredentials);
    QCOMPARE(m_w->messages(), QStringList{"Information / No valid credential found."});
}

// Single selection, a question naming the checked row, then its command with the remembered
// PIN: a refusal or a credential already gone keeps every row, the success removes the checked one.
// A key pulled out then takes the list, an enrolment and the PIN with it.
void TestFidoPage::selectAndDelete()
{
    CreListDialog* dialog = Access::creList(m_w->window);
    auto* list = dialog->findChild<QListWidget*>("creList");
    auto* deleteBtn = dialog->findChild<QPushButton*>("deleteBtn");
    dialog->delAllItem(nullptr);
    for (const char* id : {"a", "b", "c"})
        dialog->addItem(Credential{id + QStringLiteral(".test"), "u", id, "public-key"});
    Access::fidoPin(m_w->window) = QStringLiteral("1234");
    QVERIFY(!deleteBtn->isEnabled()); // none checked
    tick(dialog, 0);
    tick(dialog, 2);
    QVERIFY(list->item(2)->isSelected());
    QCOMPARE(shown(dialog), (QStringList{"a.test/u", "b.test/u", "c.test/u*"}));
    // A click on the row itself, text included, selects it too.
    dialog->show();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualItemRect(list->item(1)).center());

    // Cancel keeps the credential; Return asks as Delete does.
    const QString question = "Delete / Do you want to delete the credential of user \"u\" for \"b.test\"? \n"
                             "This permanently deletes it from the key.";
    m_w->answer({"no"});
    QTest::keyClick(dialog, Qt::Key_Return);
    const QStringList replies{Reply::status("6F00", "Denied"), Reply::status("F0"), Reply::kOk};
    for (int i = 0; i < replies.size(); ++i) {
        m_w->answer(i < 2 ? QStringList{"ok", "ok"} : QStringList{"ok"});
        deleteBtn->click();
        QTRY_COMPARE(m_w->sent().size(), i + 1);
        QCOMPARE(m_w->lastSent(), QStringLiteral("fido delete-resident-credential -i b -t public-key -p 31323334"));
        QCOMPARE(m_w->busyText(), QStringLiteral("Deleting, please wait ..."));
        m_w->reply(replies[i], CmdType::FidoDeleteCredential);
        QVERIFY(!m_w->busy());
        QCOMPARE(shown(dialog).size(), i < 2 ? 3 : 2);
    }
    QCOMPARE(m_w->messages(), (QStringList{question, question, "Warning / Denied", question,
                                           "Information / No valid credential found.", question}));
    // Nothing is checked or highlighted after the deletion, and Delete waits for a new choice.
    QCOMPARE(shown(dialog), (QStringList{"a.test/u", "c.test/u"}));
    QVERIFY(list->selectedItems().isEmpty());
    QVERIFY(!deleteBtn->isEnabled());
    startFingerprint("addfinger");
    m_w->reply(Reply::kRemoved);
    QVERIFY(!dialog->isVisible());
    QVERIFY(!this->dialog()->isVisible());
}

void TestFidoPage::startFingerprint(const QString& mode)
{
    dialog()->setType(&m_w->window, mode);
    dialog()->show();
    if (mode == "testfinger")
        return;
    m_w->widget("addfinger")->setEnabled(false);
    m_w->window.cmdSend(Cmd::fidoEnrollBegin(QStringLiteral("1234")), CmdType::FidoEnrollBegin);
}

void TestFidoPage::enrolmentSequence()
{
    startFingerprint("addfinger");
    const QStringList steps{"Rec_Finger_1.png: Great, touch sensor three more times",
                            "Rec_Finger_2.png: Great, touch sensor two more times",
                            "Rec_Finger_3.png: Great, touch sensor one more time", "Pass.png: All set!"};
    for (int i = 0; i < steps.size(); ++i) {
        m_w->reply(sample(QString::number(3 - i)), i == 0 ? CmdType::FidoEnrollBegin : CmdType::FidoEnrollNext);
        QCOMPARE(shows(), steps[i]);
        QCOMPARE(dialog()->isClosable(), i == 3);
    }
    // The next enrolment gets a template of its own.
    QCOMPARE(template_id, QString());
    QTRY_COMPARE(m_w->sent(), (QStringList{kBegin, kNext, kNext, kNext, "fido enumerate"}));
}

// A refused sample (13, 14, other) leaves the dialog open to be closed, as does a test's outcome;
// a refused command closes it when the backend said why. Nothing more is asked of the key.
void TestFidoPage::outcome_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("message");
    const QString add = "addfinger", test = "testfinger",
                  great = "Rec_Finger_1.png: Great, touch sensor three more times";
    const QString error = "Rec_Finger_Add.png: Error, please close and reenter";
    QTest::newRow("not touched") << add << QStringList{sample("3", "13")}
                                 << "Rec_Finger_Add.png: User did not touch the authenticator" << true << QString();
    QTest::newRow("not lifted") << add << QStringList{sample("3"), sample("2", "14")}
                                << "Rec_Finger_1.png: User did not lift the finger off the sensor" << true << QString();
    QTest::newRow("bad sample") << add << QStringList{sample("3", "7")} << error << true << QString();
    QTest::newRow("refused") << add << QStringList{Reply::status("6F00", "Busy")} << kAdd + "++" << false
                             << "Warning / Busy";
    QTest::newRow("refused, no reason") << add << QStringList{Reply::status("6F00")} << kAdd + "++" << true
                                        << "Warning / " + kStock;
    QTest::newRow("next refused") << add << QStringList{sample("3"), Reply::status("6F00")} << great << false
                                  << "Warning / " + kStock;
    QTest::newRow("test passed") << test << QStringList{Reply::kOk} << "Pass.png: Test Passed!" << true << QString();
    QTest::newRow("test timed out") << test << QStringList{Reply::status("2F")}
                                    << "Fail.png: Timeout waiting for user interaction" << true << QString();
    QTest::newRow("test failed") << test << QStringList{Reply::status("6F00", "Busy")} << error << true
                                 << "Warning / Busy";
}

void TestFidoPage::outcome()
{
    QFETCH(QString, mode);
    QFETCH(QStringList, replies);
    QFETCH(QString, shown);
    QFETCH(bool, open);
    QFETCH(QString, message);
    const bool test = mode == "testfinger";
    startFingerprint(mode);
    // A test cannot be abandoned before the key answers.
    QCOMPARE(closeButton()->isHidden(), test);
    if (!message.isEmpty())
        m_w->answer({"ok"});
    m_w->reply(replies[0], test ? CmdType::FidoVerifyEnrollment : CmdType::FidoEnrollBegin);
    if (replies.size() > 1)
        m_w->reply(replies[1], CmdType::FidoEnrollNext);
    QCOMPARE(shows(), shown);
    QCOMPARE(m_w->messages(), message.isEmpty() ? QStringList() : QStringList{message});
    QVERIFY(addEnabled());
    QVERIFY(m_w->sentBeforeProbe(test ? QStringList() : QStringList{kBegin, kNext}.mid(0, replies.size())));
    QCOMPARE(dialog()->isVisible(), open);
    if (open) {
        closeButton()->click();
        QVERIFY(!dialog()->isVisible());
    }
}

void TestFidoPage::closeWhileSampling()
{
    startFingerprint("addfinger");
    m_w->reply(sample("3"), CmdType::FidoEnrollBegin);
    closeButton()->click();
    QVERIFY(shows().endsWith(": Cancel..."));
    QVERIFY(!closeButton()->isEnabled());
    QVERIFY(dialog()->isVisible()); // the key is sampling: it must be told first

    m_w->reply(sample("2"), CmdType::FidoEnrollNext);
    QTRY_COMPARE(m_w->sent(), (QStringList{kBegin, kNext, " fido cancel-enrollment "}));
    QVERIFY(dialog()->isVisible());
    m_w->reply(Reply::status("9000"), CmdType::FidoCancelEnrollment);
    QVERIFY(!dialog()->isVisible());
    QVERIFY(addEnabled());
}

// The template's number is read from the name. A declined question asks for no PIN; a PIN with a
// blank or a quote would split the command line: it is refused.
void TestFidoPage::deleteFingerprint_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pin");
    QTest::addColumn<QString>("line");
    const QString remove = QStringLiteral(" fido remove-enrollment -p 1234 -i ");
    QTest::newRow("10") << QStringLiteral("Fingerprint_10") << QStringLiteral("1234") << remove + "000a";
    QTest::newRow("letters") << QStringLiteral("Fingerprint_ab") << QStringLiteral("1234") << remove + "0000";
    QTest::newRow("declined") << QStringLiteral("Fingerprint_02") << QString() << QString();
    for (const char* pin : {"12 34", "12\"34", "1234\t"})
        QTest::newRow(pin) << "Fingerprint_02" << pin << QString();
}

void TestFidoPage::deleteFingerprint()
{
    QFETCH(QString, name);
    QFETCH(QString, pin);
    QFETCH(QString, line);
    const QString question = "Delete / Do you want to delete the fingerprint \"" + name + "\"?";
    const QString refused = "Warning / Fingerprints cannot be managed with a FIDO PIN that contains a blank or a "
                            "double quote. Change the PIN first.";
    list()->addItems({QStringLiteral("Fingerprint_01"), name});
    list()->setCurrentRow(1);
    QStringList script{"ok", "pin=" + pin};
    if (line.isEmpty())
        script << "ok"; // the refusal
    m_w->answer(pin.isEmpty() ? QStringList{"no"} : script);
    m_w->click("delfinger");
    if (line.isEmpty()) {
        QCOMPARE(m_w->messages(), (pin.isEmpty() ? QStringList{question} : QStringList{question, refused}));
        QVERIFY(m_w->sentBeforeProbe({}));
        return;
    }
    QTRY_COMPARE(m_w->sent(), QStringList{line});
    QCOMPARE(m_w->busyText(), QStringLiteral("Deleting, please wait ..."));
    m_w->reply(Reply::kOk, CmdType::FidoRemoveEnrollment);
    QVERIFY(m_w->busy()); // until the new list is in
    QTRY_COMPARE(m_w->lastSent(), QStringLiteral("fido enumerate"));
    m_w->reply(records("{\"TEMP_NAME\":\"Fingerprint_01\"}"), CmdType::FidoEnumerate);
    QVERIFY(!m_w->busy());
    QCOMPARE(list()->count(), 1);
    // Coming back to the page shows no stale names while the key is asked again.
    m_w->click("bioMgr1");
    QCOMPARE(list()->count(), 0);
}

QTEST_MAIN(TestFidoPage)
#include "tst_fidoui_page.moc"
