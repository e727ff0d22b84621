// The OTP pages on the recording stand-in backend: the slots as listed, the actions on them, the
// line each mode writes, input rules, generators, the with-enter setting, the challenge check.
#include "common/testwindow.h"
#include "otp/otpinput.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageAuthenticationCode>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

namespace {

const QString TwoEmpty = R"({"SW":"9000","INFO":"slot_1 slot_2"})";
const QString TwoConfigured =
    R"({"SW":"9000","INFO":"slot_1 slot_2","DATA":[{"slot":"0","type":"HOTP","hash":"SHA1","name":"AA"},)"
    R"({"slot":"1","type":"CHALLENGE_RESPONSE","hash":"SHA1","name":"BB"}]})";
const QString OneConfigured = R"({"SW":"9000","INFO":"slot_1","DATA":[{"slot":"0","type":"HOTP","name":"AA"}]})";
const QString Nameless = R"({"SW":"9000","INFO":"slot_1 slot_2","DATA":[{"slot":"0","type":"HOTP","name":""}]})";
const QString Serial = QStringLiteral("4C7D13A8");
const QString SerialHex = QStringLiteral("3443374431334138");

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
    void commandLineOfEachMode_data();
    void commandLineOfEachMode();
    void staticKeyKeepsOnlyTypeableText_data();
    void staticKeyKeepsOnlyTypeableText();
    void generatorsFillTheirField_data();
    void generatorsFillTheirField();
    void withEnterReadAndWrite_data();
    void withEnterReadAndWrite();
    void challengeCheckComparesTheResponse_data();
    void challengeCheckComparesTheResponse();

private:
    // Enters the OTP page of a key of `model` whose "otp list" answers `list`.
    void enterPage(const QString& list, const QString& model = QStringLiteral("R15"))
    {
        f->setModel(model);
        QMetaObject::invokeMethod(&f->window, "on_otp_clicked");
        f->reply(list, CmdType::OtpList);
    }
    // Opens the configuration of `conf` ("otp1Conf" reads the with-enter setting) in the mode of
    // `page`: "hotp", "sta" (static password) or "cr".
    void openConf(const QString& conf, const QString& page, const QString& withEnter = Reply::status("9000", "00"))
    {
        enterPage(TwoEmpty);
        f->click(conf);
        if (conf == QLatin1String("otp1Conf"))
            f->reply(withEnter, CmdType::OtpReadWithEnter);
        f->click(page == QLatin1String("sta") ? QStringLiteral("otp_mode_sp") : "otp_mode_" + page);
    }
    QLineEdit* field(const QString& page, const QString& which) const
    {
        return f->widget<QLineEdit>("lineEdit_" + page + "_" + which);
    }
    // `lines` are all that went out; the probe that proves it is answered.
    bool onlySent(const QStringList& lines)
    {
        const bool only = f->sentBeforeProbe(lines);
        f->reply(Reply::kOk, CmdType::Dropped6);
        return only;
    }

    TestWindow* f = nullptr;
};

void TestOtpWindow::init()
{
    f = new TestWindow;
    f->widget<QLabel>("snValue")->setText(Serial);
}

void TestOtpWindow::cleanup()
{
    const bool answered = f->modal.idle();
    const QString held = f->heldSecrets();
    delete f;
    QVERIFY(answered);
    QCOMPARE(held, QString());
    QCOMPARE(visibleDialogCount(), 0);
}

void TestOtpWindow::listShowsSlots_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("secondSlot");
    QTest::addColumn<bool>("configured1");
    QTest::addColumn<bool>("configured2");
    const auto row = [](const char* tag, const QString& before, const QString& reply, bool second, bool one, bool two) {
        QTest::newRow(tag) << before << reply << second << one << two;
    };
    const QString slot2 = R"({"SW":"9000","INFO":"slot_2","DATA":[)";
    row("two empty", OneConfigured, TwoEmpty, true, false, false);
    row("both configured", OneConfigured, TwoConfigured, true, true, true);
    row("slot_default", OneConfigured, R"({"SW":"9000","INFO":"slot_default","DATA":[{"slot":"1"}]})", 1, 0, 1);
    row("one slot", TwoConfigured, OneConfigured, false, true, false);
    row("empty name", TwoConfigured, Nameless, true, true, false);
    row("slot 2 ignored", TwoConfigured, slot2 + R"({"slot":"2","name":"CC"}]})", true, false, false);
    row("keys by four characters", TwoConfigured, slot2 + R"({"slot_index":"1","names":"DD"}]})", true, false, true);
    row("failed list", TwoConfigured, Reply::status("6F00", "No key."), true, false, false);
}

