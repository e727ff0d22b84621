// Fingerprint templates: the list, enrolment sample by sample, cancel, test and delete.
#include "app/commands.h"
#include "fidowindow.h"

#include <QListWidget>
#include <QStackedWidget>

namespace {

const QString kBegin = QStringLiteral(" fido enrollment-begin -p 1234");
const QString kNext = QStringLiteral(" fido enrollment-next -i 0002");
const QString kCancel = QStringLiteral(" fido cancel-enrollment ");

QByteArray sample(const char* remaining, const char* status = "0", const char* templateId = nullptr)
{
    QByteArray data = QByteArray("{\"REMAINING\":\"") + remaining + "\",\"STATUS\":\"" + status + "\"";
    if (templateId)
        data += QByteArray(",\"TEMPLATE_ID\":\"") + templateId + "\"";
    return "{\"SW\":\"9000\",\"DATA\":[" + data + "}]}";
}

QString picture(QWidget* dialog)
{
    const QString sheet = dialog->findChild<QWidget*>(QStringLiteral("imag"))->styleSheet();
    return sheet.section(QLatin1Char('/'), -1).remove(QStringLiteral(");"));
}

QString tip(QWidget* dialog)
{
    return dialog->findChild<QLabel*>(QStringLiteral("Tip"))->text();
}

QPushButton* closeButton(QWidget* dialog)
{
    return dialog->findChild<QPushButton*>(QStringLiteral("close"));
}

} // namespace

class TestFidoFingerprint : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void pageListsTemplates();
    void listFailure_data();
    void listFailure();
    void addAsksPinAndCloseBeforeFirstReplyCancels();
    void addRefusedWithoutPin();
    void enrolmentSequence();
    void badSample_data();
    void badSample();
    void closeWhileSampling();
    void sampleFailure_data();
    void sampleFailure();
    void refusedBeginLeavesNoDialog();
    void testOutcomes_data();
    void testOutcomes();
    void failedTestCanBeClosed();
    void deleteIndexFormatting_data();
    void deleteIndexFormatting();
    void deleteNeedsSelection();
    void deleteFailure();

private:
    // An enrolment as the add button leaves it: dialog up, add button off, begin sent.
    void startEnrolment();
    registFingerprint* dialog() { return Access::regFinger(m_w->window); }
    QListWidget* list() { return m_w->find<QListWidget>("fingerList"); }
    bool addEnabled() { return m_w->find<QPushButton>("addfinger")->isEnabled(); }

    FidoWindow* m_w = nullptr;
};

void TestFidoFingerprint::init()
{
    isfidoHavePin = true;
    template_id.clear();
    m_w = new FidoWindow;
    Access::setModel(m_w->window, QStringLiteral("R15"));
}

void TestFidoFingerprint::cleanup()
{
    QVERIFY(m_w->modal.idle());
    delete m_w;
    QCOMPARE(visibleDialogCount(), 0);
}

void TestFidoFingerprint::startEnrolment()
{
    Access::fidoPin(m_w->window) = QStringLiteral("1234");
    m_w->find<QPushButton>("addfinger")->setEnabled(false);
    dialog()->setType(&m_w->window, QStringLiteral("addfinger"));
    dialog()->show();
    m_w->window.cmdSend(Cmd::fidoEnrollBegin(QStringLiteral("1234")), CmdType::FidoEnrollBegin);
}

void TestFidoFingerprint::pageListsTemplates()
{
    list()->addItem(QStringLiteral("stale"));
    m_w->click("bioMgr1");
    QCOMPARE(m_w->find<QStackedWidget>("contentPage")->currentIndex(), 5);
    QCOMPARE(list()->count(), 0);
    QTRY_COMPARE(m_w->sent(), QStringList{"fido enumerate"});

    m_w->reply("{\"SW\":\"9000\",\"DATA\":[{\"TEMP_NAME\":\"Fingerprint_01\"},{\"OTHER\":\"x\"},"
               "{\"TEMP_NAME\":\"Fingerprint_02\"}]}",
               CmdType::FidoEnumerate);
    QCOMPARE(list()->count(), 2);
    QCOMPARE(list()->item(1)->text(), QStringLiteral("Fingerprint_02"));

    m_w->click("backBio");
    QCOMPARE(m_w->find<QStackedWidget>("contentPage")->currentIndex(), 3);
}

void TestFidoFingerprint::listFailure_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("told");
    QTest::newRow("with INFO: silent") << status("6F00", "no sensor") << false;
    QTest::newRow("without INFO: stock warning") << status("6F00") << true;
}

