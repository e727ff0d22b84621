// The OTP pages on a recording backend. The overview: how an "otp list" reply shows the slots,
// delete, reset and swap with the outcomes the key reports, the keyboard language (R3 only).
// The configuration page: the command line each mode writes, when OK is offered, the input
// rules, the generators, the overwrite question, and the with-enter setting (read on slot 1's
// page, written only by a click), and the check of a written challenge-response slot.
#include "otp/otpinput.h"
#include "otpwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageAuthenticationCode>
#include <QRegExp>
#include <QRegularExpression>
#include <QSet>

namespace {

const QByteArray TwoEmpty = R"({"SW":"9000","INFO":"slot_1 slot_2"})";
const QString SerialHex = QStringLiteral("3443374431334138"); // "4C7D13A8"
const QByteArray TwoConfigured =
    R"({"SW":"9000","INFO":"slot_1 slot_2","DATA":[{"slot":"0","type":"HOTP","hash":"SHA1","name":"AA"},)"
    R"({"slot":"1","type":"CHALLENGE_RESPONSE","hash":"SHA1","name":"BB"}]})";
const QByteArray OneConfigured = R"({"SW":"9000","INFO":"slot_1","DATA":[{"slot":"0","type":"HOTP","name":"AA"}]})";
const QString Empty = QStringLiteral("This slot is empty");
const QString Configured = QStringLiteral("This slot is configured");

} // namespace

class TestOtpWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void listShowsSlots_data();
    void listShowsSlots();
    void slotActions_data();
    void slotActions();
    void language_data();
    void language();
    void commandLineOfEachMode_data();
    void commandLineOfEachMode();
    void zeroSerialGivesEmptyNames();
    void fieldsKeepOnlyAllowedText_data();
    void fieldsKeepOnlyAllowedText();
    void generatorsFillTheirField_data();
    void generatorsFillTheirField();
    void singleSlotKeyOffersOnlyOathOtp();
    void withEnterReadAndWrite_data();
    void withEnterReadAndWrite();
    void challengeCheckComparesTheResponse_data();
    void challengeCheckComparesTheResponse();

private:
    // The pages go by their prefix: "hotp", "sta" (static password) or "cr".
    bool openPage(const QString& conf, const QString& page)
    {
        if (!f->enterPage(QStringLiteral("R15"), TwoEmpty))
            return false;
        if (conf == QLatin1String("otp2Conf"))
            f->click(conf);
        else if (!f->openConf())
            return false;
        f->click(page == QLatin1String("sta") ? QStringLiteral("otp_mode_sp") : "otp_mode_" + page);
        return true;
    }
    QLineEdit* field(const QString& page, const QString& which) const
    {
        return f->widget<QLineEdit>("lineEdit_" + page + "_" + which);
    }
    // Lines arrive in order: when the list that Back sends comes next, nothing came before it.
    bool nothingSentSince(int before)
    {
        f->click(QStringLiteral("backOtp"));
        if (!OtpWindow::waitFor([this] { return f->lastLine() == QLatin1String("otp list"); }))
            return false;
        f->reply(TwoEmpty);
        return f->lines().size() == before + 1 && OtpWindow::waitFor([this] { return f->idle(); });
    }

    OtpWindow* f = nullptr;
};

void TestOtpWindow::init()
{
    f = new OtpWindow;
    f->widget<QLabel>("snValue")->setText(QStringLiteral("4C7D13A8"));
}

void TestOtpWindow::cleanup()
{
    QVERIFY(f->modal.idle());
    delete f;
    QCOMPARE(visibleDialogCount(), 0);
}

