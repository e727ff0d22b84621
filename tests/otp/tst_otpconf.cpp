// The OTP configuration page: the command line each mode writes, when OK is offered, the
// input rules, the generators, the overwrite question and the outcome of a write.
#include "otpwindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegExp>

namespace {

const QByteArray TwoEmpty = R"({"SW":"9000","INFO":"slot_1 slot_2"})";
const QByteArray FirstConfigured = R"({"SW":"9000","INFO":"slot_1 slot_2","DATA":[{"slot":"0","name":"AA"}]})";
const QByteArray SingleSlot = R"({"SW":"9000","INFO":"slot_1"})";
const QString Serial = QStringLiteral("4C7D13A8");
const QString SerialHex = QStringLiteral("3443374431334138");

const char* keyEditOf(const QString& mode)
{
    return mode == QLatin1String("otp_mode_hotp") ? "lineEdit_hotp_key"
           : mode == QLatin1String("otp_mode_sp") ? "lineEdit_sta_key"
                                                  : "lineEdit_cr_key";
}

const char* nameEditOf(const QString& mode)
{
    return mode == QLatin1String("otp_mode_hotp") ? "lineEdit_hotp_name"
           : mode == QLatin1String("otp_mode_sp") ? "lineEdit_sta_name"
                                                  : "lineEdit_cr_name";
}

const char* okOf(const QString& mode)
{
    return mode == QLatin1String("otp_mode_hotp") ? "hotp_config"
           : mode == QLatin1String("otp_mode_sp") ? "sta_config"
                                                  : "cr_config";
}

// Types as a keyboard would, characters beyond ASCII included (keyClicks only knows ASCII).
void typeText(QWidget* edit, const QString& text)
{
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

} // namespace

class TestOtpConf : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void commandLineOfEachMode_data();
    void commandLineOfEachMode();
    void okNeedsAWholeKey_data();
    void okNeedsAWholeKey();
    void emptyNameDisablesOk_data();
    void emptyNameDisablesOk();
    void zeroSerialGivesEmptyNames();
    void staticKeyLosesBadLastCharacter_data();
    void staticKeyLosesBadLastCharacter();
    void validatorsRefuseCharacters_data();
    void validatorsRefuseCharacters();
    void singleSlotKeyOffersOnlyHotp();
    void changingModeResetsThePage();
    void overwriteQuestion();
    void putOutcome_data();
    void putOutcome();
    void generatorsFillTheirField_data();
    void generatorsFillTheirField();

private:
    void openMode(const QString& conf, const QString& mode);

    OtpWindow* f = nullptr;
};

void TestOtpConf::init()
{
    f = new OtpWindow;
    OTP_WINDOW_READY(*f);
    f->widget<QLabel>("snValue")->setText(Serial);
}

void TestOtpConf::cleanup()
{
    QVERIFY(f->modal.idle());
    delete f;
    QCOMPARE(visibleDialogCount(), 0);
}

// The OTP page with both slots empty, then the configuration page of `conf` in `mode`.
void TestOtpConf::openMode(const QString& conf, const QString& mode)
{
    OTP_ENTER_PAGE(*f, "R15", TwoEmpty);
    OTP_OPEN_CONF(*f, qPrintable(conf), "00");
    f->widget<QAbstractButton>(qPrintable(mode))->click();
}

void TestOtpConf::commandLineOfEachMode_data()
{
    QTest::addColumn<QString>("conf");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QStringList>("toggles");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("line");
    QTest::newRow("HOTP slot 1, 6 digits, key as typed") << "otp1Conf"
                                                         << "otp_mode_hotp" << QStringList() << "ABC"
                                                         << "0123abcdEF"
                                                         << "otp put -s 0 -k 0123abcdEF -a SHA1 -t HOTP -d 6 -n 414243";
    QTest::newRow("HOTP slot 2, 8 digits, default name")
        << "otp2Conf"
        << "otp_mode_hotp" << QStringList{"radio_hotp_digits_8"} << QString() << QString(32, 'a')
        << "otp put -s 1 -k " + QString(32, 'a') + " -a SHA1 -t HOTP -d 8 -n " + SerialHex;
    QTest::newRow("static modhex, Latin-1 name")
        << "otp1Conf"
        << "otp_mode_sp" << QStringList() << QString::fromUtf8("é1") << "cbdefghiVV"
        << "otp put -s 0 -k 63626465666768695656 -a SHA1 -t STATIC_PASSWORD -n E931";
    QTest::newRow("static any character") << "otp2Conf"
                                          << "otp_mode_sp" << QStringList{"check_sta_any"} << "x"
                                          << "a b~"
                                          << "otp put -s 1 -k 6120627E -a SHA1 -t STATIC_PASSWORD -n 78";
    QTest::newRow("challenge-response, key as typed")
        << "otp1Conf"
        << "otp_mode_cr" << QStringList() << QString() << "4a656665"
        << "otp put -s 0 -k 4a656665 -a SHA1 -t CHALLENGE_RESPONSE -n " + SerialHex;
}

