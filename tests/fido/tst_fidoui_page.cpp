// The FIDO2 page against a recording stand-in backend: the PIN state, resident credentials,
// fingerprints, and a reset whose re-plug never comes. The successful re-plug, and one run of
// each flow, go end to end against the simulated key in tst_fidoui_e2e.
#include "fido/credentialitem.h"
#include "fidowindow.h"

#include <QCheckBox>
#include <QListWidget>
#include <QScrollBar>
#include <QSet>
#include <QStackedWidget>
#include <QStyleFactory>
#include <QStyleOptionButton>

namespace {

const QString kStock = QStringLiteral("Other error.Please try again or replug...");
const QString kBegin = QStringLiteral(" fido enrollment-begin -p 1234");
const QString kNext = QStringLiteral(" fido enrollment-next -i 0002");
// Grey levels between an outline and what is around it, to count as seen.
constexpr int kVisibleContrast = 40;

QByteArray records(const QByteArray& body)
{
    return "{\"SW\":\"9000\",\"DATA\":[" + body + "]}";
}

QByteArray sample(const char* remaining, const char* status = "0")
{
    return records(QByteArray("{\"TEMPLATE_ID\":\"0x0002\",\"REMAINING\":\"") + remaining + "\",\"STATUS\":\"" +
                   status + "\"}");
}

} // namespace

class TestFidoPage : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_w.reset(new FidoWindow); }
    void cleanup() { finish(m_w); }
    void pinStateSetChangeAndFailures();
    void cancelSendsNothing();
    void replugTimesOut();
    void listShowsOnlyTheNewRowsInOrder();
    void selectAndDelete();
    void everyRowReachable();
    void uncheckedBoxVisible_data();
    void uncheckedBoxVisible();
    void enrolmentSequence();
    void fingerNotLifted();
    void closeWhileSampling();
    void testOutcome_data();
    void testOutcome();
    void deleteIndexFormatting_data();
    void deleteIndexFormatting();
    void fingerprintDeleteDeclined();
    void pinThatSplitsTheLineRefused_data();
    void pinThatSplitsTheLineRefused();

private:
    int page() { return m_w->find<QStackedWidget>("contentPage")->currentIndex(); }
    // A failure reply to a busy window that remembers a PIN: warned, not busy, PIN forgotten.
    void failure(const QByteArray& reply, int type, const QString& message);

    static CredentialItem* item(QWidget* dialog, int row)
    {
        auto* list = dialog->findChild<QListWidget*>(QStringLiteral("creList"));
        return qobject_cast<CredentialItem*>(list->itemWidget(list->item(row)));
    }
    static void tick(QWidget* dialog, int row) { item(dialog, row)->findChild<QCheckBox*>()->click(); }
    // "rp/user" per row as the row shows them, with "*" on the checked one.
    static QStringList shown(QWidget* dialog);
    static void fill(CreListDialog* dialog)
    {
        dialog->delAllItem(nullptr);
        for (const char* id : {"a", "b", "c"})
            dialog->addItem(Credential{id + QStringLiteral(".test"), "u", id, "public-key"});
    }

    // An enrolment as the add button leaves it: dialog up, add button off, begin sent.
    void startEnrolment();
    registFingerprint* dialog() { return Access::regFinger(m_w->window); }
    QPushButton* closeButton() { return dialog()->findChild<QPushButton*>(QStringLiteral("close")); }
    QListWidget* list() { return m_w->find<QListWidget>("fingerList"); }
    bool addEnabled() { return m_w->find<QPushButton>("addfinger")->isEnabled(); }
    // The fingerprint dialog's picture file and tip, as "picture: tip".
    QString shows()
    {
        const QString sheet = dialog()->findChild<QWidget*>(QStringLiteral("imag"))->styleSheet();
        return sheet.section('/', -1).remove(QStringLiteral(");")) + ": " +
               dialog()->findChild<QLabel*>(QStringLiteral("Tip"))->text();
    }

    std::unique_ptr<FidoWindow> m_w;
};

QStringList TestFidoPage::shown(QWidget* dialog)
{
    QStringList result;
    for (int i = 0; i < dialog->findChild<QListWidget*>(QStringLiteral("creList"))->count(); ++i) {
        const QList<QLineEdit*> cells = item(dialog, i)->findChildren<QLineEdit*>();
        result.append(cells.value(0)->text() + '/' + cells.value(1)->text() +
                      (item(dialog, i)->getCheckState() ? "*" : ""));
    }
    return result;
}