void TestOtpWindow::listShowsSlots_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("secondSlot");
    QTest::addColumn<QString>("state1");
    QTest::addColumn<QString>("state2");
    const auto row = [](const char* name, const QByteArray& before, const QByteArray& reply, bool second,
                        const QString& state1, const QString& state2) {
        QTest::newRow(name) << before << reply << second << state1 << state2;
    };
    const QByteArray slot2 = R"({"SW":"9000","INFO":"slot_2","DATA":[)";
    row("two empty", OneConfigured, R"({"SW":"9000","INFO":"slot_1 slot_2"})", true, Empty, Empty);
    row("both configured", OneConfigured, TwoConfigured, true, Configured, Configured);
    row("slot_default", OneConfigured, R"({"SW":"9000","INFO":"slot_default","DATA":[{"slot":"1","name":"01"}]})", true,
        Empty, Configured);
    row("neither slot_2 nor slot_default", TwoConfigured, OneConfigured, false, Configured, Empty);
    row("empty name", TwoConfigured, slot2 + R"({"slot":"0","type":"HOTP","name":""}]})", true, Configured, Empty);
    row("slot value 2 ignored", TwoConfigured, slot2 + R"({"slot":"2","name":"CC"}]})", true, Empty, Empty);
    row("keys told by four characters", TwoConfigured, slot2 + R"({"slot_index":"1","names":"DD"}]})", true, Empty,
        Configured);
    row("failed list", TwoConfigured, R"({"SW":"6F00","INFO":"No security key is present."})", true, Empty, Empty);
}

void TestOtpWindow::listShowsSlots()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, reply);
    QFETCH(bool, secondSlot);
    QFETCH(QString, state1);
    QFETCH(QString, state2);
    // Start from another picture, so every widget has to be set by this reply.
    QVERIFY(f->enterPage(QStringLiteral("R15"), before));
    QVERIFY(f->enterPage(QStringLiteral("R15"), reply));

    QCOMPARE(f->text("label_otp_1_state"), state1);
    QCOMPARE(f->text("label_otp_2_state"), state2);
    QCOMPARE(f->widget("otp1Delete")->isEnabled(), state1 == Configured);
    QCOMPARE(f->widget("otp2Delete")->isEnabled(), state2 == Configured);
    QCOMPARE(f->widget("otp_swap")->isEnabled(), state1 == Configured || state2 == Configured);
    // The slot records follow: they decide whether a write asks to overwrite.
    QCOMPARE(f->slotConfigured(0), state1 == Configured);
    for (const char* name : {"label_7", "label_otp_2_state", "otp_swap", "groupBox_10"})
        QCOMPARE(f->widget(name)->isHidden(), !secondSlot);
    QVERIFY(f->modal.seen().isEmpty());
}

void TestOtpWindow::slotActions_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QByteArray>("sw");
    QTest::addColumn<QString>("text");
    const auto row = [](const char* name, const QByteArray& list, const char* button, const char* line, const char* sw,
                        const char* text) { QTest::newRow(name) << list << button << line << QByteArray(sw) << text; };
    row("delete 1, touch time-out", TwoConfigured, "otp1Delete", "otp delete -s 0 -n AA", "6984", "Touch time out.");
    row("delete 2, done", TwoConfigured, "otp2Delete", "otp delete -s 1 -n BB", "9000", "Delete successfully.");
    row("single slot resets", OneConfigured, "otp1Delete", "otp reset", "9000", "Delete successfully.");
    row("swap, done", TwoConfigured, "otp_swap", "otp swap", "9000", "Swap slots successfully.");
    row("swap, touch time-out is a plain failure", TwoConfigured, "otp_swap", "otp swap", "6984", "x");
}

void TestOtpWindow::slotActions()
{
    QFETCH(QByteArray, list);
    QFETCH(QString, button);
    QFETCH(QString, line);
    QFETCH(QByteArray, sw);
    QFETCH(QString, text);
    QVERIFY(f->enterPage(QStringLiteral("R15"), list));
    const bool swap = button == QLatin1String("otp_swap");
    if (!swap)
        f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    f->click(button);
    QTRY_COMPARE(f->lastLine(), line);
    const QString slot = button == QLatin1String("otp1Delete") ? "short touch (Slot 1)? \n" : "long touch (Slot 2)? \n";
    if (!swap)
        QCOMPARE(f->lastMessage(),
                 qMakePair(QStringLiteral("Delect"), "Do you want to delete the content of " + slot +
                                                         "this permanently deletes the configuration."));
    // Deleting waits for a touch; swapping asks nothing and shows no busy panel.
    QCOMPARE(f->busyText(), swap ? QString() : QStringLiteral("  Please touch your VELMORA FIDO Security Key ... "));

    const bool done = sw == "9000";
    // The INFO the key sends is not what a touch time-out shows.
    QCOMPARE(f->answer(R"({"SW":")" + sw + R"(","INFO":"x"})"), qMakePair(QString(done ? "Success" : "Warning"), text));
    QVERIFY(!f->busy());
    // Success reads the slots again.
    if (done)
        QTRY_COMPARE(f->lastLine(), QStringLiteral("otp list"));
}