void TestOtpConf::commandLineOfEachMode()
{
    QFETCH(QString, conf);
    QFETCH(QString, mode);
    QFETCH(QStringList, toggles);
    QFETCH(QString, name);
    QFETCH(QString, key);
    QFETCH(QString, line);
    openMode(conf, mode);
    for (const QString& toggle : toggles)
        f->widget<QAbstractButton>(qPrintable(toggle))->click();
    if (!name.isNull())
        f->widget<QLineEdit>(nameEditOf(mode))->setText(name);
    QTest::keyClicks(f->widget<QLineEdit>(keyEditOf(mode)), key);
    auto* ok = f->widget<QPushButton>(okOf(mode));
    QVERIFY(ok->isEnabled());

    ok->click();
    QTRY_COMPARE(f->lastLine(), line);
    QCOMPARE(f->busyText(), QStringLiteral("  Please touch your VELMORA FIDO Security Key ... "));
    QVERIFY(f->modal.seen().isEmpty());
}

void TestOtpConf::okNeedsAWholeKey_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("enabled");
    for (const QString mode : {"otp_mode_hotp", "otp_mode_cr"}) {
        const QByteArray m = mode.toLatin1();
        QTest::newRow(m + " empty") << mode << QString() << false;
        QTest::newRow(m + " one digit") << mode << "1" << false;
        QTest::newRow(m + " two digits") << mode << "1f" << true;
        QTest::newRow(m + " 31 digits") << mode << QString(31, 'b') << false;
        QTest::newRow(m + " 32 digits") << mode << QString(32, 'B') << true;
    }
    QTest::newRow("static empty") << "otp_mode_sp" << QString() << false;
    QTest::newRow("static one letter") << "otp_mode_sp"
                                       << "b" << true;
}

void TestOtpConf::okNeedsAWholeKey()
{
    QFETCH(QString, mode);
    QFETCH(QString, key);
    QFETCH(bool, enabled);
    openMode(QStringLiteral("otp1Conf"), mode);
    QVERIFY(!f->widget<QPushButton>(okOf(mode))->isEnabled());
    QTest::keyClicks(f->widget<QLineEdit>(keyEditOf(mode)), key);
    QCOMPARE(f->widget<QPushButton>(okOf(mode))->isEnabled(), enabled);
}

void TestOtpConf::emptyNameDisablesOk_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("key");
    QTest::newRow("HOTP") << "otp_mode_hotp"
                          << "12";
    QTest::newRow("static") << "otp_mode_sp"
                            << "bc";
    QTest::newRow("challenge-response") << "otp_mode_cr"
                                        << "12";
}

void TestOtpConf::emptyNameDisablesOk()
{
    QFETCH(QString, mode);
    QFETCH(QString, key);
    openMode(QStringLiteral("otp2Conf"), mode);
    auto* ok = f->widget<QPushButton>(okOf(mode));
    auto* name = f->widget<QLineEdit>(nameEditOf(mode));
    QTest::keyClicks(f->widget<QLineEdit>(keyEditOf(mode)), key);
    QVERIFY(ok->isEnabled());
    name->clear();
    QVERIFY(!ok->isEnabled());
    QTest::keyClicks(name, QStringLiteral("n"));
    QVERIFY(ok->isEnabled());
}

void TestOtpConf::zeroSerialGivesEmptyNames()
{
    f->widget<QLabel>("snValue")->setText(QStringLiteral("00000000"));
    for (const QString mode : {"otp_mode_hotp", "otp_mode_sp", "otp_mode_cr"}) {
        openMode(QStringLiteral("otp1Conf"), mode);
        QCOMPARE(f->widget<QLineEdit>(nameEditOf(mode))->text(), QString());
    }
    // The key check does not look at the name: a whole key offers OK, and the line ends with
    // an empty name.
    openMode(QStringLiteral("otp1Conf"), QStringLiteral("otp_mode_hotp"));
    QTest::keyClicks(f->widget<QLineEdit>("lineEdit_hotp_key"), QStringLiteral("12"));
    QVERIFY(f->widget<QPushButton>("hotp_config")->isEnabled());
    f->widget<QPushButton>("hotp_config")->click();
    QTRY_COMPARE(f->lastLine(), QStringLiteral("otp put -s 0 -k 12 -a SHA1 -t HOTP -d 6 -n "));
}

