// kvman-sim's OTP application: the slots produce what a real key types (RFC 4226 HOTP codes,
// RFC 2202 HMAC-SHA1 responses), writes need a touch, and the state survives restarts.
#include "common/simharness.h"
#include "common/simprocess.h"

#include <QtTest>

namespace {

// ASCII "12345678901234567890", the secret of RFC 4226 Appendix D.
const QByteArray RfcSecret = QByteArray("12345678901234567890").toHex();

QByteArray putHotp(int slot, const QByteArray& key, int digits, const QByteArray& name = "0102")
{
    return "otp put -s " + QByteArray::number(slot) + " -k " + key + " -a SHA1 -t HOTP -d " +
           QByteArray::number(digits) + " -n " + name;
}

QString press(const SimHarness& harness, int slot, const QByteArray& challenge = QByteArray())
{
    QString command = QStringLiteral("otp touch ") + QString::number(slot);
    if (!challenge.isNull()) {
        command += QLatin1Char(' ') + QString::fromLatin1(challenge);
    }
    return harness.control(command);
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
    void staticPasswordIsTypedAsStored();
    void withEnterFlagFollowsApdusAndMarksSlotOne();
    void otherApdusAreRefused_data();
    void otherApdusAreRefused();
    void writesNeedTouch_data();
    void writesNeedTouch();
    void listNamesSlotsByModel_data();
    void listNamesSlotsByModel();
    void deleteResetAndSwap();
    void badPutLinesAreRefused_data();
    void badPutLinesAreRefused();
    void languageOnlyOnKeysThatHaveOne_data();
    void languageOnlyOnKeysThatHaveOne();
    void touchControlRefusesWhatCannotBeTyped();
    void slotsAndCounterSurviveRestart();
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
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());

    QCOMPARE(sim.requestParsed(putHotp(0, RfcSecret, digits)).SW, 0x9000u);
    for (const QString& code : codes) {
        QCOMPARE(press(harness, 1), "ok " + code);
    }
}

void TestOtpSim::challengeResponseIsRfc2202HmacSha1_data()
{
    QTest::addColumn<QByteArray>("key");
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
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, data);
    QFETCH(QString, digest);
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());

    QCOMPARE(sim.requestParsed("otp put -s 1 -k " + key + " -a SHA1 -t CHALLENGE_RESPONSE -n 4142").SW, 0x9000u);
    QCOMPARE(press(harness, 2, data.toHex()), "ok " + digest);
    // A response does not move anything on: the same challenge gives the same answer.
    QCOMPARE(press(harness, 2, data.toHex().toUpper()), "ok " + digest);
}

void TestOtpSim::staticPasswordIsTypedAsStored()
{
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());

    QCOMPARE(sim.requestParsed("otp put -s 1 -k 4A6B2D7B7D20 -a SHA1 -t STATIC_PASSWORD -n ").SW, 0x9000u);
    QCOMPARE(press(harness, 2), QStringLiteral("ok Jk-{} "));
    QCOMPARE(press(harness, 2), QStringLiteral("ok Jk-{} "));
}

void TestOtpSim::withEnterFlagFollowsApdusAndMarksSlotOne()
{
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());
    QCOMPARE(sim.requestParsed(putHotp(0, RfcSecret, 6)).SW, 0x9000u);
    QCOMPARE(sim.requestParsed(putHotp(1, RfcSecret, 6)).SW, 0x9000u);

    QCOMPARE(sim.requestParsed("device send_apdu -c 80E3050001").INFO, QByteArray("00"));
    QCOMPARE(press(harness, 1), QStringLiteral("ok 755224"));

    const JSON_OBJ on = sim.requestParsed("device send_apdu -c 80E105010101");
    QCOMPARE(on.SW, 0x9000u);
    QCOMPARE(sim.requestParsed("device send_apdu -c 80e3050001").INFO, QByteArray("01"));
    QCOMPARE(press(harness, 1), QStringLiteral("ok 287082<enter>"));
    QCOMPARE(press(harness, 2), QStringLiteral("ok 755224"));
    QVERIFY(harness.control("status").contains("otp_enter=on"));

    QCOMPARE(sim.requestParsed("device send_apdu -c 80E105010100").SW, 0x9000u);
    QCOMPARE(sim.requestParsed("device send_apdu -c 80E3050001").INFO, QByteArray("00"));
    QCOMPARE(press(harness, 1), QStringLiteral("ok 359152"));
}