void TestOtpWindow::language_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("text");
    QTest::newRow("R3") << "R3" << QByteArray(R"({"SW":"9000"})") << "Set language successfully.";
    QTest::newRow("R3, failure hides INFO")
        << "R3" << QByteArray(R"({"SW":"6A81","INFO":"No keyboard language."})")
        << "Failed to set language. \nThe current device may not support this function!";
    QTest::newRow("r3 is not R3") << "r3" << QByteArray() << QString();
}

void TestOtpWindow::language()
{
    QFETCH(QString, model);
    QFETCH(QByteArray, reply);
    QFETCH(QString, text);
    auto* language = f->widget<QComboBox>("combobox_language");
    language->setCurrentIndex(1);
    QVERIFY(f->enterPage(model, TwoConfigured));
    // Every entry shows English, whatever the key is set to.
    QCOMPARE(language->currentText(), QStringLiteral("English"));
    QCOMPARE(language->isEnabled(), !reply.isEmpty());
    QCOMPARE(f->widget("save_language")->isEnabled(), !reply.isEmpty());
    if (reply.isEmpty())
        return;
    language->setCurrentIndex(1);
    f->click(QStringLiteral("save_language"));
    QTRY_COMPARE(f->lastLine(), QStringLiteral("otp set_language -c FR"));
    QVERIFY(!f->widget("save_language")->isEnabled());
    QCOMPARE(f->answer(reply).second, text);
    QVERIFY(f->widget("save_language")->isEnabled());
}

void TestOtpWindow::commandLineOfEachMode_data()
{
    QTest::addColumn<QString>("conf");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("toggle");
    QTest::addColumn<QString>("name"); // null: the one offered
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("line"); // empty: OK stays disabled
    const auto row = [](const char* name, const char* conf, const char* page, const char* toggle, const QString& n,
                        const QString& key, const QString& line) {
        QTest::newRow(name) << conf << page << toggle << n << key << (line.isEmpty() ? line : "otp put -s " + line);
    };
    row("HOTP, 6 digits, key as typed", "otp1Conf", "hotp", "", "ABC", "0123abcdEF",
        "0 -k 0123abcdEF -a SHA1 -t HOTP -d 6 -n 414243");
    row("HOTP, 8 digits, serial as name", "otp2Conf", "hotp", "radio_hotp_digits_8", QString(), QString(32, 'a'),
        "1 -k " + QString(32, 'a') + " -a SHA1 -t HOTP -d 8 -n " + SerialHex);
    // A key that hides its serial writes an empty name; the slot is configured all the same.
    row("HOTP, name cleared", "otp1Conf", "hotp", "", "", "1234", "0 -k 1234 -a SHA1 -t HOTP -d 6 -n ");
    row("HOTP, odd key length", "otp1Conf", "hotp", "", QString(), "abc", "");
    row("static modhex, hex of Latin-1", "otp1Conf", "sta", "", QString::fromUtf8("é1"), "cbdefghiVV",
        "0 -k 63626465666768695656 -a SHA1 -t STATIC_PASSWORD -n E931");
    row("static any character", "otp2Conf", "sta", "check_sta_any", "x", "a b~",
        "1 -k 6120627E -a SHA1 -t STATIC_PASSWORD -n 78");
    row("challenge-response, key as typed", "otp2Conf", "cr", "", QString(), "4a656665",
        "1 -k 4a656665 -a SHA1 -t CHALLENGE_RESPONSE -n " + SerialHex);
    row("challenge-response, odd key length", "otp1Conf", "cr", "", QString(), "123", "");
}