void TestOtpWindow::listShowsSlots()
{
    QFETCH(QString, before);
    QFETCH(QString, reply);
    QFETCH(bool, secondSlot);
    QFETCH(bool, configured1);
    QFETCH(bool, configured2);
    // Start from another picture, so every widget has to be set by this reply.
    for (const QString& list : {before, reply}) {
        enterPage(list);
        f->click(QStringLiteral("otp1Conf"));
        f->reply(Reply::status("9000", "00"), CmdType::OtpReadWithEnter);
    }
    // A single-slot key only does OATH HOTP.
    for (const char* name : {"label_7", "label_otp_2_state", "otp_swap", "groupBox_10", "otp_mode_sp", "otp_mode_cr"})
        QCOMPARE(f->widget(name)->isHidden(), !secondSlot);
    const bool configured[] = {configured1, configured2};
    for (int slot : {0, 1}) {
        const QString n = QString::number(slot + 1);
        QCOMPARE(f->text("label_otp_" + n + "_state"),
                 configured[slot] ? QStringLiteral("This slot is configured") : QStringLiteral("This slot is empty"));
        QCOMPARE(f->widget("otp" + n + "Delete")->isEnabled(), configured[slot]);
    }
    QCOMPARE(f->widget("otp_swap")->isEnabled(), configured1 || configured2);
    QVERIFY(!f->busy());
    QVERIFY(f->messages().isEmpty());
}

void TestOtpWindow::slotActions_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("sw");
    QTest::addColumn<QString>("message");
    const auto row = [](const char* tag, const char* model, const QString& list, const char* button, const char* line,
                        const char* sw, const char* message) {
        QTest::newRow(tag) << model << list << button << line << sw << message;
    };
    const char* deleted = "Success / Delete successfully.";
    row("delete 1, no touch", "R15", TwoConfigured, "otp1Delete", "otp delete -s 0 -n AA", "6984",
        "Warning / Touch time out.");
    row("delete 2", "r3", TwoConfigured, "otp2Delete", "otp delete -s 1 -n BB", "9000", deleted);
    row("delete a nameless slot", "R15", Nameless, "otp1Delete", "otp delete -s 0 -n ", "9000", deleted);
    row("single slot resets", "R15", OneConfigured, "otp1Delete", "otp reset", "9000", deleted);
    row("swap", "R15", TwoConfigured, "otp_swap", "otp swap", "9000", "Success / Swap slots successfully.");
    // Only an R3 sets its keyboard language; a failure shows its own words, not the key's.
    row("language", "R3", TwoEmpty, "save_language", "otp set_language -c EN", "9000",
        "Success / Set language successfully.");
    row("language, failure", "R3", TwoEmpty, "save_language", "otp set_language -c EN", "6A81",
        "Warning / Failed to set language. \nThe current device may not support this function!");
}

void TestOtpWindow::slotActions()
{
    QFETCH(QString, model);
    QFETCH(QString, list);
    QFETCH(QString, button);
    QFETCH(QString, line);
    QFETCH(QString, sw);
    QFETCH(QString, message);
    enterPage(list, model);
    QCOMPARE(f->widget("save_language")->isEnabled(), model == QLatin1String("R3"));
    const bool asks = button.endsWith(QLatin1String("Delete"));
    if (asks)
        f->answer({"ok"});
    f->click(button);
    QTRY_COMPARE(f->lastSent(), line);
    const QString slot = button == QLatin1String("otp1Delete") ? "short touch (Slot 1)" : "long touch (Slot 2)";
    if (asks)
        QCOMPARE(f->messages(), QStringList("Delect / Do you want to delete the content of " + slot +
                                            "? \nthis permanently deletes the configuration."));
    // Deleting waits for a touch.
    QCOMPARE(f->busyText(), asks ? OtpInput::touchPrompt() : QString());
    f->answer({"ok"});
    f->reply(Reply::status(sw, "x"));
    QCOMPARE(f->messages().last(), message);
    QVERIFY(!f->busy());
    // A changed slot is read again.
    if (sw == QLatin1String("9000") && button != QLatin1String("save_language"))
        QTRY_COMPARE(f->lastSent(), QStringLiteral("otp list"));
}