void TestFidoPage::failure(const QByteArray& reply, int type, const QString& message)
{
    Access::fidoPin(m_w->window) = QStringLiteral("1234");
    m_w->answerMessage();
    m_w->reply(reply, type);
    QCOMPARE(m_w->modal.seen().last().title, QStringLiteral("Warning"));
    QCOMPARE(m_w->modal.lastText(), message);
    QVERIFY(!m_w->busy());
    QVERIFY(Access::fidoPin(m_w->window).isEmpty());
}

void TestFidoPage::pinStateSetChangeAndFailures()
{
    m_w->reply("{\"SW\":\"9000\",\"DATA\":{\"RETRIES\":\"8\"}}", CmdType::FidoPinRetries);
    QCOMPARE(m_w->pinState(), QStringLiteral("Change PIN"));
    m_w->reply(status("6F00", "busy"), CmdType::FidoPinRetries); // anything else changes nothing
    QCOMPARE(m_w->pinState(), QStringLiteral("Change PIN"));
    m_w->reply(status("35"), CmdType::FidoPinRetries);
    QCOMPARE(m_w->pinState(), QStringLiteral("Set PIN"));

    answerChangePin(m_w->modal, QString::fromUtf8("pä55"), QString::fromUtf8("pä55"));
    m_w->click("fidoSetPIN1");
    QTRY_COMPARE(m_w->sent(), QStringList{" fido set-pin -p 70c3a43535"});
    failure(status("6F00", "PIN too short"), CmdType::FidoSetPin, QStringLiteral("PIN too short"));
    QCOMPARE(m_w->pinState(), QStringLiteral("Set PIN"));
    m_w->answerMessage();
    m_w->reply(status("9000"), CmdType::FidoSetPin);
    QCOMPARE(m_w->modal.lastText(), QStringLiteral("Set PIN successfully."));
    QCOMPARE(m_w->pinState(), QStringLiteral("Change PIN"));

    answerChangePin(m_w->modal, "1234", "abcd", "abcd");
    m_w->click("fidoSetPIN");
    QTRY_COMPARE(m_w->sent().value(1), QStringLiteral(" fido change-pin -p 31323334 -n 61626364"));
    failure("kaput", CmdType::FidoChangePin, kStock);
    Access::awaitReplug(m_w->window, true);
    failure(status("6F00"), CmdType::FidoReset, kStock);
    QVERIFY(!Access::resetting(m_w->window));
    QCOMPARE(m_w->pinState(), QStringLiteral("Change PIN"));
}

void TestFidoPage::cancelSendsNothing()
{
    m_w->modal.clickWhenShown(QStringLiteral("changePIN"), QStringLiteral("Cancel"));
    m_w->click("fidoSetPIN");
    answerPin(m_w->modal, QString());
    m_w->click("enumCre");
    QVERIFY(!m_w->busy());
    m_w->expectSentBeforeProbe({});
}

// The key refuses the reset (0x30) and is pulled out as asked, but never comes back.
void TestFidoPage::replugTimesOut()
{
    m_w->click("fido");
    const int fidoPage = page();
    m_w->reply(status("9000"), CmdType::FidoPinRetries);
    m_w->answerMessage();
    m_w->click("reset1");
    QTRY_COMPARE(m_w->sent(), (QStringList{" fido get_pin_retries ", "fido reset"}));
    m_w->reply(status("30"), CmdType::FidoReset);
    m_w->reply("{\"SW\":\"80900001\"}", CmdType::FidoReset);
    QCOMPARE(page(), fidoPage);
    QCOMPARE(m_w->busyText(), QStringLiteral("Remove and re-insert your VELMORA FIDO Security Key ..."));

    m_w->answerMessage();
    emit Access::waiting(m_w->window)->operationTimedout();
    QVERIFY(m_w->modal.lastText().startsWith(QLatin1String("Operation time out.\n")));
    QVERIFY(!Access::resetting(m_w->window));
    // The removal's no-key handling, skipped during the wait, runs now.
    QCOMPARE(page(), 1);
    // A later insertion is an ordinary one: no reset is sent.
    m_w->reply("{\"SW\":\"80900002\"}", CmdType::FidoReset);
    m_w->expectSentBeforeProbe({" fido get_pin_retries ", "fido reset"});
}

