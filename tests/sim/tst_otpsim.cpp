// kvman-sim's OTP application: the slots produce what a real key types (RFC 4226 HOTP codes,
// RFC 2202 HMAC-SHA1 responses), writes need a touch, and the state survives restarts.
#include "common/simkey.h"

#include <QtTest>

namespace {

// ASCII "12345678901234567890", the secret of RFC 4226 Appendix D.
const QByteArray RfcSecret = QByteArray("12345678901234567890").toHex();
const QByteArray ReadEnter = "device send_apdu -c 80E3050001";

QByteArray putHotp(int slot, int digits = 6, const QByteArray& name = "0102")
{
    return "otp put -s " + QByteArray::number(slot) + " -k " + RfcSecret + " -a SHA1 -t HOTP -d " +
           QByteArray::number(digits) + " -n " + name;
}

// What the key types when the slot is touched, as the control channel reports it.
QString press(const SimKey& key, int slot, const QByteArray& challenge = QByteArray())
{
    const QString command = QStringLiteral("otp touch %1 %2").arg(slot).arg(QString::fromLatin1(challenge));
    return key.harness.control(command.trimmed());
}

} // namespace

class TestOtpSim : public QObject
{
    Q_OBJECT

private slots:
    void hotpTypesRfc4226Codes_data();
    void hotpTypesRfc4226Codes();
    void challengeResponseIsRfc2202HmacSha1_data();
    void challengeResponseIsRfc2202HmacSha1();
    void challengeWaitsForTouch_data();
    void challengeWaitsForTouch();
    void withEnterMarksSlotOneAndSurvivesRestart();
    void badLinesChangeNothing_data();
    void badLinesChangeNothing();
    void writesNeedTouch();
    void slotsAndLanguageByModel_data();
    void slotsAndLanguageByModel();
    void deleteResetAndSwap();
};

void TestOtpSim::hotpTypesRfc4226Codes_data()
{
    QTest::addColumn<int>("digits");
    QTest::addColumn<QStringList>("codes");
    QTest::newRow("6 digits") << 6 << QStringList{"755224", "287082", "359152", "969429", "338314",
                                                  "254676", "287922", "162583", "399871", "520489"};
    // The same truncated values of Appendix D, taken modulo 10^8.
    QTest::newRow("8 digits") << 8 << QStringList{"84755224", "94287082", "37359152", "26969429", "40338314",
                                                  "68254676", "18287922", "82162583", "73399871", "45520489"};
}

void TestOtpSim::hotpTypesRfc4226Codes()
{
    QFETCH(int, digits);
    QFETCH(QStringList, codes);
    SimKey key;
    QVERIFY(key.start());

    QCOMPARE(key.sw(putHotp(0, digits)), 0x9000u);
    for (const QString& code : codes) {
        QCOMPARE(press(key, 1), "ok " + code);
    }
}

void TestOtpSim::challengeResponseIsRfc2202HmacSha1_data()
{
    QTest::addColumn<QByteArray>("secret");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("digest");
    QTest::newRow("case 1") << QByteArray(20, '\x0b').toHex() << QByteArray("Hi There")
                            << "b617318655057264e28bc0b6fb378c8ef146be00";
    QTest::newRow("case 2 Jefe") << QByteArray("Jefe").toHex() << QByteArray("what do ya want for nothing?")
                                 << "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79";
    QTest::newRow("case 3") << QByteArray(20, '\xaa').toHex() << QByteArray(50, '\xdd')
                            << "125d7342b9ac11cd91a39af48aa17b4f63f175d3";
}

void TestOtpSim::challengeResponseIsRfc2202HmacSha1()
{
    QFETCH(QByteArray, secret);
    QFETCH(QByteArray, data);
    QFETCH(QString, digest);
    SimKey key;
    QVERIFY(key.start());

    QCOMPARE(key.sw("otp put -s 1 -k " + secret + " -a SHA1 -t CHALLENGE_RESPONSE -n 4142"), 0x9000u);
    QCOMPARE(press(key, 2, data.toHex()), "ok " + digest);
    // A response does not move anything on: the same challenge gives the same answer.
    QCOMPARE(press(key, 2, data.toHex().toUpper()), "ok " + digest);
}