void TestOtpWindow::commandLineOfEachMode()
{
    QFETCH(QString, conf);
    QFETCH(QString, page);
    QFETCH(QString, toggle);
    QFETCH(QString, name);
    QFETCH(QString, key);
    QFETCH(QString, line);
    QVERIFY(openPage(conf, page));
    if (!toggle.isEmpty())
        f->click(toggle);
    QTest::keyClicks(field(page, "key"), key);
    if (!name.isNull())
        field(page, "name")->setText(name);
    QCOMPARE(f->widget(page + "_config")->isEnabled(), !line.isEmpty());
    if (line.isEmpty())
        return;
    f->click(page + "_config");
    QTRY_COMPARE(f->lastLine(), line);
    QCOMPARE(f->busyText(), QStringLiteral("  Please touch your VELMORA FIDO Security Key ... "));
    // A static password is the one mode offered no check.
    const bool offersCheck = page != QLatin1String("sta");
    f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    if (offersCheck)
        f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("cancel"));
    f->reply(R"({"SW":"9000"})");
    QTRY_VERIFY(f->modal.idle());
    QCOMPARE(f->modal.seen().at(0).text, QStringLiteral("OTP personalization successfully. "));
    QCOMPARE(f->modal.seen().size(), offersCheck ? 2 : 1);
    // An empty slot was written without a question; now written, a second write asks first,
    // and a "no" sends nothing.
    f->modal.clearSeen();
    const int before = f->lines().size();
    f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("cancel"));
    f->click(page + "_config");
    QVERIFY(f->modal.idle());
    QCOMPARE(f->modal.seen().size(), 1);
    QCOMPARE(f->lastMessage(), qMakePair(QStringLiteral("Overwrite"),
                                         QStringLiteral("Do you want to overwrite the existing configuration?")));
    QVERIFY(nothingSentSince(before));
}

void TestOtpWindow::zeroSerialGivesEmptyNames()
{
    f->widget<QLabel>("snValue")->setText(QStringLiteral("00000000"));
    QVERIFY(openPage(QStringLiteral("otp1Conf"), QStringLiteral("hotp")));
    QCOMPARE(field(QStringLiteral("hotp"), "name")->text(), QString());
    // Only the key is checked as it is typed: a whole key offers OK with an empty name.
    QTest::keyClicks(field(QStringLiteral("hotp"), "key"), QStringLiteral("1234"));
    f->click(QStringLiteral("hotp_config"));
    QTRY_COMPARE(f->lastLine(), QStringLiteral("otp put -s 0 -k 1234 -a SHA1 -t HOTP -d 6 -n "));
    QCOMPARE(f->answer(R"({"SW":"6984","INFO":"x"})").second, QStringLiteral("Touch time out."));
}

void TestOtpWindow::fieldsKeepOnlyAllowedText_data()
{
    QTest::addColumn<QString>("edit"); // page and field
    QTest::addColumn<bool>("anyCharacter");
    QTest::addColumn<bool>("typed"); // or pasted at once
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QString>("refused"); // named by a warning; empty: refused silently or not at all
    const auto row = [](const char* name, const char* edit, bool any, bool typed, const QString& text,
                        const QString& kept, const QString& refused = QString()) {
        QTest::newRow(name) << edit << any << typed << text << kept << refused;
    };
    const QString last(QChar(0x9FA5)), past(QChar(0x9FA6));
    row("HOTP key hex", "hotp_key", false, true, "12xG4aF-", "124aF");
    row("static key modhex", "sta_key", false, true, "bcaxyzB1V", "bcBV");
    row("static key any", "sta_key", true, true, QString::fromUtf8("a中b<c"), "abc", "<");
    row("name no CJK", "cr_name", false, true, QString::fromUtf8("A中。B，？…") + last + past + "<-1>",
        "AB" + past + "<-1>");
    // A pasted static key loses every character the key cannot type, wherever it stands.
    row("euro inside", "sta_key", true, false, QString::fromUtf8("pa€sw"), "pasw", QString::fromUtf8("€"));
    row("e acute, DEL", "sta_key", true, false, QString::fromUtf8("abé") + QChar(0x7F), "ab",
        QString::fromUtf8("é") + QChar(0x7F));
    row("outside the BMP", "sta_key", true, false, QString::fromUtf8("a\U0001F600"), "a",
        QString::fromUtf8("\U0001F600"));
    row("angle brackets and tab", "sta_key", true, false, "<a<<\t>>b", "ab", "<\t>");
}