void TestOtpConf::staticKeyLosesBadLastCharacter_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("kept");
    QTest::newRow("tab") << "abc\t"
                         << "abc";
    QTest::newRow("less than") << "ab<"
                               << "ab";
    QTest::newRow("greater than") << "ab>"
                                  << "ab";
    QTest::newRow("DEL") << QString("ab") + QChar(0x7F) << "ab";
    QTest::newRow("e acute") << QString::fromUtf8("abé") << "ab";
    QTest::newRow("ideograph") << QString::fromUtf8("a中") << "a";
    QTest::newRow("outside BMP") << QString::fromUtf8("a\U0001F600") << "a";
    QTest::newRow("run of bad endings") << "a<<>>"
                                        << "a";
    QTest::newRow("only bad") << "<\t>" << QString();
    QTest::newRow("tilde and blank stay") << "a ~"
                                          << "a ~";
    // Only the last character is looked at.
    QTest::newRow("bad inside stays") << "a<b"
                                      << "a<b";
}

void TestOtpConf::staticKeyLosesBadLastCharacter()
{
    QFETCH(QString, text);
    QFETCH(QString, kept);
    openMode(QStringLiteral("otp1Conf"), QStringLiteral("otp_mode_sp"));
    f->widget<QAbstractButton>("check_sta_any")->click();
    auto* key = f->widget<QLineEdit>("lineEdit_sta_key");
    key->setText(text);
    QCOMPARE(key->text(), kept);
    QCOMPARE(f->widget<QPushButton>("sta_config")->isEnabled(), !kept.isEmpty());
}

void TestOtpConf::validatorsRefuseCharacters_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("anyCharacter");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("HOTP key hex") << "otp_mode_hotp" << false << "lineEdit_hotp_key"
                                  << "12xG4aF-"
                                  << "124aF";
    QTest::newRow("CR key hex") << "otp_mode_cr" << false << "lineEdit_cr_key"
                                << "0z9 Ab"
                                << "09Ab";
    QTest::newRow("static key modhex") << "otp_mode_sp" << false << "lineEdit_sta_key"
                                       << "bcxyzB1V"
                                       << "bcBV";
    QTest::newRow("static key any character")
        << "otp_mode_sp" << true << "lineEdit_sta_key" << QString::fromUtf8("a中b<c") << "abc";
    QTest::newRow("HOTP name no CJK") << "otp_mode_hotp" << false << "lineEdit_hotp_name"
                                      << QString::fromUtf8("A中。B-1") << "AB-1";
    QTest::newRow("static name no CJK") << "otp_mode_sp" << false << "lineEdit_sta_name" << QString::fromUtf8("（x）")
                                        << "x";
    QTest::newRow("CR name no CJK") << "otp_mode_cr" << false << "lineEdit_cr_name" << QString::fromUtf8("y，z")
                                    << "yz";
}

void TestOtpConf::validatorsRefuseCharacters()
{
    QFETCH(QString, mode);
    QFETCH(bool, anyCharacter);
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    openMode(QStringLiteral("otp1Conf"), mode);
    if (anyCharacter)
        f->widget<QAbstractButton>("check_sta_any")->click();
    auto* edit = f->widget<QLineEdit>(qPrintable(field));
    edit->clear();
    typeText(edit, typed);
    QCOMPARE(edit->text(), kept);
}

void TestOtpConf::singleSlotKeyOffersOnlyHotp()
{
    OTP_ENTER_PAGE(*f, "R8", SingleSlot);
    OTP_OPEN_CONF(*f, "otp1Conf", "00");
    QVERIFY(f->widget<QAbstractButton>("otp_mode_hotp")->isChecked());
    QVERIFY(!f->widget<QWidget>("otp_mode_hotp")->isHidden());
    QVERIFY(f->widget<QWidget>("otp_mode_sp")->isHidden());
    QVERIFY(f->widget<QWidget>("otp_mode_cr")->isHidden());
    QCOMPARE(f->widget<QLabel>("label_slot")->text(), QStringLiteral("SHORT TOUCH(Slot 1)"));
    QCOMPARE(f->widget<QWidget>("contentPage")->property("currentIndex").toInt(), 11);

    OTP_ENTER_PAGE(*f, "R15", TwoEmpty);
    OTP_OPEN_CONF(*f, "otp1Conf", "00");
    QVERIFY(!f->widget<QWidget>("otp_mode_sp")->isHidden());
    QVERIFY(!f->widget<QWidget>("otp_mode_cr")->isHidden());
}