void TestOtpSim::challengeWaitsForTouch_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("touch"); // empty: answered at once, nothing waits
    QTest::addColumn<quint32>("sw");
    QTest::addColumn<QByteArray>("answer"); // RESPONSE on success, otherwise INFO
    const QByteArray jefe = "-c " + QByteArray("what do ya want for nothing?").toHex();
    QTest::newRow("touched: RFC 2202 case 2")
        << "otp challenge -s 1 " + jefe << "touch" << 0x9000u << QByteArray("effcdf6ae5eb2fa2d27416d5f184df9c259a7c79");
    QTest::newRow("no touch") << "otp challenge -s 1 " + jefe << "touch timeout" << 0x6984u
                              << QByteArray("Touch time out.");
    QTest::newRow("HOTP slot") << "otp challenge -s 0 " + jefe << QString() << 0x6A80u
                               << QByteArray("Slot 1 is not a challenge-response slot.");
    QTest::newRow("65 bytes") << "otp challenge -s 1 -c " + QByteArray(130, 'a') << QString() << 0x6A80u
                              << QByteArray("Option -c needs the challenge as hex digits, 1 to 64 bytes.");
}

void TestOtpSim::challengeWaitsForTouch()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, touch);
    QFETCH(quint32, sw);
    QFETCH(QByteArray, answer);
    SimKey key;
    QVERIFY(key.start());
    QCOMPARE(key.sw(putHotp(0)), 0x9000u);
    QCOMPARE(key.sw("otp put -s 1 -k " + QByteArray("Jefe").toHex() + " -a SHA1 -t CHALLENGE_RESPONSE -n 01"), 0x9000u);
    QVERIFY(key.control("touch manual"));

    const JSON_OBJ reply = touch.isEmpty() ? key.ask(line) : key.askWithTouch(line, touch);
    QCOMPARE(reply.SW, sw);
    QCOMPARE(sw == 0x9000u ? SimKey::member(reply, "RESPONSE") : reply.INFO, answer);
}

void TestOtpSim::withEnterMarksSlotOneAndSurvivesRestart()
{
    SimKey key;
    key.harness.useStateFile();
    QVERIFY(key.start());
    QCOMPARE(key.sw(putHotp(0, 6, "ABCD")), 0x9000u);
    QCOMPARE(key.sw(putHotp(1, 6, "")), 0x9000u);
    QCOMPARE(key.ask(ReadEnter).INFO, QByteArray("00"));
    QCOMPARE(press(key, 1), QStringLiteral("ok 755224"));

    QCOMPARE(key.sw("device send_apdu -c 80E105010101"), 0x9000u);
    QCOMPARE(key.ask("device send_apdu -c 80e3050001").INFO, QByteArray("01"));
    QCOMPARE(press(key, 1), QStringLiteral("ok 287082<enter>"));
    QCOMPARE(press(key, 2), QStringLiteral("ok 755224"));

    // Slots, counters and the flag survive a restart.
    QVERIFY(key.restart());
    const JSON_OBJ list = key.ask("otp list");
    QCOMPARE(list.DATA.size(), 2);
    QCOMPARE(list.DATA[0].value("name"), QByteArray("ABCD"));
    QCOMPARE(list.DATA[1].value("name"), QByteArray(""));
    QCOMPARE(key.ask(ReadEnter).INFO, QByteArray("01"));
    QCOMPARE(press(key, 1), QStringLiteral("ok 359152<enter>"));
    QCOMPARE(press(key, 2), QStringLiteral("ok 287082"));

    QCOMPARE(key.sw("device send_apdu -c 80E105010100"), 0x9000u);
    QCOMPARE(key.ask(ReadEnter).INFO, QByteArray("00"));
    QCOMPARE(press(key, 1), QStringLiteral("ok 969429"));
}

void TestOtpSim::badLinesChangeNothing_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<quint32>("sw");
    QTest::newRow("APDU class") << QByteArray("device send_apdu -c 00E3050001") << 0x6E00u;
    QTest::newRow("with-enter value 02") << QByteArray("device send_apdu -c 80E105010102") << 0x6A80u;
    QTest::newRow("odd key") << QByteArray("otp put -s 0 -k 313 -a SHA1 -t HOTP -d 6 -n 01") << 0x6A80u;
    QTest::newRow("key of 21 bytes") << "otp put -s 0 -k " + QByteArray(42, 'a') + " -a SHA1 -t HOTP -d 6 -n 01"
                                     << 0x6A80u;
    QTest::newRow("slot 2") << QByteArray("otp put -s 2 -k 3132 -a SHA1 -t HOTP -d 6 -n 01") << 0x6A80u;
    QTest::newRow("password of 33") << "otp put -s 0 -k " + QByteArray(33, 'a').toHex() +
                                           " -a SHA1 -t STATIC_PASSWORD -n 01"
                                    << 0x6A80u;
}

void TestOtpSim::badLinesChangeNothing()
{
    QFETCH(QByteArray, line);
    QFETCH(quint32, sw);
    SimKey key;
    QVERIFY(key.sim.start());
    const JSON_OBJ reply = key.ask(line);
    QCOMPARE(reply.SW, sw);
    QVERIFY(!reply.INFO.isEmpty());
    QVERIFY(key.ask("otp list").DATA.isEmpty());
    QCOMPARE(key.ask(ReadEnter).INFO, QByteArray("00"));
}