void TestOtpSim::otherApdusAreRefused_data()
{
    QTest::addColumn<QByteArray>("apdu");
    QTest::addColumn<quint32>("sw");
    QTest::newRow("not hex") << QByteArray("80E30500ZZ") << 0x6A80u;
    QTest::newRow("too short") << QByteArray("80E305") << 0x6A80u;
    QTest::newRow("missing") << QByteArray() << 0x6A80u;
    QTest::newRow("class") << QByteArray("00E3050001") << 0x6E00u;
    QTest::newRow("instruction") << QByteArray("80CA050001") << 0x6D00u;
    QTest::newRow("write value 02") << QByteArray("80E105010102") << 0x6A80u;
}

void TestOtpSim::otherApdusAreRefused()
{
    QFETCH(QByteArray, apdu);
    QFETCH(quint32, sw);
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QCOMPARE(sim.requestParsed("device send_apdu -c " + apdu).SW, sw);
    QCOMPARE(sim.requestParsed("device send_apdu -c 80E3050001").INFO, QByteArray("00"));
}

void TestOtpSim::writesNeedTouch_data()
{
    QTest::addColumn<QString>("touchMode");
    QTest::addColumn<QString>("resolve");
    QTest::newRow("never") << "touch never" << QString();
    QTest::newRow("manual, timed out") << "touch manual"
                                       << "touch timeout";
}

void TestOtpSim::writesNeedTouch()
{
    QFETCH(QString, touchMode);
    QFETCH(QString, resolve);
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());
    QCOMPARE(sim.requestParsed(putHotp(0, RfcSecret, 6, "AA")).SW, 0x9000u);
    QVERIFY(harness.control(touchMode).startsWith("ok"));

    const QByteArray lines[] = {putHotp(1, RfcSecret, 6), "otp delete -s 0 -n AA", "otp reset"};
    for (const QByteArray& line : lines) {
        sim.send(line);
        if (!resolve.isEmpty()) {
            QTRY_VERIFY(harness.control("status").contains("touch_pending=yes"));
            QCOMPARE(harness.control(resolve), QStringLiteral("ok timed out"));
        }
        const JSON_OBJ reply = SimProcess::parse(sim.nextReply());
        QCOMPARE(reply.SW, 0x6984u);
        QCOMPARE(reply.INFO, QByteArray("Touch time out."));
    }
    // Nothing changed, and swap needs no touch.
    const JSON_OBJ list = sim.requestParsed("otp list");
    QCOMPARE(list.DATA.size(), 1);
    QCOMPARE(list.DATA[0].value("name"), QByteArray("AA"));
    QCOMPARE(sim.requestParsed("otp swap").SW, 0x9000u);
    QCOMPARE(sim.requestParsed("otp list").DATA.value(0).value("slot"), QByteArray("1"));
}

void TestOtpSim::listNamesSlotsByModel_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<bool>("twoSlots");
    QTest::newRow("R15") << "R15" << true;
    QTest::newRow("R3") << "R3" << true;
    QTest::newRow("R8") << "R8" << false;
}

void TestOtpSim::listNamesSlotsByModel()
{
    QFETCH(QString, model);
    QFETCH(bool, twoSlots);
    SimHarness harness(model);
    SimProcess sim;
    QVERIFY(sim.start());

    const JSON_OBJ empty = sim.requestParsed("otp list");
    QCOMPARE(empty.SW, 0x9000u);
    QVERIFY(empty.DATA.isEmpty());
    // The window's reading: two slots exactly when INFO names slot_2 or slot_default.
    const bool namesSecond = empty.INFO.contains("slot_2") || empty.INFO.contains("slot_default");
    QCOMPARE(namesSecond, twoSlots);

    QCOMPARE(sim.requestParsed(putHotp(0, RfcSecret, 8, "0a0b")).SW, 0x9000u);
    QCOMPARE(sim.requestParsed(putHotp(1, RfcSecret, 6)).SW, twoSlots ? 0x9000u : 0x6A80u);
    const JSON_OBJ list = sim.requestParsed("otp list");
    QCOMPARE(list.DATA.size(), twoSlots ? 2 : 1);
    QCOMPARE(list.DATA[0].value("slot"), QByteArray("0"));
    QCOMPARE(list.DATA[0].value("type"), QByteArray("HOTP"));
    QCOMPARE(list.DATA[0].value("hash"), QByteArray("SHA1"));
    QCOMPARE(list.DATA[0].value("name"), QByteArray("0A0B"));
    QCOMPARE(sim.requestParsed("otp swap").SW, twoSlots ? 0x9000u : 0x6A81u);
}

