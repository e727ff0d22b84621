// How the key types: the with-enter setting (read on slot 1's page, written only by a click)
// and the keyboard language (R3 only, always shown as English on entry).
#include "otpwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>

namespace {

const QByteArray TwoEmpty = R"({"SW":"9000","INFO":"slot_1 slot_2"})";

} // namespace

class TestOtpKeyboard : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void readSettingChecksOnlyForExactly01_data();
    void readSettingChecksOnlyForExactly01();
    void failedReadDisablesTheBox();
    void clickWritesTheSetting_data();
    void clickWritesTheSetting();
    void slotTwoPageSendsNoApduAndDisablesTheBox();
    void languageResetsToEnglishOnEntry_data();
    void languageResetsToEnglishOnEntry();
    void saveLanguage_data();
    void saveLanguage();

private:
    QCheckBox* box() const { return f->widget<QCheckBox>("checkBox_withenter"); }

    OtpWindow* f = nullptr;
};

void TestOtpKeyboard::init()
{
    f = new OtpWindow;
    OTP_WINDOW_READY(*f);
    OTP_ENTER_PAGE(*f, "R15", TwoEmpty);
}

void TestOtpKeyboard::cleanup()
{
    QVERIFY(f->modal.idle());
    delete f;
    QCOMPARE(visibleDialogCount(), 0);
}

void TestOtpKeyboard::readSettingChecksOnlyForExactly01_data()
{
    QTest::addColumn<QByteArray>("info");
    QTest::addColumn<bool>("checked");
    QTest::newRow("01") << QByteArray("01") << true;
    QTest::newRow("00") << QByteArray("00") << false;
    QTest::newRow("1") << QByteArray("1") << false;
    QTest::newRow("001") << QByteArray("001") << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestOtpKeyboard::readSettingChecksOnlyForExactly01()
{
    QFETCH(QByteArray, info);
    QFETCH(bool, checked);
    box()->setChecked(!checked);
    const int before = f->lines().size();
    OTP_OPEN_CONF(*f, "otp1Conf", info);
    QCOMPARE(box()->isChecked(), checked);
    QVERIFY(box()->isEnabled());
    // A check state set by the program writes nothing.
    QCOMPARE(f->lines().size(), before + 1);
    QVERIFY(!OtpWindow::messageUp());
}

void TestOtpKeyboard::failedReadDisablesTheBox()
{
    box()->setChecked(true);
    f->widget<QAbstractButton>("otp1Conf")->click();
    QTRY_COMPARE(f->lastLine(), QStringLiteral("device send_apdu -c 80E3050001"));
    f->reply(R"({"SW":"6A82","INFO":"The OTP application is switched off."})");
    QTRY_VERIFY(f->idle());
    QVERIFY(!box()->isEnabled());
    QVERIFY(box()->isChecked());
    QVERIFY(!OtpWindow::messageUp());
    QVERIFY(f->modal.seen().isEmpty());
    // The rest of the page still works.
    QTest::keyClicks(f->widget<QWidget>("lineEdit_hotp_key"), QStringLiteral("12"));
    QVERIFY(f->widget<QPushButton>("hotp_config")->isEnabled());
}

void TestOtpKeyboard::clickWritesTheSetting_data()
{
    QTest::addColumn<QByteArray>("current");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::newRow("switch on") << QByteArray("00") << "device send_apdu -c 80E105010101"
                               << QByteArray(R"({"SW":"9000"})") << "Success"
                               << "Set successfully.";
    QTest::newRow("switch off") << QByteArray("01") << "device send_apdu -c 80E105010100"
                                << QByteArray(R"({"SW":"9000"})") << "Success"
                                << "Set successfully.";
    QTest::newRow("failure with INFO") << QByteArray("00") << "device send_apdu -c 80E105010101"
                                       << QByteArray(R"({"SW":"6A80","INFO":"Refused."})") << "Warning"
                                       << "Refused.";
    QTest::newRow("failure without INFO")
        << QByteArray("01") << "device send_apdu -c 80E105010100" << QByteArray(R"({"SW":"6F00"})") << "Warning"
        << "Other error.Please try again or replug...";
}

void TestOtpKeyboard::clickWritesTheSetting()
{
    QFETCH(QByteArray, current);
    QFETCH(QString, line);
    QFETCH(QByteArray, reply);
    QFETCH(QString, title);
    QFETCH(QString, text);
    OTP_OPEN_CONF(*f, "otp1Conf", current);
    QTest::mouseClick(box(), Qt::LeftButton, Qt::NoModifier, QPoint(5, box()->height() / 2));
    QTRY_COMPARE(f->lastLine(), line);
    // No busy panel for the APDUs.
    QVERIFY(!f->busy());

    f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    f->reply(reply);
    QTRY_VERIFY(f->modal.idle());
    QCOMPARE(f->lastMessage(), qMakePair(title, text));
}

void TestOtpKeyboard::slotTwoPageSendsNoApduAndDisablesTheBox()
{
    OTP_OPEN_CONF(*f, "otp1Conf", "01");
    QVERIFY(box()->isChecked());
    const int before = f->lines().size();
    f->widget<QAbstractButton>("otp2Conf")->click();
    QVERIFY(!box()->isChecked());
    QVERIFY(!box()->isEnabled());
    QCOMPARE(f->widget<QWidget>("contentPage")->property("currentIndex").toInt(), 11);
    QVERIFY(f->idle());
    QCOMPARE(f->lines().size(), before);

    // Back on slot 1, the box is offered and read again.
    OTP_OPEN_CONF(*f, "otp1Conf", "01");
    QVERIFY(box()->isEnabled());
    QVERIFY(box()->isChecked());
}

void TestOtpKeyboard::languageResetsToEnglishOnEntry_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<bool>("available");
    QTest::newRow("R3") << "R3" << true;
    QTest::newRow("R15") << "R15" << false;
    QTest::newRow("R8") << "R8" << false;
    QTest::newRow("r3 is not R3") << "r3" << false;
}

