// The configuration form's rules that need no window: validator patterns, the static key's
// last-character rule and the random generators' alphabets and lengths.
#include "otp/otpinput.h"

#include <QRegExp>
#include <QSet>
#include <QtTest>

class TestOtpInput : public QObject
{
    Q_OBJECT

private slots:
    void patterns_data();
    void patterns();
    void staticKeyCharacters_data();
    void staticKeyCharacters();
    void hexKeysAreUpperCaseHexOfPrintableBytes();
    void modhexKeysUseTheSixteenLettersInBothCases();
    void serialsAreTwelveDigits();
    void nothingForCountBelowOne();
};

void TestOtpInput::patterns_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    const QString noCjk = OtpInput::noCjkPattern();
    QTest::newRow("no-CJK latin") << noCjk << "Serial 42 <x>!" << true;
    QTest::newRow("no-CJK first ideograph") << noCjk << QString::fromUtf8("a一") << false;
    QTest::newRow("no-CJK last ideograph") << noCjk << QString(QChar(0x9FA5)) << false;
    QTest::newRow("no-CJK beyond range") << noCjk << QString(QChar(0x9FA6)) << true;
    QTest::newRow("no-CJK full-width comma") << noCjk << QString::fromUtf8("a，b") << false;
    QTest::newRow("no-CJK full-width question") << noCjk << QString::fromUtf8("？") << false;
    QTest::newRow("no-CJK ellipsis") << noCjk << QString::fromUtf8("…") << false;
    QTest::newRow("no-CJK empty") << noCjk << QString() << false;
    QTest::newRow("hex both cases") << OtpInput::hexPattern() << "09afAF" << true;
    QTest::newRow("hex g") << OtpInput::hexPattern() << "0g" << false;
    QTest::newRow("modhex all") << OtpInput::modhexPattern() << "bcdefghijklnrtuvBCDEFGHIJKLNRTUV" << true;
    QTest::newRow("modhex a") << OtpInput::modhexPattern() << "bca" << false;
    QTest::newRow("modhex digit") << OtpInput::modhexPattern() << "bc1" << false;
}

void TestOtpInput::patterns()
{
    QFETCH(QString, pattern);
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QCOMPARE(QRegExp(pattern, Qt::CaseSensitive).exactMatch(text), accepted);
}

void TestOtpInput::staticKeyCharacters_data()
{
    QTest::addColumn<QChar>("c");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("blank") << QChar(' ') << true;
    QTest::newRow("tilde") << QChar('~') << true;
    QTest::newRow("letter") << QChar('q') << true;
    QTest::newRow("below blank") << QChar(0x1F) << false;
    QTest::newRow("tab") << QChar('\t') << false;
    QTest::newRow("DEL") << QChar(0x7F) << false;
    QTest::newRow("e acute") << QChar(0xE9) << false;
    QTest::newRow("ideograph") << QChar(0x4E2D) << false;
    QTest::newRow("less than") << QChar('<') << false;
    QTest::newRow("greater than") << QChar('>') << false;
}

void TestOtpInput::staticKeyCharacters()
{
    QFETCH(QChar, c);
    QFETCH(bool, allowed);
    QCOMPARE(OtpInput::isStaticKeyChar(c), allowed);
}

void TestOtpInput::hexKeysAreUpperCaseHexOfPrintableBytes()
{
    QSet<int> seen;
    for (int round = 0; round < 300; ++round) {
        const QString key = OtpInput::randomData(16, true, true);
        QVERIFY2(QRegExp(QStringLiteral("[0-9A-F]{32}")).exactMatch(key), qPrintable(key));
        for (int i = 0; i < 32; i += 2) {
            const int byte = key.mid(i, 2).toInt(nullptr, 16);
            QVERIFY2(byte >= 0x20 && byte <= 0x7D, qPrintable(key));
            seen.insert(byte);
        }
        const QString text = OtpInput::randomData(16, false, true);
        QCOMPARE(text.size(), 16);
        for (QChar c : text)
            QVERIFY(c.unicode() >= 0x20 && c.unicode() <= 0x7D);
    }
    // 4800 draws reach every one of the 94 values, the ends included.
    QCOMPARE(seen.size(), 94);
}

void TestOtpInput::modhexKeysUseTheSixteenLettersInBothCases()
{
    QSet<QChar> seen;
    for (int round = 0; round < 100; ++round) {
        const QString key = OtpInput::randomData(16, false, false);
        QCOMPARE(key.size(), 16);
        QVERIFY(QRegExp(OtpInput::modhexPattern()).exactMatch(key));
        for (QChar c : key)
            seen.insert(c);
    }
    QCOMPARE(seen.size(), 32);
    // In hex form each modhex character is its two upper-case digits.
    const QString hex = OtpInput::randomData(16, true, false);
    QVERIFY(QRegExp(QStringLiteral("[0-9A-F]{32}")).exactMatch(hex));
    QVERIFY(QRegExp(OtpInput::modhexPattern()).exactMatch(QString::fromLatin1(QByteArray::fromHex(hex.toLatin1()))));
}

void TestOtpInput::serialsAreTwelveDigits()
{
    QSet<QChar> seen;
    for (int round = 0; round < 50; ++round) {
        const QString serial = OtpInput::randomSerial();
        QVERIFY2(QRegExp(QStringLiteral("[0-9]{12}")).exactMatch(serial), qPrintable(serial));
        for (QChar c : serial)
            seen.insert(c);
    }
    QCOMPARE(seen.size(), 10);
}

void TestOtpInput::nothingForCountBelowOne()
{
    QCOMPARE(OtpInput::randomData(0, true, true), QString());
    QCOMPARE(OtpInput::randomData(-3, false, false), QString());
}

QTEST_GUILESS_MAIN(TestOtpInput)
#include "tst_otpinput.moc"