void TestOtpSim::deleteResetAndSwap()
{
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());
    QCOMPARE(sim.requestParsed(putHotp(0, RfcSecret, 6, "3132")).SW, 0x9000u);
    QCOMPARE(sim.requestParsed("otp put -s 1 -k 616263 -a SHA1 -t STATIC_PASSWORD -n 3334").SW, 0x9000u);
    QCOMPARE(press(harness, 1), QStringLiteral("ok 755224"));

    // Swap carries the HOTP counter along with the configuration.
    QCOMPARE(sim.requestParsed("otp swap").SW, 0x9000u);
    QCOMPARE(press(harness, 1), QStringLiteral("ok abc"));
    QCOMPARE(press(harness, 2), QStringLiteral("ok 287082"));

    QCOMPARE(sim.requestParsed("otp delete -s 1 -n 3334").SW, 0x6A80u);
    QCOMPARE(sim.requestParsed("otp delete -s 1 -n").SW, 0x6A80u);
    QCOMPARE(sim.requestParsed("otp delete -s 2 -n 3132").SW, 0x6A80u);
    QCOMPARE(sim.requestParsed("otp delete -s 1 -n 3132").SW, 0x9000u);
    QCOMPARE(sim.requestParsed("otp delete -s 1 -n 3132").SW, 0x6A80u);
    QCOMPARE(harness.control("otp touch 2"), QStringLiteral("error slot 2 is empty"));
    const JSON_OBJ list = sim.requestParsed("otp list");
    QCOMPARE(list.DATA.size(), 1);
    QCOMPARE(list.DATA[0].value("slot"), QByteArray("0"));
    QCOMPARE(list.DATA[0].value("type"), QByteArray("STATIC_PASSWORD"));

    QCOMPARE(sim.requestParsed("otp reset").SW, 0x9000u);
    QVERIFY(sim.requestParsed("otp list").DATA.isEmpty());
}

void TestOtpSim::badPutLinesAreRefused_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("odd key") << QByteArray("otp put -s 0 -k 313 -a SHA1 -t HOTP -d 6 -n 01");
    QTest::newRow("key of 21 bytes") << "otp put -s 0 -k " + QByteArray(42, 'a') + " -a SHA1 -t HOTP -d 6 -n 01";
    QTest::newRow("no digits") << QByteArray("otp put -s 0 -k 3132 -a SHA1 -t HOTP -n 01");
    QTest::newRow("other hash") << QByteArray("otp put -s 0 -k 3132 -a SHA256 -t HOTP -d 6 -n 01");
    QTest::newRow("other mode") << QByteArray("otp put -s 0 -k 3132 -a SHA1 -t TOTP -d 6 -n 01");
    QTest::newRow("slot 2") << QByteArray("otp put -s 2 -k 3132 -a SHA1 -t HOTP -d 6 -n 01");
    QTest::newRow("name not hex") << QByteArray("otp put -s 0 -k 3132 -a SHA1 -t HOTP -d 6 -n abc");
    QTest::newRow("password of 33") << "otp put -s 0 -k " + QByteArray(33, 'a').toHex() +
                                           " -a SHA1 -t STATIC_PASSWORD -n 01";
}

void TestOtpSim::badPutLinesAreRefused()
{
    QFETCH(QByteArray, line);
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    const JSON_OBJ reply = sim.requestParsed(line);
    QCOMPARE(reply.SW, 0x6A80u);
    QVERIFY(!reply.INFO.isEmpty());
    QVERIFY(sim.requestParsed("otp list").DATA.isEmpty());
}