void TestOtpWindow::commandLineOfEachMode_data()
{
    QTest::addColumn<QString>("conf");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("toggle");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("name"); // null: the one offered
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("line"); // empty: OK stays disabled
    const auto row = [](const char* tag, const char* conf, const char* page, const char* toggle, const QString& name,
                        const QString& key, const QString& line, const QString& serial = Serial) {
        QTest::newRow(tag) << conf << page << toggle << serial << name << key
                           << (line.isEmpty() ? line : "otp put -s " + line);
    };
    row("HOTP, 6 digits, hex key as typed", "otp1Conf", "hotp", "", "ABC", "0123xabcdEFG-",
        "0 -k 0123abcdEF -a SHA1 -t HOTP -d 6 -n 414243");
    row("HOTP, 8 digits, serial as name", "otp2Conf", "hotp", "radio_hotp_digits_8", QString(), QString(32, 'a'),
        "1 -k " + QString(32, 'a') + " -a SHA1 -t HOTP -d 8 -n " + SerialHex);
    // A key that hides its serial writes an empty name; the slot is configured all the same.
    row("HOTP, zero serial offers no name", "otp1Conf", "hotp", "", QString(), "1234",
        "0 -k 1234 -a SHA1 -t HOTP -d 6 -n ", "00000000");
    row("HOTP, odd key length", "otp1Conf", "hotp", "", QString(), "abc", "");
    row("static modhex, hex of Latin-1", "otp1Conf", "sta", "", QString::fromUtf8("é1"), "cbdefghiVVa1",
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
    QFETCH(QString, serial);
    QFETCH(QString, name);
    QFETCH(QString, key);
    QFETCH(QString, line);
    f->widget<QLabel>("snValue")->setText(serial);
    openConf(conf, page);
    if (!toggle.isEmpty())
        f->click(toggle);
    QTest::keyClicks(field(page, "key"), key);
    if (!name.isNull())
        field(page, "name")->setText(name);
    QCOMPARE(f->widget(page + "_config")->isEnabled(), !line.isEmpty());
    if (line.isEmpty())
        return;
    f->click(page + "_config");
    QTRY_COMPARE(f->lastSent(), line);
    QCOMPARE(f->busyText(), OtpInput::touchPrompt());
    // A static password is the one mode offered no check; the check is declined here.
    const bool offersCheck = page != QLatin1String("sta");
    f->answer(offersCheck ? QStringList{"ok", "no"} : QStringList{"ok"});
    f->reply(Reply::kOk);
    QCOMPARE(f->messages().value(0), QStringLiteral("Success / OTP personalization successfully. "));
    QCOMPARE(f->messages().size(), offersCheck ? 2 : 1);
    // An empty slot was written without a question; now written, a second write asks first,
    // and a "no" sends nothing.
    const QStringList before = f->sent();
    f->answer({"no"});
    f->click(page + "_config");
    QCOMPARE(f->messages().last(), QStringLiteral("Overwrite / Do you want to overwrite the existing configuration?"));
    QVERIFY(onlySent(before));
}

void TestOtpWindow::staticKeyKeepsOnlyTypeableText_data()
{
    QTest::addColumn<bool>("typed"); // or pasted at once
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QString>("refused"); // named by a warning
    QTest::newRow("typed") << true << QString::fromUtf8("a中b<c") << QString("abc") << QString("<");
    // A pasted key loses every character the key cannot type, wherever it stands.
    QTest::newRow("euro inside") << false << QString::fromUtf8("pa€sw") << "pasw" << QString::fromUtf8("€");
    QTest::newRow("angle brackets and tab") << false << QString("<a<<\t>>b") << QString("ab") << QString("<\t>");
}

// With any character allowed, what is programmed is exactly what is shown.
void TestOtpWindow::staticKeyKeepsOnlyTypeableText()
{
    QFETCH(bool, typed);
    QFETCH(QString, text);
    QFETCH(QString, kept);
    QFETCH(QString, refused);
    openConf(QStringLiteral("otp1Conf"), QStringLiteral("sta"));
    f->click(QStringLiteral("check_sta_any"));
    auto* line = field("sta", "key");
    f->answer({"ok"});
    if (!typed)
        line->insert(text); // as a paste inserts it
    // Typed as a keyboard would, characters beyond ASCII included (keyClicks only knows ASCII).
    for (QChar c : typed ? text : QString())
        QTest::sendKeyEvent(QTest::Click, line, Qt::Key_unknown, QString(c), Qt::NoModifier);
    QCOMPARE(line->text(), kept);
    QCOMPARE(f->messages(), QStringList("Warning / " + OtpInput::refusedMessage(refused)));
}

void TestOtpWindow::generatorsFillTheirField_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<bool>("anyCharacter");
    QTest::addColumn<QString>("alphabet"); // of the key's bytes
    QString printable;
    for (int c = 0x20; c <= 0x7D; ++c)
        printable += QChar(c);
    QTest::newRow("hotp") << "hotp" << false << printable;
    QTest::newRow("sta") << "sta" << false << "bcdefghijklnrtuvBCDEFGHIJKLNRTUV";
    QTest::newRow("sta, any character") << "sta" << true << QString(printable).remove('<').remove('>');
}