void TestOtpWindow::fieldsKeepOnlyAllowedText()
{
    QFETCH(QString, edit);
    QFETCH(bool, anyCharacter);
    QFETCH(bool, typed);
    QFETCH(QString, text);
    QFETCH(QString, kept);
    QFETCH(QString, refused);
    QVERIFY(openPage(QStringLiteral("otp1Conf"), edit.section(QLatin1Char('_'), 0, 0)));
    if (anyCharacter)
        f->click(QStringLiteral("check_sta_any"));
    auto* line = f->widget<QLineEdit>("lineEdit_" + edit);
    line->clear();
    if (!refused.isEmpty())
        f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    if (!typed)
        line->insert(text); // as a paste inserts it
    // Typed as a keyboard would, characters beyond ASCII included (keyClicks only knows ASCII).
    for (QChar c : typed ? text : QString())
        QTest::sendKeyEvent(QTest::Click, line, Qt::Key_unknown, QString(c), Qt::NoModifier);
    QCOMPARE(line->text(), kept);
    QCOMPARE(f->modal.seen().isEmpty(), refused.isEmpty());
    if (!refused.isEmpty())
        QCOMPARE(f->lastMessage(), qMakePair(QStringLiteral("Warning"), OtpInput::refusedMessage(refused)));
}

void TestOtpWindow::generatorsFillTheirField_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("anyCharacter");
    QTest::addColumn<QString>("alphabet");
    QString printable;
    for (int c = 0x20; c <= 0x7D; ++c)
        printable += QChar(c);
    const QString typeable = QString(printable).remove(QLatin1Char('<')).remove(QLatin1Char('>'));
    const QString digits = QStringLiteral("0123456789");
    const auto row = [](const char* page, const char* field, bool any, const QString& alphabet) {
        QTest::newRow(qPrintable(QStringLiteral("%1 %2 %3").arg(page, field).arg(any)))
            << page << field << any << alphabet;
    };
    row("hotp", "key", false, printable);
    row("hotp", "name", false, digits);
    row("cr", "key", false, printable);
    row("cr", "name", false, digits);
    row("sta", "name", false, digits);
    row("sta", "key", false, QStringLiteral("bcdefghijklnrtuvBCDEFGHIJKLNRTUV"));
    row("sta", "key", true, typeable);
}

void TestOtpWindow::generatorsFillTheirField()
{
    QFETCH(QString, page);
    QFETCH(QString, field);
    QFETCH(bool, anyCharacter);
    QFETCH(QString, alphabet);
    QVERIFY(openPage(QStringLiteral("otp1Conf"), page));
    if (anyCharacter)
        f->click(QStringLiteral("check_sta_any"));
    const bool hex = field == QLatin1String("key") && page != QLatin1String("sta");
    QSet<QChar> seen;
    // 4800 draws reach each of the 94 printable characters, the ends included.
    for (int round = 0; round < 300; ++round) {
        f->click(page + "_gen_" + field);
        QString value = this->field(page, field)->text();
        if (hex) {
            QVERIFY2(QRegExp(QStringLiteral("([0-9A-F]{2}){16}")).exactMatch(value), qPrintable(value));
            value = QString::fromLatin1(QByteArray::fromHex(value.toLatin1()));
        }
        QVERIFY2(value.size() == (field == QLatin1String("key") ? 16 : 12), qPrintable(value));
        for (QChar c : value)
            seen.insert(c);
        // A generated key is always a valid one.
        QCOMPARE(f->widget(page + "_config")->isEnabled(), field == QLatin1String("key"));
    }
    QCOMPARE(seen, QSet<QChar>(alphabet.begin(), alphabet.end()));
}

void TestOtpWindow::singleSlotKeyOffersOnlyOathOtp()
{
    QVERIFY(f->enterPage(QStringLiteral("R8"), R"({"SW":"9000","INFO":"slot_1"})"));
    QVERIFY(f->openConf());
    QVERIFY(f->widget<QAbstractButton>("otp_mode_hotp")->isChecked());
    QVERIFY(f->widget("otp_mode_sp")->isHidden() && f->widget("otp_mode_cr")->isHidden());
    // The next key has two slots: slot 2's page offers its three modes.
    QVERIFY(f->enterPage(QStringLiteral("R15"), TwoEmpty));
    f->click(QStringLiteral("otp2Conf"));
    QVERIFY(!f->widget("otp_mode_sp")->isHidden() && !f->widget("otp_mode_cr")->isHidden());
}