void TestOtpSim::languageOnlyOnKeysThatHaveOne_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<quint32>("sw");
    QTest::newRow("R3 French") << "R3" << QByteArray("otp set_language -c FR") << 0x9000u;
    QTest::newRow("R3 German") << "R3" << QByteArray("otp set_language -c DE") << 0x6A80u;
    QTest::newRow("R15") << "R15" << QByteArray("otp set_language -c FR") << 0x6A81u;
    QTest::newRow("R22 has no OTP") << "R22" << QByteArray("otp set_language -c FR") << 0x6A82u;
    QTest::newRow("R22 list") << "R22" << QByteArray("otp list") << 0x6A82u;
    QTest::newRow("R22 with-enter") << "R22" << QByteArray("device send_apdu -c 80E3050001") << 0x6A82u;
}

void TestOtpSim::languageOnlyOnKeysThatHaveOne()
{
    QFETCH(QString, model);
    QFETCH(QByteArray, line);
    QFETCH(quint32, sw);
    SimHarness harness(model);
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());
    QCOMPARE(sim.requestParsed(line).SW, sw);
    if (line.endsWith("FR") && sw == 0x9000u) {
        QVERIFY(harness.control("status").contains("otp_language=FR"));
    }
}

void TestOtpSim::touchControlRefusesWhatCannotBeTyped()
{
    SimHarness harness;
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());
    QCOMPARE(sim.requestParsed(putHotp(0, RfcSecret, 6)).SW, 0x9000u);
    QCOMPARE(sim.requestParsed("otp put -s 1 -k 4a656665 -a SHA1 -t CHALLENGE_RESPONSE -n 01").SW, 0x9000u);

    QVERIFY(harness.control("otp touch 3").startsWith("error usage"));
    QVERIFY(harness.control("otp").startsWith("error usage"));
    QVERIFY(harness.control("otp touch 1 00").startsWith("error"));
    QVERIFY(harness.control("otp touch 2").startsWith("error"));
    QVERIFY(harness.control("otp touch 2 0g").startsWith("error"));
    // The code is typed through the keyboard transport; without it nothing comes out.
    QCOMPARE(sim.requestParsed("device set_transport -s 60").SW, 0x9000u);
    QVERIFY(harness.control("unplug").startsWith("ok"));
    QVERIFY(harness.control("plug").startsWith("ok"));
    QVERIFY(harness.control("otp touch 1").startsWith("error"));
    QVERIFY(harness.control("otp touch 2 00").startsWith("ok "));
    // The refused presses did not use up a code.
    QCOMPARE(sim.requestParsed("device set_transport -s 70").SW, 0x9000u);
    QVERIFY(harness.control("unplug").startsWith("ok"));
    QVERIFY(harness.control("plug").startsWith("ok"));
    QCOMPARE(press(harness, 1), QStringLiteral("ok 755224"));
}

void TestOtpSim::slotsAndCounterSurviveRestart()
{
    SimHarness harness;
    harness.useStateFile();
    {
        SimProcess sim;
        QVERIFY(sim.start());
        QVERIFY(harness.waitUntilReady());
        QCOMPARE(sim.requestParsed(putHotp(0, RfcSecret, 6, "ABCD")).SW, 0x9000u);
        QCOMPARE(sim.requestParsed("otp put -s 1 -k 4a656665 -a SHA1 -t CHALLENGE_RESPONSE -n ").SW, 0x9000u);
        QCOMPARE(sim.requestParsed("device send_apdu -c 80E105010101").SW, 0x9000u);
        QCOMPARE(press(harness, 1), QStringLiteral("ok 755224<enter>"));
        QCOMPARE(press(harness, 1), QStringLiteral("ok 287082<enter>"));
        // The pressed counter is written with the next command line.
        QCOMPARE(sim.requestParsed("otp list").DATA.size(), 2);
        QVERIFY(sim.finish());
    }
    SimProcess sim;
    QVERIFY(sim.start());
    QVERIFY(harness.waitUntilReady());
    const JSON_OBJ list = sim.requestParsed("otp list");
    QCOMPARE(list.DATA.size(), 2);
    QCOMPARE(list.DATA[0].value("name"), QByteArray("ABCD"));
    QCOMPARE(list.DATA[1].value("type"), QByteArray("CHALLENGE_RESPONSE"));
    QCOMPARE(list.DATA[1].value("name"), QByteArray(""));
    QCOMPARE(sim.requestParsed("device send_apdu -c 80E3050001").INFO, QByteArray("01"));
    QCOMPARE(press(harness, 1), QStringLiteral("ok 359152<enter>"));
}

QTEST_GUILESS_MAIN(TestOtpSim)
#include "tst_otpsim.moc"
