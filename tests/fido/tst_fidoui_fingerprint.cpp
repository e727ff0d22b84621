// Fingerprint templates: enrolment sample by sample, cancel, test and delete.
#include "fidowindow.h"

#include <QListWidget>

namespace {

const QString kBegin = QStringLiteral(" fido enrollment-begin -p 1234");
const QString kNext = QStringLiteral(" fido enrollment-next -i 0002");

QByteArray sample(const char* remaining, const char* status = "0")
{
    return QByteArray("{\"SW\":\"9000\",\"DATA\":[{\"TEMPLATE_ID\":\"0x0002\",\"REMAINING\":\"") + remaining +
           "\",\"STATUS\":\"" + status + "\"}]}";
}

// The dialog's picture file and tip, as "picture: tip".
QString shows(QWidget* dialog)
{
    const QString sheet = dialog->findChild<QWidget*>(QStringLiteral("imag"))->styleSheet();
    return sheet.section('/', -1).remove(QStringLiteral(");")) + ": " +
           dialog->findChild<QLabel*>(QStringLiteral("Tip"))->text();
}

} // namespace

class TestFidoFingerprint : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_w.reset(new FidoWindow(true)); }
    void cleanup() { finish(m_w); }
    void enrolmentSequence();
    void fingerNotLifted();
    void closeWhileSampling();
    void refusedCommandLeavesNoDialog();
    void testOutcome_data();
    void testOutcome();
    void deleteIndexFormatting_data();
    void deleteIndexFormatting();

private:
    // An enrolment as the add button leaves it: dialog up, add button off, begin sent.
    void startEnrolment();
    registFingerprint* dialog() { return Access::regFinger(m_w->window); }
    QPushButton* closeButton() { return dialog()->findChild<QPushButton*>(QStringLiteral("close")); }
    QListWidget* list() { return m_w->find<QListWidget>("fingerList"); }
    bool addEnabled() { return m_w->find<QPushButton>("addfinger")->isEnabled(); }

    std::unique_ptr<FidoWindow> m_w;
};

void TestFidoFingerprint::startEnrolment()
{
    m_w->find<QPushButton>("addfinger")->setEnabled(false);
    dialog()->setType(&m_w->window, QStringLiteral("addfinger"));
    dialog()->show();
    m_w->window.cmdSend(Cmd::fidoEnrollBegin(QStringLiteral("1234")), CmdType::FidoEnrollBegin);
}

void TestFidoFingerprint::enrolmentSequence()
{
    startEnrolment();
    QCOMPARE(shows(dialog()), QStringLiteral("Rec_Finger_Add.png: Touch the fingerprint sensor"));
    const QStringList steps{"Rec_Finger_1.png: Great, touch sensor three more times",
                            "Rec_Finger_2.png: Great, touch sensor two more times",
                            "Rec_Finger_3.png: Great, touch sensor one more time"};
    QStringList expected{kBegin};
    for (int i = 0; i < steps.size(); ++i) {
        m_w->reply(sample(QByteArray::number(3 - i)), i == 0 ? CmdType::FidoEnrollBegin : CmdType::FidoEnrollNext);
        QCOMPARE(shows(dialog()), steps[i]);
        QVERIFY(dialog()->findChild<QLabel*>(QStringLiteral("Tip_2"))->isHidden());
        QVERIFY(!dialog()->isClosable());
        expected.append(kNext);
        QTRY_COMPARE(m_w->sent(), expected);
    }

    m_w->reply(sample("0"), CmdType::FidoEnrollNext);
    QCOMPARE(shows(dialog()), QStringLiteral("Pass.png: All set!"));
    QVERIFY(dialog()->isClosable());
    expected.append(QStringLiteral("fido enumerate"));
    QTRY_COMPARE(m_w->sent(), expected);
    m_w->reply("{\"SW\":\"9000\",\"DATA\":[{\"TEMP_NAME\":\"Fingerprint_02\"},{\"OTHER\":\"x\"}]}",
               CmdType::FidoEnumerate);
    QVERIFY(addEnabled());
    QCOMPARE(list()->count(), 1);
    closeButton()->click();
    QVERIFY(!dialog()->isVisible());
}