void TestFidoFingerprint::listFailure()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, told);
    list()->addItem(QStringLiteral("Fingerprint_01"));
    m_w->find<QPushButton>("addfinger")->setEnabled(false);
    if (told)
        m_w->answerMessage();
    m_w->reply(reply, CmdType::FidoEnumerate);
    QCOMPARE(list()->count(), 0);
    QVERIFY(addEnabled());
    QCOMPARE(m_w->modal.seen().size(), told ? 1 : 0);
    if (told)
        QCOMPARE(m_w->modal.lastText(), QStringLiteral("Other error.Please try again or replug..."));
}

void TestFidoFingerprint::addAsksPinAndCloseBeforeFirstReplyCancels()
{
    m_w->answerPin(QStringLiteral("1234"));
    bool addWhileOpen = true;
    m_w->modal.actWhenShown(QStringLiteral("registFingerprint"), [&](QWidget* d) {
        addWhileOpen = addEnabled();
        QVERIFY(!d->findChild<QLabel*>(QStringLiteral("Tip_2"))->isHidden());
        closeButton(d)->click(); // nothing taken yet: closes at once
    });
    m_w->click("addfinger");
    QVERIFY(!dialog()->isVisible());
    QTRY_COMPARE(m_w->sent(), QStringList{kBegin}); // the PIN goes as typed
    QVERIFY(!addWhileOpen);

    m_w->reply(sample("3", "0", "0x0002"), CmdType::FidoEnrollBegin);
    QTRY_COMPARE(m_w->sent(), (QStringList{kBegin, kCancel}));
    m_w->reply(status("9000"), CmdType::FidoCancelEnrollment);
    QVERIFY(addEnabled());
}

void TestFidoFingerprint::addRefusedWithoutPin()
{
    isfidoHavePin = false;
    m_w->answerMessage();
    m_w->click("addfinger");
    QCOMPARE(m_w->modal.lastText(), QStringLiteral("Please set pin first. "));
    m_w->answerPin(QString());
    isfidoHavePin = true;
    m_w->click("addfinger");
    QVERIFY(addEnabled());
    m_w->window.cmdSend(QStringLiteral("probe"), CmdType::Dropped6);
    QTRY_COMPARE(m_w->sent(), QStringList{"probe"});
}

void TestFidoFingerprint::enrolmentSequence()
{
    startEnrolment();
    QCOMPARE(picture(dialog()), QStringLiteral("Rec_Finger_Add.png"));
    QCOMPARE(tip(dialog()), QStringLiteral("Touch the fingerprint sensor"));

    struct Step
    {
        QByteArray reply;
        int type;
        const char* picture;
        const char* tip;
    };
    const Step steps[] = {
        {sample("3", "0", "0x0002"), CmdType::FidoEnrollBegin, "Rec_Finger_1.png",
         "Great, touch sensor three more times"},
        {sample("2"), CmdType::FidoEnrollNext, "Rec_Finger_2.png", "Great, touch sensor two more times"},
        {sample("1"), CmdType::FidoEnrollNext, "Rec_Finger_3.png", "Great, touch sensor one more time"},
    };
    QStringList expected{kBegin};
    for (const Step& step : steps) {
        m_w->reply(step.reply, step.type);
        QCOMPARE(picture(dialog()), QLatin1String(step.picture));
        QCOMPARE(tip(dialog()), QLatin1String(step.tip));
        QVERIFY(dialog()->findChild<QLabel*>(QStringLiteral("Tip_2"))->isHidden());
        QVERIFY(!dialog()->isClosable());
        expected.append(kNext);
        QTRY_COMPARE(m_w->sent(), expected);
    }

    m_w->reply(sample("0"), CmdType::FidoEnrollNext);
    QCOMPARE(picture(dialog()), QStringLiteral("Pass.png"));
    QCOMPARE(tip(dialog()), QStringLiteral("All set!"));
    QVERIFY(dialog()->isClosable());
    QVERIFY(template_id.isEmpty());
    expected.append(QStringLiteral("fido enumerate"));
    QTRY_COMPARE(m_w->sent(), expected);
    QVERIFY(!addEnabled());

    m_w->reply("{\"SW\":\"9000\",\"DATA\":[{\"TEMP_NAME\":\"Fingerprint_02\"}]}", CmdType::FidoEnumerate);
    QVERIFY(addEnabled());
    QCOMPARE(list()->count(), 1);
    closeButton(dialog())->click();
    QVERIFY(!dialog()->isVisible());
}

void TestFidoFingerprint::badSample_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<QString>("tip");
    QTest::newRow("first: not lifted") << int(CmdType::FidoEnrollBegin) << QByteArray("14")
                                       << "User did not lift the finger off the sensor";
    QTest::newRow("first: no touch") << int(CmdType::FidoEnrollBegin) << QByteArray("13")
                                     << "User did not touch the authenticator";
    QTest::newRow("next: not lifted") << int(CmdType::FidoEnrollNext) << QByteArray("14")
                                      << "User did not lift the finger off the sensor";
    QTest::newRow("next: other") << int(CmdType::FidoEnrollNext) << QByteArray("7")
                                 << "Error, please close and reenter";
    QTest::newRow("next: missing") << int(CmdType::FidoEnrollNext) << QByteArray() << "Error, please close and reenter";
}