void TestFidoPage::listShowsOnlyTheNewRowsInOrder()
{
    answerPin(m_w->modal, QStringLiteral("1234"));
    m_w->click("enumCre1");
    QTRY_COMPARE(m_w->sent(), QStringList{" fido get-resident-credentials -p 31323334"});

    QList<QStringList> showings;
    for (int i = 0; i < 2; ++i)
        m_w->modal.actWhenShown(QStringLiteral("CreListDialog"), [&showings](QWidget* d) {
            showings.append(shown(d));
            d->findChild<QPushButton*>(QStringLiteral("Close"))->click();
        });
    m_w->reply(records("{\"RP_ID\":\"example.com\",\"USER_NAME\":\"ana\",\"CREDENTIAL_ID\":\"id1\"},"
                       "{\"RP_ID\":\"mail.test\",\"CREDENTIAL_ID\":\"id2\"},"
                       "{\"RP_ID\":\"shop.test\",\"USER_NAME\":\"bo\",\"CREDENTIAL_ID\":\"id3\"}"),
               CmdType::FidoListCredentials);
    QVERIFY(!m_w->busy());
    // The PIN served the list's deletions while it was open, and no longer.
    QVERIFY(Access::fidoPin(m_w->window).isEmpty());
    m_w->reply(records("{\"RP_ID\":\"late.test\",\"USER_NAME\":\"cy\"}"), CmdType::FidoListCredentials);
    QCOMPARE(showings, (QList<QStringList>{{"example.com/ana", "mail.test/", "shop.test/bo"}, {"late.test/cy"}}));

    m_w->answerMessage();
    m_w->reply(status("F0"), CmdType::FidoListCredentials);
    QCOMPARE(m_w->modal.seen().last().title, QStringLiteral("Information"));
    QCOMPARE(m_w->modal.lastText(), QStringLiteral("No valid credential found."));
}

// Single selection in the window's list, a question naming the checked row, then its command
// with the remembered PIN: a refusal keeps every row, the success removes exactly the checked one.
void TestFidoPage::selectAndDelete()
{
    CreListDialog* dialog = Access::creList(m_w->window);
    auto* list = dialog->findChild<QListWidget*>(QStringLiteral("creList"));
    auto* deleteBtn = dialog->findChild<QPushButton*>(QStringLiteral("deleteBtn"));
    fill(dialog);
    Access::fidoPin(m_w->window) = QStringLiteral("1234");
    QVERIFY(!deleteBtn->isEnabled()); // none checked
    tick(dialog, 0);
    tick(dialog, 2);
    QCOMPARE(shown(dialog), (QStringList{"a.test/u", "b.test/u", "c.test/u*"}));
    QVERIFY(list->item(2)->isSelected());
    tick(dialog, 2); // unticking the checked row keeps it
    QCOMPARE(shown(dialog), (QStringList{"a.test/u", "b.test/u", "c.test/u*"}));
    // A click on the row itself, text included, selects it too.
    dialog->show();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualItemRect(list->item(1)).center());
    QCOMPARE(shown(dialog), (QStringList{"a.test/u", "b.test/u*", "c.test/u"}));

    // Cancel keeps the credential; Return asks as Delete does.
    m_w->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("cancel"));
    QTest::keyClick(dialog, Qt::Key_Return);
    QVERIFY(m_w->modal.idle());
    QCOMPARE(m_w->modal.seen().last().title, QStringLiteral("Delete"));
    QCOMPARE(m_w->modal.lastText(), QStringLiteral("Do you want to delete the credential of user \"u\" for "
                                                   "\"b.test\"? \nThis permanently deletes it from the key."));
    QCOMPARE(shown(dialog), (QStringList{"a.test/u", "b.test/u*", "c.test/u"}));
    QVERIFY(!m_w->busy());

    const QString line = QStringLiteral("fido delete-resident-credential -i b -t public-key -p 31323334");
    m_w->answerMessage();
    deleteBtn->click();
    QTRY_COMPARE(m_w->sent(), QStringList{line});
    QCOMPARE(m_w->busyText(), QStringLiteral("Deleting, please wait ..."));
    m_w->answerMessage();
    m_w->reply(status("6F00", "Denied"), CmdType::FidoDeleteCredential);
    QCOMPARE(m_w->modal.lastText(), QStringLiteral("Denied"));
    QCOMPARE(shown(dialog), (QStringList{"a.test/u", "b.test/u*", "c.test/u"}));
    m_w->answerMessage();
    deleteBtn->click();
    QTRY_COMPARE(m_w->sent(), (QStringList{line, line}));
    m_w->reply(status("9000"), CmdType::FidoDeleteCredential);
    QVERIFY(!m_w->busy());
    // Nothing is checked or highlighted after the deletion, and Delete waits for a new choice.
    QCOMPARE(shown(dialog), (QStringList{"a.test/u", "c.test/u"}));
    QVERIFY(list->selectedItems().isEmpty());
    QVERIFY(!deleteBtn->isEnabled());
}