void TestOtpWindow::withEnterReadAndWrite_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("checked");
    QTest::newRow("01") << QByteArray(R"("9000","INFO":"01")") << true;
    QTest::newRow("00") << QByteArray(R"("9000","INFO":"00")") << false;
    QTest::newRow("1") << QByteArray(R"("9000","INFO":"1")") << false;
    QTest::newRow("001") << QByteArray(R"("9000","INFO":"001")") << false;
    QTest::newRow("failed read leaves the box, disabled") << QByteArray(R"("6A82","INFO":"01")") << false;
}

void TestOtpWindow::withEnterReadAndWrite()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, checked);
    auto* box = f->widget<QCheckBox>("checkBox_withenter");
    const bool read = reply.startsWith("\"9000");
    box->setChecked(read ? !checked : checked);
    QVERIFY(f->enterPage(QStringLiteral("R15"), TwoEmpty));
    // The read is the only line: a check state set by the program writes nothing.
    QVERIFY(f->openConf(R"({"SW":)" + reply + "}"));
    QCOMPARE(box->isChecked(), checked);
    QCOMPARE(box->isEnabled(), read);
    QVERIFY(f->modal.seen().isEmpty());
    if (read) {
        QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(5, box->height() / 2));
        QTRY_COMPARE(f->lastLine(), "device send_apdu -c 80E1050101" + QString(checked ? "00" : "01"));
        QCOMPARE(f->answer(R"({"SW":"9000"})").second, QStringLiteral("Set successfully."));
    }
    // Slot 2's page sends no APDU and leaves the box off.
    const int before = f->lines().size();
    f->click(QStringLiteral("otp2Conf"));
    QVERIFY(!box->isChecked() && !box->isEnabled());
    QVERIFY(nothingSentSince(before));
}

void TestOtpWindow::challengeCheckComparesTheResponse_data()
{
    QTest::addColumn<QByteArray>("secret"); // what keys the reply's response; empty: no touch came
    QTest::addColumn<QString>("verdict");
    QTest::newRow("the written secret") << QByteArray("Jefe") << "The slot answers as expected.";
    QTest::newRow("another secret") << QByteArray("Jeff")
                                    << "The key did not give the expected response.\nDelete the slot, or program it "
                                       "again with the secret the server was given.";
    QTest::newRow("no touch") << QByteArray() << "Touch time out.";
}

void TestOtpWindow::challengeCheckComparesTheResponse()
{
    QFETCH(QByteArray, secret);
    QFETCH(QString, verdict);
    QVERIFY(openPage(QStringLiteral("otp2Conf"), QStringLiteral("cr")));
    QTest::keyClicks(field("cr", "key"), QByteArray("Jefe").toHex());
    f->click(QStringLiteral("cr_config"));
    QTRY_VERIFY(f->lastLine().startsWith(QLatin1String("otp put")));
    f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok")); // written
    f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok")); // the check
    f->reply(R"({"SW":"9000"})");

    const QRegularExpression challengeLine(QStringLiteral("^otp challenge -s 1 -c ([0-9a-f]{64})$"));
    QTRY_VERIFY(challengeLine.match(f->lastLine()).hasMatch());
    QCOMPARE(f->busyText(), OtpInput::touchPrompt());
    const QByteArray challenge = QByteArray::fromHex(challengeLine.match(f->lastLine()).captured(1).toLatin1());
    const QByteArray response = QMessageAuthenticationCode::hash(challenge, secret, QCryptographicHash::Sha1).toHex();
    f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok")); // the verdict
    f->reply(secret.isEmpty() ? QByteArray(R"({"SW":"6984"})")
                              : R"({"SW":"9000","DATA":{"RESPONSE":")" + response.toUpper() + R"("}})");
    QTRY_VERIFY(f->modal.idle());
    QCOMPARE(f->lastMessage().second, verdict);
    QVERIFY(!f->busy());
    QVERIFY(Access::heldSecrets(f->window).isEmpty());
}

QTEST_MAIN(TestOtpWindow)
#include "tst_otpwindow.moc"