void TestFidoFingerprint::badSample()
{
    QFETCH(int, type);
    QFETCH(QByteArray, status);
    QFETCH(QString, tip);
    startEnrolment();
    QStringList expected{kBegin};
    if (type == CmdType::FidoEnrollNext) {
        m_w->reply(sample("3", "0", "0x0002"), CmdType::FidoEnrollBegin);
        expected.append(kNext);
    }
    const QByteArray reply = status.isNull() ? QByteArray("{\"SW\":\"9000\",\"DATA\":[{\"REMAINING\":\"2\"}]}")
                                             : sample("2", status.constData(), "0x0002");
    m_w->reply(reply, type);
    QCOMPARE(::tip(dialog()), tip);
    QVERIFY(dialog()->isClosable());
    QVERIFY(closeButton(dialog())->isEnabled());
    QVERIFY(addEnabled());
    m_w->window.cmdSend(QStringLiteral("probe"), CmdType::Dropped6);
    expected.append(QStringLiteral("probe"));
    QTRY_COMPARE(m_w->sent(), expected); // nothing further was asked of the key
    closeButton(dialog())->click();
    QVERIFY(!dialog()->isVisible());
}

void TestFidoFingerprint::closeWhileSampling()
{
    startEnrolment();
    m_w->reply(sample("3", "0", "0x0002"), CmdType::FidoEnrollBegin);
    closeButton(dialog())->click();
    QCOMPARE(tip(dialog()), QStringLiteral("Cancel..."));
    QVERIFY(!closeButton(dialog())->isEnabled());
    QVERIFY(dialog()->isVisible()); // the key is sampling: it must be told first

    m_w->reply(sample("2"), CmdType::FidoEnrollNext);
    QTRY_COMPARE(m_w->sent(), (QStringList{kBegin, kNext, kCancel}));
    QVERIFY(dialog()->isVisible());
    m_w->reply(status("9000"), CmdType::FidoCancelEnrollment);
    QVERIFY(!dialog()->isVisible());
    QVERIFY(addEnabled());
}

void TestFidoFingerprint::sampleFailure_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("dialogStays");
    QTest::addColumn<QString>("message");
    const QString stock = QStringLiteral("Other error.Please try again or replug...");
    QTest::newRow("begin, no INFO") << int(CmdType::FidoEnrollBegin) << status("6F00") << true << stock;
    QTest::newRow("begin, INFO") << int(CmdType::FidoEnrollBegin) << status("31", "PIN invalid") << false
                                 << "PIN invalid";
    QTest::newRow("next, no INFO") << int(CmdType::FidoEnrollNext) << status("6F00") << false << stock;
    QTest::newRow("next, INFO") << int(CmdType::FidoEnrollNext) << status("6F00", "Gone") << false << "Gone";
    QTest::newRow("cancel, no INFO") << int(CmdType::FidoCancelEnrollment) << status("6F00") << false << stock;
    QTest::newRow("cancel, INFO: silent") << int(CmdType::FidoCancelEnrollment) << status("6F00", "x") << false << "";
}

void TestFidoFingerprint::sampleFailure()
{
    QFETCH(int, type);
    QFETCH(QByteArray, reply);
    QFETCH(bool, dialogStays);
    QFETCH(QString, message);
    startEnrolment();
    if (!message.isEmpty())
        m_w->answerMessage();
    m_w->reply(reply, type);
    QCOMPARE(dialog()->isVisible(), dialogStays);
    QVERIFY(addEnabled());
    QCOMPARE(m_w->modal.lastText(), message);
    if (!message.isEmpty())
        QCOMPARE(m_w->modal.seen().last().title, QStringLiteral("Warning"));
    dialog()->close();
}

// A command the channel drops is never answered: no dialog may wait for it.
void TestFidoFingerprint::refusedBeginLeavesNoDialog()
{
    m_w->window.cmdSend(QStringLiteral("in flight"), CmdType::Dropped6);
    list()->addItem(QStringLiteral("Fingerprint_01"));
    m_w->answerPin(QStringLiteral("1234"));
    m_w->click("addfinger"); // would block here if the dialog were run
    QVERIFY(!dialog()->isVisible());
    QVERIFY(addEnabled());
    m_w->click("testfinger");
    QVERIFY(!dialog()->isVisible());
    QTRY_COMPARE(m_w->sent(), QStringList{"in flight"});
}