void TestOtpConf::changingModeResetsThePage()
{
    openMode(QStringLiteral("otp2Conf"), QStringLiteral("otp_mode_hotp"));
    QCOMPARE(f->widget<QLabel>("label_slot")->text(), QStringLiteral("LONG TOUCH(Slot 2)"));
    f->widget<QAbstractButton>("radio_hotp_digits_8")->click();
    f->widget<QLineEdit>("lineEdit_hotp_name")->setText(QStringLiteral("other"));
    QTest::keyClicks(f->widget<QLineEdit>("lineEdit_hotp_key"), QStringLiteral("1234"));

    f->widget<QAbstractButton>("otp_mode_cr")->click();
    QCOMPARE(f->widget<QWidget>("otpPage")->property("currentIndex").toInt(), 2);
    QVERIFY(f->widget<QAbstractButton>("check_cr_touch")->isChecked());
    QVERIFY(!f->widget<QWidget>("check_cr_touch")->isEnabled());
    QCOMPARE(f->widget<QLineEdit>("lineEdit_cr_name")->text(), Serial);

    f->widget<QAbstractButton>("otp_mode_sp")->click();
    QCOMPARE(f->widget<QWidget>("otpPage")->property("currentIndex").toInt(), 1);
    f->widget<QAbstractButton>("check_sta_any")->click();
    QTest::keyClicks(f->widget<QLineEdit>("lineEdit_sta_key"), QStringLiteral("x1"));
    // Switching the character set starts the key afresh.
    f->widget<QAbstractButton>("check_sta_any")->click();
    QCOMPARE(f->widget<QLineEdit>("lineEdit_sta_key")->text(), QString());
    QVERIFY(!f->widget<QPushButton>("sta_config")->isEnabled());

    f->widget<QAbstractButton>("otp_mode_hotp")->click();
    QCOMPARE(f->widget<QWidget>("otpPage")->property("currentIndex").toInt(), 0);
    QCOMPARE(f->widget<QLineEdit>("lineEdit_hotp_key")->text(), QString());
    QCOMPARE(f->widget<QLineEdit>("lineEdit_hotp_name")->text(), Serial);
    QVERIFY(f->widget<QAbstractButton>("radio_hotp_digits_6")->isChecked());
    QVERIFY(!f->widget<QPushButton>("hotp_config")->isEnabled());
}

void TestOtpConf::overwriteQuestion()
{
    OTP_ENTER_PAGE(*f, "R15", FirstConfigured);
    OTP_OPEN_CONF(*f, "otp1Conf", "00");
    QTest::keyClicks(f->widget<QLineEdit>("lineEdit_hotp_key"), QStringLiteral("12"));
    const int before = f->lines().size();

    f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("cancel"));
    f->widget<QPushButton>("hotp_config")->click();
    QVERIFY(f->modal.idle());
    QCOMPARE(f->lastMessage(), qMakePair(QStringLiteral("Overwrite"),
                                         QStringLiteral("Do you want to overwrite the existing configuration?")));
    QVERIFY(!f->busy());
    QCOMPARE(f->lines().size(), before);

    f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    f->widget<QPushButton>("hotp_config")->click();
    QTRY_COMPARE(f->lines().size(), before + 1);
    QVERIFY(f->lastLine().startsWith(QLatin1String("otp put -s 0 ")));
    f->reply(R"({"SW":"6984"})");
    f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    QTRY_VERIFY(f->modal.idle());

    // Slot 2 is empty: no question.
    f->modal.clearSeen();
    OTP_OPEN_CONF(*f, "otp2Conf", "");
    QTest::keyClicks(f->widget<QLineEdit>("lineEdit_hotp_key"), QStringLiteral("12"));
    f->widget<QPushButton>("hotp_config")->click();
    QTRY_VERIFY(f->lastLine().startsWith(QLatin1String("otp put -s 1 ")));
    QVERIFY(f->modal.seen().isEmpty());
}

