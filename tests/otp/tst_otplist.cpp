// The OTP overview page: how an "otp list" reply shows the slots, and the delete, reset and
// swap requests with the outcomes the key reports.
#include "otpwindow.h"

#include <QLabel>
#include <QPushButton>

namespace {

const QByteArray TwoEmpty = R"({"SW":"9000","INFO":"slot_1 slot_2"})";
const QByteArray TwoConfigured =
    R"({"SW":"9000","INFO":"slot_1 slot_2","DATA":[{"slot":"0","type":"HOTP","hash":"SHA1","name":"AA"},)"
    R"({"slot":"1","type":"CHALLENGE_RESPONSE","hash":"SHA1","name":"BB"}]})";
const QByteArray OneConfigured =
    R"({"SW":"9000","INFO":"slot_1","DATA":[{"slot":"0","type":"HOTP","hash":"SHA1","name":"AA"}]})";

const QString Empty = QStringLiteral("This slot is empty");
const QString Configured = QStringLiteral("This slot is configured");
const QString OtherError = QStringLiteral("Other error.Please try again or replug...");

} // namespace

class TestOtpList : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void listShowsSlots_data();
    void listShowsSlots();
    void listRecordsTheSlots();
    void failedListShowsEmptySlotsWithoutMessage();
    void deleteSendsTheSlotsLine_data();
    void deleteSendsTheSlotsLine();
    void declinedDeleteSendsNothing();
    void deleteOfEmptySlotDoesNothing();
    void deleteOutcome_data();
    void deleteOutcome();
    void swapOutcome_data();
    void swapOutcome();
    void backRereadsTheList();

private:
    OtpWindow* f = nullptr;
};

void TestOtpList::init()
{
    f = new OtpWindow;
    OTP_WINDOW_READY(*f);
}

void TestOtpList::cleanup()
{
    QVERIFY(f->modal.idle());
    delete f;
    QCOMPARE(visibleDialogCount(), 0);
}

void TestOtpList::listShowsSlots_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("secondSlot");
    QTest::addColumn<QString>("state1");
    QTest::addColumn<QString>("state2");
    QTest::addColumn<bool>("swap");
    QTest::newRow("two empty") << TwoEmpty << true << Empty << Empty << false;
    QTest::newRow("both configured") << TwoConfigured << true << Configured << Configured << true;
    QTest::newRow("slot_default, slot 2 only")
        << QByteArray(R"({"SW":"9000","INFO":"slot_default","DATA":[{"slot":"1","type":"HOTP","name":"01"}]})") << true
        << Empty << Configured << true;
    QTest::newRow("one slot") << OneConfigured << false << Configured << Empty << true;
    QTest::newRow("no INFO: one slot") << QByteArray(R"({"SW":"9000"})") << false << Empty << Empty << false;
    QTest::newRow("empty name is an empty slot")
        << QByteArray(R"({"SW":"9000","INFO":"slot_2","DATA":[{"slot":"0","type":"HOTP","hash":"SHA1","name":""}]})")
        << true << Empty << Empty << false;
    QTest::newRow("slot 2 value ignored")
        << QByteArray(R"({"SW":"9000","INFO":"slot_2","DATA":[{"slot":"2","type":"HOTP","name":"CC"}]})") << true
        << Empty << Empty << false;
    QTest::newRow("keys read by their first four characters")
        << QByteArray(R"({"SW":"9000","INFO":"slot_2","DATA":[{"slot_index":"1","names":"DD"}]})") << true << Empty
        << Configured << true;
    QTest::newRow("slot not a number") << QByteArray(
                                              R"({"SW":"9000","INFO":"slot_2","DATA":[{"slot":"one","name":"EE"}]})")
                                       << true << Empty << Empty << false;
}

void TestOtpList::listShowsSlots()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, secondSlot);
    QFETCH(QString, state1);
    QFETCH(QString, state2);
    QFETCH(bool, swap);
    // Start from the opposite picture, so every widget has to be set by this reply.
    OTP_ENTER_PAGE(*f, "R15", secondSlot ? OneConfigured : TwoConfigured);
    OTP_ENTER_PAGE(*f, "R15", reply);

    QCOMPARE(f->widget<QLabel>("label_otp_1_state")->text(), state1);
    QCOMPARE(f->widget<QLabel>("label_otp_2_state")->text(), state2);
    QCOMPARE(f->widget<QPushButton>("otp1Delete")->isEnabled(), state1 == Configured);
    QCOMPARE(f->widget<QPushButton>("otp2Delete")->isEnabled(), state2 == Configured);
    QCOMPARE(f->widget<QWidget>("otp_swap")->isEnabled(), swap);
    for (const char* name : {"label_7", "label_otp_2_state", "otp_swap", "groupBox_10"})
        QCOMPARE(f->widget<QWidget>(name)->isHidden(), !secondSlot);
    QVERIFY(!OtpWindow::messageUp());
}