// A generated key is a whole one of 16 bytes, drawn from every character the mode allows and no other.
void TestOtpWindow::generatorsFillTheirField()
{
    QFETCH(QString, page);
    QFETCH(bool, anyCharacter);
    QFETCH(QString, alphabet);
    openConf(QStringLiteral("otp1Conf"), page);
    if (anyCharacter)
        f->click(QStringLiteral("check_sta_any"));
    QSet<QChar> seen;
    // 4800 draws reach each of the 94 printable characters, the ends included.
    for (int round = 0; round < 300; ++round) {
        f->click(page + "_gen_key");
        QString key = field(page, "key")->text();
        if (page != QLatin1String("sta"))
            key = QString::fromLatin1(QByteArray::fromHex(key.toLatin1()));
        QCOMPARE(key.size(), 16);
        for (QChar c : key)
            seen.insert(c);
        QVERIFY(f->widget(page + "_config")->isEnabled());
    }
    QCOMPARE(seen, QSet<QChar>(alphabet.begin(), alphabet.end()));
}

void TestOtpWindow::withEnterReadAndWrite_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("checked");
    QTest::newRow("01") << Reply::status("9000", "01") << true;
    QTest::newRow("001") << Reply::status("9000", "001") << false;
    QTest::newRow("failed read leaves the box, disabled") << Reply::status("6A82", "01") << false;
}

void TestOtpWindow::withEnterReadAndWrite()
{
    QFETCH(QString, reply);
    QFETCH(bool, checked);
    auto* box = f->widget<QCheckBox>("checkBox_withenter");
    const bool read = reply.contains(QLatin1String("9000"));
    box->setChecked(read ? !checked : checked);
    openConf(QStringLiteral("otp1Conf"), QStringLiteral("hotp"), reply);
    QCOMPARE(box->isChecked(), checked);
    QCOMPARE(box->isEnabled(), read);
    QVERIFY(f->messages().isEmpty());
    // The read is the only line: a check state set by the program writes nothing.
    QVERIFY(onlySent({"otp list", "device send_apdu -c 80E3050001"}));
    if (read) {
        f->click(QStringLiteral("checkBox_withenter"));
        QTRY_COMPARE(f->lastSent(), "device send_apdu -c 80E1050101" + QString(checked ? "00" : "01"));
        f->answer({"ok"});
        f->reply(Reply::kOk);
        QCOMPARE(f->lastMessage(), QStringLiteral("Set successfully."));
    }
    // Slot 2's page sends no APDU and leaves the box off.
    const QStringList before = f->sent();
    f->click(QStringLiteral("otp2Conf"));
    QVERIFY(!box->isChecked() && !box->isEnabled());
    QVERIFY(onlySent(before));
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
    openConf(QStringLiteral("otp2Conf"), QStringLiteral("cr"));
    QTest::keyClicks(field("cr", "key"), QByteArray("Jefe").toHex());
    f->click(QStringLiteral("cr_config"));
    f->answer({"ok", "ok"}); // written; check it
    f->reply(Reply::kOk, CmdType::OtpPut);

    const QRegularExpression challengeLine(QStringLiteral("^otp challenge -s 1 -c ([0-9a-f]{64})$"));
    QTRY_VERIFY(challengeLine.match(f->lastSent()).hasMatch());
    QCOMPARE(f->busyText(), OtpInput::touchPrompt());
    const QByteArray challenge = QByteArray::fromHex(challengeLine.match(f->lastSent()).captured(1).toLatin1());
    const QByteArray response = QMessageAuthenticationCode::hash(challenge, secret, QCryptographicHash::Sha1).toHex();
    f->answer({"ok"});
    f->reply(secret.isEmpty() ? Reply::status("6984")
                              : R"({"SW":"9000","DATA":{"RESPONSE":")" + response.toUpper() + R"("}})");
    QCOMPARE(f->lastMessage(), verdict);
    QVERIFY(!f->busy());
}

QTEST_MAIN(TestOtpWindow)
#include "tst_otpwindow.moc"