void TestOtpConf::putOutcome_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::newRow("success") << QByteArray(R"({"SW":"9000"})") << "Success"
                             << "OTP personalization successfully. ";
    QTest::newRow("touch time-out") << QByteArray(R"({"SW":"6984","INFO":"Touch time out."})") << "Warning"
                                    << "Touch time out.";
    QTest::newRow("failure with INFO") << QByteArray(R"({"SW":"6A80","INFO":"Bad key."})") << "Warning"
                                       << "Bad key.";
    QTest::newRow("failure without INFO") << QByteArray(R"({"SW":"6F00"})") << "Warning"
                                          << "Other error.Please try again or replug...";
}

void TestOtpConf::putOutcome()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, title);
    QFETCH(QString, text);
    openMode(QStringLiteral("otp2Conf"), QStringLiteral("otp_mode_cr"));
    QTest::keyClicks(f->widget<QLineEdit>("lineEdit_cr_key"), QStringLiteral("4a656665"));
    f->widget<QPushButton>("cr_config")->click();
    QTRY_VERIFY(f->lastLine().startsWith(QLatin1String("otp put")));
    QVERIFY(f->busy());

    f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    f->reply(reply);
    QTRY_VERIFY(f->modal.idle());
    QCOMPARE(f->lastMessage(), qMakePair(title, text));
    QVERIFY(!f->busy());
    // The form keeps its contents for another try, or as written.
    QCOMPARE(f->widget<QLineEdit>("lineEdit_cr_key")->text(), QStringLiteral("4a656665"));
    QCOMPARE(f->widget<QWidget>("contentPage")->property("currentIndex").toInt(), 11);

    const OTP_STRUCT slot2 = MainWindowTestAccess::slot(f->window, 1);
    const bool written = reply.contains("9000");
    QCOMPARE(slot2.name, written ? SerialHex : QString());
    if (written) {
        QCOMPARE(slot2.slot, 1);
        QCOMPARE(slot2.type, QStringLiteral("CHALLENGE_RESPONSE"));
        QCOMPARE(slot2.hash, QStringLiteral("SHA1"));
        QVERIFY(slot2.key.isEmpty());
        // The slot now counts as configured: writing it again asks first.
        f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("cancel"));
        f->widget<QPushButton>("cr_config")->click();
        QVERIFY(f->modal.idle());
        QCOMPARE(f->lastMessage().first, QStringLiteral("Overwrite"));
    }
}

void TestOtpConf::generatorsFillTheirField_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("anyCharacter");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("pattern");
    const QString hexKey = QStringLiteral("([2-6][0-9A-F]|7[0-9A-D]){16}");
    const QString serial = QStringLiteral("[0-9]{12}");
    QTest::newRow("HOTP key") << "otp_mode_hotp" << false << "hotp_gen_key"
                              << "lineEdit_hotp_key" << hexKey;
    QTest::newRow("HOTP name") << "otp_mode_hotp" << false << "hotp_gen_name"
                               << "lineEdit_hotp_name" << serial;
    QTest::newRow("CR key") << "otp_mode_cr" << false << "cr_gen_key"
                            << "lineEdit_cr_key" << hexKey;
    QTest::newRow("CR name") << "otp_mode_cr" << false << "cr_gen_name"
                             << "lineEdit_cr_name" << serial;
    QTest::newRow("static name") << "otp_mode_sp" << false << "sta_gen_name"
                                 << "lineEdit_sta_name" << serial;
    QTest::newRow("static modhex key") << "otp_mode_sp" << false << "sta_gen_key"
                                       << "lineEdit_sta_key"
                                       << "[bcdefghijklnrtuvBCDEFGHIJKLNRTUV]{16}";
    // A "<" or ">" drawn last is dropped by the static key's own rule.
    QTest::newRow("static any key") << "otp_mode_sp" << true << "sta_gen_key"
                                    << "lineEdit_sta_key"
                                    << "[ -}]{14,16}";
}

void TestOtpConf::generatorsFillTheirField()
{
    QFETCH(QString, mode);
    QFETCH(bool, anyCharacter);
    QFETCH(QString, button);
    QFETCH(QString, field);
    QFETCH(QString, pattern);
    openMode(QStringLiteral("otp1Conf"), mode);
    if (anyCharacter)
        f->widget<QAbstractButton>("check_sta_any")->click();
    f->widget<QAbstractButton>(qPrintable(button))->click();
    const QString text = f->widget<QLineEdit>(qPrintable(field))->text();
    QVERIFY2(QRegExp(pattern).exactMatch(text), qPrintable(text));
    // A generated key is always a valid one.
    QCOMPARE(f->widget<QPushButton>(okOf(mode))->isEnabled(), field.endsWith(QLatin1String("key")));
}

QTEST_MAIN(TestOtpConf)
#include "tst_otpconf.moc"