void TestOtpList::listRecordsTheSlots()
{
    OTP_ENTER_PAGE(*f, "R15", TwoConfigured);
    const OTP_STRUCT first = MainWindowTestAccess::slot(f->window, 0);
    const OTP_STRUCT second = MainWindowTestAccess::slot(f->window, 1);
    QCOMPARE(first.slot, 0);
    QCOMPARE(first.type, QStringLiteral("HOTP"));
    QCOMPARE(first.hash, QStringLiteral("SHA1"));
    QCOMPARE(first.name, QStringLiteral("AA"));
    QCOMPARE(second.slot, 1);
    QCOMPARE(second.type, QStringLiteral("CHALLENGE_RESPONSE"));
    QCOMPARE(second.name, QStringLiteral("BB"));
    QCOMPARE(f->widget<QWidget>("contentPage")->property("currentIndex").toInt(), 10);
}

void TestOtpList::failedListShowsEmptySlotsWithoutMessage()
{
    OTP_ENTER_PAGE(*f, "R15", TwoConfigured);
    OTP_ENTER_PAGE(*f, "R15", R"({"SW":"6F00","INFO":"No security key is present."})");

    QCOMPARE(f->widget<QLabel>("label_otp_1_state")->text(), Empty);
    QCOMPARE(f->widget<QLabel>("label_otp_2_state")->text(), Empty);
    QVERIFY(!f->widget<QPushButton>("otp1Delete")->isEnabled());
    QVERIFY(!f->widget<QPushButton>("otp2Delete")->isEnabled());
    QVERIFY(!f->widget<QWidget>("otp_swap")->isEnabled());
    QVERIFY(MainWindowTestAccess::slot(f->window, 0).name.isEmpty());
    QVERIFY(MainWindowTestAccess::slot(f->window, 1).name.isEmpty());
    QVERIFY(!OtpWindow::messageUp());
    QVERIFY(f->modal.seen().isEmpty());
}

void TestOtpList::deleteSendsTheSlotsLine_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("line");
    const QString shortTouch = QStringLiteral("Do you want to delete the content of short touch (Slot 1)? \n"
                                              "this permanently deletes the configuration.");
    const QString longTouch = QStringLiteral("Do you want to delete the content of long touch (Slot 2)? \n"
                                             "this permanently deletes the configuration.");
    QTest::newRow("slot 1") << TwoConfigured << "otp1Delete" << shortTouch << "otp delete -s 0 -n AA";
    QTest::newRow("slot 2") << TwoConfigured << "otp2Delete" << longTouch << "otp delete -s 1 -n BB";
    QTest::newRow("single-slot key resets") << OneConfigured << "otp1Delete" << shortTouch << "otp reset";
}

void TestOtpList::deleteSendsTheSlotsLine()
{
    QFETCH(QByteArray, list);
    QFETCH(QString, button);
    QFETCH(QString, question);
    QFETCH(QString, line);
    OTP_ENTER_PAGE(*f, "R15", list);

    f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    f->widget<QPushButton>(qPrintable(button))->click();
    QTRY_COMPARE(f->lastLine(), line);
    QCOMPARE(f->lastMessage(), qMakePair(QStringLiteral("Delect"), question));
    QVERIFY(f->busy());
    QCOMPARE(f->busyText(), QStringLiteral("  Please touch your VELMORA FIDO Security Key ... "));
}

void TestOtpList::declinedDeleteSendsNothing()
{
    OTP_ENTER_PAGE(*f, "R15", TwoConfigured);
    const int before = f->lines().size();
    for (const char* button : {"otp1Delete", "otp2Delete"}) {
        f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("cancel"));
        f->widget<QPushButton>(button)->click();
        QVERIFY(f->modal.idle());
    }
    QVERIFY(!f->busy());
    // A command written now is the next line: nothing was written in between.
    f->widget<QWidget>("otp_swap")->setProperty("enabled", true);
    QMetaObject::invokeMethod(f->widget<QWidget>("otp_swap"), "click");
    QTRY_COMPARE(f->lines().size(), before + 1);
    QCOMPARE(f->lastLine(), QStringLiteral("otp swap"));
}