void TestFidoFingerprint::fingerNotLifted()
{
    startEnrolment();
    m_w->reply(sample("3", "14"), CmdType::FidoEnrollBegin);
    QVERIFY(shows(dialog()).endsWith(QLatin1String(": User did not lift the finger off the sensor")));
    QVERIFY(dialog()->isClosable());
    QVERIFY(addEnabled());
    m_w->expectSentBeforeProbe({kBegin}); // nothing further was asked of the key
    closeButton()->click();
    QVERIFY(!dialog()->isVisible());
}

void TestFidoFingerprint::closeWhileSampling()
{
    startEnrolment();
    m_w->reply(sample("3"), CmdType::FidoEnrollBegin);
    closeButton()->click();
    QVERIFY(shows(dialog()).endsWith(QLatin1String(": Cancel...")));
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
void TestFidoFingerprint::refusedCommandLeavesNoDialog()
{
    m_w->window.cmdSend(QStringLiteral("in flight"), CmdType::Dropped6);
    list()->addItem(QStringLiteral("Fingerprint_01"));
    answerPin(m_w->modal, QStringLiteral("1234"));
    m_w->click("addfinger"); // would block here if the dialog were run
    QVERIFY(!dialog()->isVisible());
    QVERIFY(addEnabled());
    m_w->click("testfinger");
    QVERIFY(!dialog()->isVisible());
    QTRY_COMPARE(m_w->sent(), QStringList{"in flight"});
}

void TestFidoFingerprint::testOutcome_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("message");
    QTest::newRow("passed") << status("9000") << "Pass.png: Test Passed!" << QString();
    QTest::newRow("time-out") << status("2F") << "Fail.png: Timeout waiting for user interaction" << QString();
    // The test dialog hides its close button until the reply: a failure must bring it back.
    QTest::newRow("failed: closable") << status("6F00", "Sensor error")
                                      << "Rec_Finger_Add.png: Error, please close and reenter"
                                      << "Sensor error";
}

void TestFidoFingerprint::testOutcome()
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
    QCOMPARE(shows(dialog()), shown);
    QCOMPARE(m_w->modal.lastText(), message);
    QVERIFY(!closeButton()->isHidden());
    closeButton()->click();
    QVERIFY(!dialog()->isVisible());
}

void TestFidoFingerprint::deleteIndexFormatting_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("index");
    QTest::newRow("10") << "Fingerprint_10" << QStringLiteral("000a");
    QTest::newRow("letters") << "Fingerprint_ab" << QStringLiteral("0000");
    QTest::newRow("short name") << "Finger" << QStringLiteral("0000");
}

void TestFidoFingerprint::deleteIndexFormatting()
{
    QFETCH(QString, name);
    QFETCH(QString, index);
    list()->addItems({QStringLiteral("Fingerprint_01"), name});
    list()->setCurrentRow(1);
    answerPin(m_w->modal, QStringLiteral("1234"));
    m_w->click("delfinger");
    QTRY_COMPARE(m_w->sent(), QStringList{" fido remove-enrollment -p 1234 -i " + index});
    m_w->reply(status("9000"), CmdType::FidoRemoveEnrollment);
    QTRY_COMPARE(m_w->sent().value(1), QStringLiteral("fido enumerate"));
    QVERIFY(m_w->busy()); // until the refreshed list arrives
    m_w->reply("{\"SW\":\"9000\",\"DATA\":[{\"TEMP_NAME\":\"Fingerprint_01\"}]}", CmdType::FidoEnumerate);
    QVERIFY(!m_w->busy());
    QCOMPARE(list()->count(), 1);
}

QTEST_MAIN(TestFidoFingerprint)
#include "tst_fidoui_fingerprint.moc"