void TestFidoFingerprint::testOutcomes_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("tip");
    QTest::addColumn<QString>("picture");
    QTest::newRow("passed") << status("9000") << "Test Passed!"
                            << "Pass.png";
    QTest::newRow("time-out") << status("2F") << "Timeout waiting for user interaction"
                              << "Fail.png";
}

void TestFidoFingerprint::testOutcomes()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, tip);
    QFETCH(QString, picture);
    list()->addItem(QStringLiteral("Fingerprint_01"));
    bool closeHidden = false;
    QString title, tipAfter, pictureAfter;
    m_w->modal.actWhenShown(QStringLiteral("registFingerprint"), [&](QWidget* d) {
        title = d->findChild<QLabel*>(QStringLiteral("title"))->text();
        closeHidden = closeButton(d)->isHidden();
        m_w->reply(reply, CmdType::FidoVerifyEnrollment);
        tipAfter = ::tip(d);
        pictureAfter = ::picture(d);
        closeButton(d)->click();
        d->close(); // whatever happened, never leave the test blocked
    });
    m_w->click("testfinger");
    QCOMPARE(title, QStringLiteral("Test FingerPrint"));
    QVERIFY(closeHidden);
    QTRY_COMPARE(m_w->sent(), QStringList{" fido verify-enrollment "});
    QCOMPARE(tipAfter, tip);
    QCOMPARE(pictureAfter, picture);
}

void TestFidoFingerprint::failedTestCanBeClosed()
{
    dialog()->setType(&m_w->window, QStringLiteral("testfinger"));
    dialog()->show();
    m_w->answerMessage();
    m_w->reply(status("6F00", "Sensor error"), CmdType::FidoVerifyEnrollment);
    QCOMPARE(m_w->modal.lastText(), QStringLiteral("Sensor error"));
    QVERIFY(!closeButton(dialog())->isHidden());
    closeButton(dialog())->click();
    QVERIFY(!dialog()->isVisible());
}

void TestFidoFingerprint::deleteIndexFormatting_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("index");
    QTest::newRow("10") << "Fingerprint_10"
                        << "000a";
    QTest::newRow("03") << "Fingerprint_03"
                        << "0003";
    QTest::newRow("99") << "Fingerprint_99"
                        << "0063";
    QTest::newRow("letters") << "Fingerprint_ab"
                             << "0000";
    QTest::newRow("short name") << "Finger"
                                << "0000";
}

void TestFidoFingerprint::deleteIndexFormatting()
{
    QFETCH(QString, name);
    QFETCH(QString, index);
    list()->addItems({QStringLiteral("Fingerprint_01"), name});
    list()->setCurrentRow(1);
    m_w->answerPin(QStringLiteral("1234"));
    m_w->click("delfinger");
    QTRY_COMPARE(m_w->sent(), QStringList{" fido remove-enrollment -p 1234 -i " + index});
    QCOMPARE(m_w->busyText(), QStringLiteral("Deleting, please wait ..."));

    m_w->reply(status("9000"), CmdType::FidoRemoveEnrollment);
    QTRY_COMPARE(m_w->sent().value(1), QStringLiteral("fido enumerate"));
    QVERIFY(m_w->busy()); // until the refreshed list arrives
    m_w->reply("{\"SW\":\"9000\",\"DATA\":[{\"TEMP_NAME\":\"Fingerprint_01\"}]}", CmdType::FidoEnumerate);
    QVERIFY(!m_w->busy());
    QCOMPARE(list()->count(), 1);
}

void TestFidoFingerprint::deleteNeedsSelection()
{
    m_w->click("delfinger"); // empty list: nothing at all
    list()->addItem(QStringLiteral("Fingerprint_01"));
    m_w->answerMessage();
    m_w->click("delfinger");
    QCOMPARE(m_w->modal.seen().last().title, QStringLiteral("Warning"));
    QCOMPARE(m_w->modal.lastText(), QStringLiteral(" Please select the fingerprint you want to delete."));

    list()->setCurrentRow(0);
    isfidoHavePin = false;
    m_w->answerMessage();
    m_w->click("delfinger");
    QCOMPARE(m_w->modal.lastText(), QStringLiteral("Please set pin first. "));
    QCOMPARE(m_w->modal.seen().size(), 2);
    m_w->window.cmdSend(QStringLiteral("probe"), CmdType::Dropped6);
    QTRY_COMPARE(m_w->sent(), QStringList{"probe"});
}

void TestFidoFingerprint::deleteFailure()
{
    Access::waiting(m_w->window)->show(&m_w->window, QStringLiteral("busy"));
    m_w->answerMessage();
    m_w->reply(status("6F00", "Not found"), CmdType::FidoRemoveEnrollment);
    QVERIFY(!m_w->busy());
    QCOMPARE(m_w->modal.lastText(), QStringLiteral("Not found"));
}

QTEST_MAIN(TestFidoFingerprint)
#include "tst_fidoui_fingerprint.moc"