void TestFidoPage::everyRowReachable()
{
    CreListDialog* dialog = Access::creList(m_w->window);
    dialog->delAllItem(nullptr);
    for (int i = 0; i < 12; ++i)
        dialog->addItem(Credential{QStringLiteral("rp%1.test").arg(i), "u", QString::number(i), "public-key"});
    dialog->show();
    QVERIFY(dialog->findChild<QListWidget*>(QStringLiteral("creList"))->verticalScrollBar()->isVisible());
    dialog->close();
}

void TestFidoPage::uncheckedBoxVisible_data()
{
    QTest::addColumn<QString>("style");
    for (const QString& style : QStyleFactory::keys())
        QTest::newRow(qPrintable(style)) << style;
}

// The box of an unticked row is drawn: its indicator has an outline that stands out.
void TestFidoPage::uncheckedBoxVisible()
{
    QFETCH(QString, style);
    const QString before = QApplication::style()->objectName();
    QApplication::setStyle(style);
    CreListDialog dialog(nullptr, 1.0);
    dialog.addItem(Credential{QStringLiteral("a.test"), "u", "a", "public-key"});
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* list = dialog.findChild<QListWidget*>(QStringLiteral("creList"));
    auto* box = list->itemWidget(list->item(0))->findChild<QCheckBox*>();
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    const QImage shot = dialog.grab(indicator.translated(box->mapTo(&dialog, QPoint()))).toImage();
    int darkest = 255, lightest = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            darkest = qMin(darkest, qGray(shot.pixel(x, y)));
            lightest = qMax(lightest, qGray(shot.pixel(x, y)));
        }
    dialog.close();
    QApplication::setStyle(before);
    QVERIFY2(lightest - darkest > kVisibleContrast, qPrintable(QString::number(lightest - darkest)));
}

void TestFidoPage::startEnrolment()
{
    m_w->find<QPushButton>("addfinger")->setEnabled(false);
    dialog()->setType(&m_w->window, QStringLiteral("addfinger"));
    dialog()->show();
    m_w->window.cmdSend(Cmd::fidoEnrollBegin(QStringLiteral("1234")), CmdType::FidoEnrollBegin);
}

void TestFidoPage::enrolmentSequence()
{
    startEnrolment();
    QCOMPARE(shows(), QStringLiteral("Rec_Finger_Add.png: Touch the fingerprint sensor"));
    const QStringList steps{"Rec_Finger_1.png: Great, touch sensor three more times",
                            "Rec_Finger_2.png: Great, touch sensor two more times",
                            "Rec_Finger_3.png: Great, touch sensor one more time"};
    QStringList expected{kBegin};
    for (int i = 0; i < steps.size(); ++i) {
        m_w->reply(sample(QByteArray::number(3 - i)), i == 0 ? CmdType::FidoEnrollBegin : CmdType::FidoEnrollNext);
        QCOMPARE(shows(), steps[i]);
        QVERIFY(!dialog()->isClosable());
        expected.append(kNext);
        QTRY_COMPARE(m_w->sent(), expected);
    }

    m_w->reply(sample("0"), CmdType::FidoEnrollNext);
    QCOMPARE(shows(), QStringLiteral("Pass.png: All set!"));
    QVERIFY(dialog()->isClosable());
    expected.append(QStringLiteral("fido enumerate"));
    QTRY_COMPARE(m_w->sent(), expected);
}

void TestFidoPage::fingerNotLifted()
{
    startEnrolment();
    m_w->reply(sample("3", "14"), CmdType::FidoEnrollBegin);
    QVERIFY(shows().endsWith(QLatin1String(": User did not lift the finger off the sensor")));
    QVERIFY(dialog()->isClosable());
    QVERIFY(addEnabled());
    m_w->expectSentBeforeProbe({kBegin}); // nothing further was asked of the key
}