void TestOtpList::deleteOfEmptySlotDoesNothing()
{
    OTP_ENTER_PAGE(*f, "R15", TwoEmpty);
    // Enabled by hand: the click must still do nothing without a configured slot.
    f->widget<QPushButton>("otp1Delete")->setEnabled(true);
    f->widget<QPushButton>("otp1Delete")->click();
    QVERIFY(!OtpWindow::messageUp());
    QVERIFY(!f->busy());
    QCOMPARE(f->lastLine(), QStringLiteral("otp list"));
}

void TestOtpList::deleteOutcome_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("relisted");
    const QByteArray touch = R"({"SW":"6984","INFO":"Touch time out."})";
    const QByteArray touchNoInfo = R"({"SW":"6984"})";
    const QByteArray ok = R"({"SW":"9000"})";
    const QByteArray failed = R"({"SW":"6A80","INFO":"Name does not match."})";
    const QByteArray failedNoInfo = R"({"SW":"6F00"})";
    const QPair<QByteArray, QByteArray> keys[] = {{"delete", TwoConfigured}, {"reset", OneConfigured}};
    for (const auto& [name, list] : keys) {
        QTest::newRow(name + " touch time-out") << list << touch << "Warning"
                                                << "Touch time out." << false;
        QTest::newRow(name + " touch time-out without INFO") << list << touchNoInfo << "Warning"
                                                             << "Touch time out." << false;
        QTest::newRow(name + " success") << list << ok << "Success"
                                         << "Delete successfully." << true;
        QTest::newRow(name + " failure with INFO") << list << failed << "Warning"
                                                   << "Name does not match." << false;
        QTest::newRow(name + " failure without INFO") << list << failedNoInfo << "Warning" << OtherError << false;
    }
}

void TestOtpList::deleteOutcome()
{
    QFETCH(QByteArray, list);
    QFETCH(QByteArray, reply);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(bool, relisted);
    OTP_ENTER_PAGE(*f, "R15", list);
    f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    f->widget<QPushButton>("otp1Delete")->click();
    QTRY_VERIFY(f->lastLine().startsWith(QLatin1String("otp ")) && f->lastLine() != QLatin1String("otp list"));
    const int sent = f->lines().size();

    f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    f->reply(reply);
    QTRY_VERIFY(f->modal.idle());
    QCOMPARE(f->lastMessage(), qMakePair(title, text));
    QVERIFY(!f->busy());
    QCOMPARE(f->lines().size(), sent + (relisted ? 1 : 0));
    if (relisted)
        QCOMPARE(f->lastLine(), QStringLiteral("otp list"));
}

void TestOtpList::swapOutcome_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("relisted");
    QTest::newRow("success") << QByteArray(R"({"SW":"9000"})") << "Success"
                             << "Swap slots successfully." << true;
    QTest::newRow("touch time-out is a failure like others")
        << QByteArray(R"({"SW":"6984"})") << "Warning" << OtherError << false;
    QTest::newRow("failure with INFO") << QByteArray(R"({"SW":"6A81","INFO":"Only one slot."})") << "Warning"
                                       << "Only one slot." << false;
}

void TestOtpList::swapOutcome()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(bool, relisted);
    OTP_ENTER_PAGE(*f, "R15", TwoConfigured);
    f->widget<QAbstractButton>("otp_swap")->click();
    QTRY_COMPARE(f->lastLine(), QStringLiteral("otp swap"));
    // Swapping asks nothing and shows no busy panel.
    QVERIFY(f->modal.seen().isEmpty());
    QVERIFY(!f->busy());
    const int sent = f->lines().size();

    f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    f->reply(reply);
    QTRY_VERIFY(f->modal.idle());
    QCOMPARE(f->lastMessage(), qMakePair(title, text));
    QCOMPARE(f->lines().size(), sent + (relisted ? 1 : 0));
}

void TestOtpList::backRereadsTheList()
{
    OTP_ENTER_PAGE(*f, "R15", TwoConfigured);
    auto* modeSp = f->widget<QAbstractButton>("otp_mode_sp");
    modeSp->setChecked(true);
    f->widget<QWidget>("otpPage")->setProperty("currentIndex", 0);
    const int before = f->lines().size();
    f->widget<QPushButton>("backOtp")->click();
    QTRY_COMPARE(f->lines().size(), before + 1);
    QCOMPARE(f->lastLine(), QStringLiteral("otp list"));
    QCOMPARE(f->widget<QWidget>("contentPage")->property("currentIndex").toInt(), 10);
    QCOMPARE(f->widget<QWidget>("otpPage")->property("currentIndex").toInt(), 1);
    // Back shows no busy panel.
    QVERIFY(!f->busy());
    f->reply(TwoEmpty);
    QTRY_COMPARE(f->widget<QLabel>("label_otp_1_state")->text(), Empty);
}

QTEST_MAIN(TestOtpList)
#include "tst_otplist.moc"