void TestOtpSim::writesNeedTouch()
{
    SimKey key;
    QVERIFY(key.start());
    QCOMPARE(key.sw(putHotp(0, 6, "AA")), 0x9000u);

    QVERIFY(key.control("touch never"));
    for (const QByteArray& line : {putHotp(1), QByteArray("otp delete -s 0 -n AA")}) {
        const JSON_OBJ reply = key.ask(line);
        QCOMPARE(reply.SW, 0x6984u);
        QCOMPARE(reply.INFO, QByteArray("Touch time out."));
    }
    QVERIFY(key.control("touch manual"));
    QCOMPARE(key.askWithTouch("otp reset", "touch timeout").SW, 0x6984u);

    // Nothing changed, and swap needs no touch.
    const JSON_OBJ list = key.ask("otp list");
    QCOMPARE(list.DATA.size(), 1);
    QCOMPARE(list.DATA[0].value("name"), QByteArray("AA"));
    QCOMPARE(key.sw("otp swap"), 0x9000u);
    QCOMPARE(key.ask("otp list").DATA.value(0).value("slot"), QByteArray("1"));
}

void TestOtpSim::slotsAndLanguageByModel_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<bool>("twoSlots");
    QTest::addColumn<quint32>("languageSw");
    QTest::newRow("R15") << "R15" << true << 0x6A81u;
    QTest::newRow("R3") << "R3" << true << 0x9000u;
    QTest::newRow("R8") << "R8" << false << 0x6A81u;
}

void TestOtpSim::slotsAndLanguageByModel()
{
    QFETCH(QString, model);
    QFETCH(bool, twoSlots);
    QFETCH(quint32, languageSw);
    SimKey key(model);
    QVERIFY(key.start());

    const JSON_OBJ empty = key.ask("otp list");
    QCOMPARE(empty.SW, 0x9000u);
    QVERIFY(empty.DATA.isEmpty());
    // The window's reading: two slots exactly when INFO names slot_2 or slot_default.
    QCOMPARE(empty.INFO.contains("slot_2") || empty.INFO.contains("slot_default"), twoSlots);

    QCOMPARE(key.sw(putHotp(0, 8, "0a0b")), 0x9000u);
    QCOMPARE(key.sw(putHotp(1)), twoSlots ? 0x9000u : 0x6A80u);
    const JSON_OBJ list = key.ask("otp list");
    QCOMPARE(list.DATA.size(), twoSlots ? 2 : 1);
    const TextMap expected = {{"slot", "0"}, {"type", "HOTP"}, {"hash", "SHA1"}, {"name", "0A0B"}};
    QCOMPARE(list.DATA[0], expected);
    QCOMPARE(key.sw("otp swap"), twoSlots ? 0x9000u : 0x6A81u);

    QCOMPARE(key.sw("otp set_language -c FR"), languageSw);
    QCOMPARE(key.status("otp_language"), languageSw == 0x9000u ? QByteArray("FR") : QByteArray("EN"));
}

void TestOtpSim::deleteResetAndSwap()
{
    SimKey key;
    QVERIFY(key.start());
    QCOMPARE(key.sw(putHotp(0, 6, "3132")), 0x9000u);
    QCOMPARE(key.sw("otp put -s 1 -k 4A6B2D7B7D20 -a SHA1 -t STATIC_PASSWORD -n 3334"), 0x9000u);
    QCOMPARE(press(key, 1), QStringLiteral("ok 755224"));

    // Swap carries the HOTP counter along with the configuration; a password stays as stored.
    QCOMPARE(key.sw("otp swap"), 0x9000u);
    QCOMPARE(press(key, 1), QStringLiteral("ok Jk-{} "));
    QCOMPARE(press(key, 1), QStringLiteral("ok Jk-{} "));
    QCOMPARE(press(key, 2), QStringLiteral("ok 287082"));

    // Delete needs the slot's own name.
    QCOMPARE(key.sw("otp delete -s 1 -n 3334"), 0x6A80u);
    QCOMPARE(key.sw("otp delete -s 1 -n 3132"), 0x9000u);
    QCOMPARE(key.harness.control("otp touch 2"), QStringLiteral("error slot 2 is empty"));
    const JSON_OBJ list = key.ask("otp list");
    QCOMPARE(list.DATA.size(), 1);
    QCOMPARE(list.DATA[0].value("type"), QByteArray("STATIC_PASSWORD"));

    QCOMPARE(key.sw("otp reset"), 0x9000u);
    QVERIFY(key.ask("otp list").DATA.isEmpty());
}

QTEST_GUILESS_MAIN(TestOtpSim)
#include "tst_otpsim.moc"