void TestFidoPage::closeWhileSampling()
{
    startEnrolment();
    m_w->reply(sample("3"), CmdType::FidoEnrollBegin);
    closeButton()->click();
    QVERIFY(shows().endsWith(QLatin1String(": Cancel...")));
    QVERIFY(!closeButton()->isEnabled());
    QVERIFY(dialog()->isVisible()); // the key is sampling: it must be told first

    m_w->reply(sample("2"), CmdType::FidoEnrollNext);
    QTRY_COMPARE(m_w->sent(), (QStringList{kBegin, kNext, " fido cancel-enrollment "}));
    QVERIFY(dialog()->isVisible());
    m_w->reply(status("9000"), CmdType::FidoCancelEnrollment);
    QVERIFY(!dialog()->isVisible());
    QVERIFY(addEnabled());
}

// A command the channel drops is never answered: no dialog may wait for it.
void TestFidoPage::testOutcome_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("message");
    QTest::newRow("passed") << status("9000") << "Pass.png: Test Passed!" << QString();
    QTest::newRow("time-out") << status("2F") << "Fail.png: Timeout waiting for user interaction" << QString();
    // The test dialog hides its close button until the reply: a failure must bring it back.
    QTest::newRow("failed: closable") << status("6F00", "Sensor error")
                                      << "Rec_Finger_Add.png: Error, please close and reenter"
                                      << QString("Sensor error");
}

void TestFidoPage::testOutcome()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, shown);
    QFETCH(QString, message);
    dialog()->setType(&m_w->window, QStringLiteral("testfinger"));
    dialog()->show();
    QVERIFY(closeButton()->isHidden());
    if (!message.isEmpty())
        m_w->answerMessage();
    m_w->reply(reply, CmdType::FidoVerifyEnrollment);
    QCOMPARE(shows(), shown);
    QCOMPARE(m_w->modal.lastText(), message);
    QVERIFY(!closeButton()->isHidden());
    closeButton()->click();
    QVERIFY(!dialog()->isVisible());
}

void TestFidoPage::deleteIndexFormatting_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("index");
    QTest::newRow("10") << "Fingerprint_10" << QStringLiteral("000a");
    QTest::newRow("letters") << "Fingerprint_ab" << QStringLiteral("0000");
    QTest::newRow("short name") << "Finger" << QStringLiteral("0000");
}

void TestFidoPage::deleteIndexFormatting()
{
    QFETCH(QString, name);
    QFETCH(QString, index);
    list()->addItems({QStringLiteral("Fingerprint_01"), name});
    list()->setCurrentRow(1);
    m_w->answerMessage();
    answerPin(m_w->modal, QStringLiteral("1234"));
    m_w->click("delfinger");
    QTRY_COMPARE(m_w->sent(), QStringList{" fido remove-enrollment -p 1234 -i " + index});
    QCOMPARE(m_w->modal.seen().first().text, "Do you want to delete the fingerprint \"" + name + "\"?");
    m_w->reply(status("9000"), CmdType::FidoRemoveEnrollment);
}

void TestFidoPage::fingerprintDeleteDeclined()
{
    list()->addItems({QStringLiteral("Fingerprint_01")});
    list()->setCurrentRow(0);
    m_w->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("cancel"));
    m_w->click("delfinger");
    QVERIFY(m_w->modal.idle());
    QCOMPARE(m_w->modal.seen().size(), 1); // no PIN was asked for
    m_w->expectSentBeforeProbe({});
}

// Fingerprint commands carry the PIN as typed: a blank or a quote would split it or the line.
void TestFidoPage::pinThatSplitsTheLineRefused_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("pin");
    for (const char* button : {"addfinger", "delfinger"})
        for (const char* pin : {"12 34", "12\"34", "1234\t"})
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(button, pin))) << button << pin;
}

void TestFidoPage::pinThatSplitsTheLineRefused()
{
    QFETCH(QString, button);
    QFETCH(QString, pin);
    list()->addItems({QStringLiteral("Fingerprint_01")});
    list()->setCurrentRow(0);
    if (button == QLatin1String("delfinger"))
        m_w->answerMessage(); // the question naming the fingerprint
    answerPin(m_w->modal, pin);
    m_w->answerMessage();
    m_w->click(qPrintable(button));
    QVERIFY(m_w->modal.idle());
    QCOMPARE(m_w->modal.seen().last().title, QStringLiteral("Warning"));
    QCOMPARE(m_w->modal.lastText(), QStringLiteral("Fingerprints cannot be managed with a FIDO PIN that contains a "
                                                   "blank or a double quote. Change the PIN first."));
    QVERIFY(Access::fidoPin(m_w->window).isEmpty());
    QVERIFY(addEnabled());
    m_w->expectSentBeforeProbe({});
}

QTEST_MAIN(TestFidoPage)
#include "tst_fidoui_page.moc"