void TestOtpKeyboard::languageResetsToEnglishOnEntry()
{
    QFETCH(QString, model);
    QFETCH(bool, available);
    auto* language = f->widget<QComboBox>("combobox_language");
    language->setCurrentIndex(1);
    MainWindowTestAccess::setModel(f->window, model);
    MainWindowTestAccess::otpClicked(f->window);
    QCOMPARE(language->currentIndex(), 0);
    QCOMPARE(language->currentText(), QStringLiteral("English"));
    QCOMPARE(language->isEnabled(), available);
    QCOMPARE(f->widget<QWidget>("save_language")->isEnabled(), available);
    QVERIFY(f->busy());
    QCOMPARE(f->busyText(), QStringLiteral("Please wait ..."));
    f->reply(TwoEmpty);
    QTRY_VERIFY(!f->busy());
}

void TestOtpKeyboard::saveLanguage_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    const QString failed =
        QStringLiteral("Failed to set language. \nThe current device may not support this function!");
    QTest::newRow("French") << 1 << "otp set_language -c FR" << QByteArray(R"({"SW":"9000"})") << "Success"
                            << "Set language successfully.";
    QTest::newRow("English") << 0 << "otp set_language -c EN" << QByteArray(R"({"SW":"9000"})") << "Success"
                             << "Set language successfully.";
    QTest::newRow("failure hides INFO") << 1 << "otp set_language -c FR"
                                        << QByteArray(R"({"SW":"6A81","INFO":"No keyboard language."})") << "Warning"
                                        << failed;
}

void TestOtpKeyboard::saveLanguage()
{
    QFETCH(int, index);
    QFETCH(QString, line);
    QFETCH(QByteArray, reply);
    QFETCH(QString, title);
    QFETCH(QString, text);
    OTP_ENTER_PAGE(*f, "R3", TwoEmpty);
    f->widget<QComboBox>("combobox_language")->setCurrentIndex(index);
    auto* save = f->widget<QPushButton>("save_language");
    save->click();
    QTRY_COMPARE(f->lastLine(), line);
    QVERIFY(!save->isEnabled());

    f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    f->reply(reply);
    QTRY_VERIFY(f->modal.idle());
    QCOMPARE(f->lastMessage(), qMakePair(title, text));
    QVERIFY(save->isEnabled());
}

QTEST_MAIN(TestOtpKeyboard)
#include "tst_otpkeyboard.moc"
