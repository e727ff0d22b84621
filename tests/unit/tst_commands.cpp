#include "app/commands.h"

#include <QtTest>

// The backend reads these texts literally. The window's flow tests show most lines as sent; these
// are the quirks none of them shows.
class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    void lines_data();
    void lines();
    void unsafeLines_data();
    void unsafeLines();
};

void TestCommands::lines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("wire");
    QTest::newRow("retries from refresh: no trailing blank")
        << Cmd::fidoPinRetriesFromRefresh() << " fido get_pin_retries";
    QTest::newRow("verify: trailing blank") << Cmd::fidoVerifyEnrollment() << " fido verify-enrollment ";
    QTest::newRow("with enter on") << Cmd::otpWriteWithEnter(true) << "device send_apdu -c 80E105010101";
    QTest::newRow("with enter off") << Cmd::otpWriteWithEnter(false) << "device send_apdu -c 80E105010100";
    QTest::newRow("application mask decimal") << Cmd::deviceSetApplication(0x27) << "device set_application -s 39";
    QTest::newRow("transport upper hex") << Cmd::deviceSetTransport(0x7a) << "device set_transport -s 7A";
}

void TestCommands::lines()
{
    QFETCH(QString, line);
    QFETCH(QString, wire);
    QCOMPARE(line, wire);
}

void TestCommands::unsafeLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("safe");
    QTest::newRow("plain") << QStringLiteral("otp list") << true;
    QTest::newRow("line feed") << QStringLiteral("otp list\nexit") << false;
    QTest::newRow("carriage return") << QStringLiteral("otp list\rexit") << false;
    QTest::newRow("nul") << QStringLiteral("otp list") + QChar(0) << false;
}

void TestCommands::unsafeLines()
{
    QFETCH(QString, line);
    QFETCH(bool, safe);
    QCOMPARE(Cmd::isSafeLine(line), safe);
}

QTEST_APPLESS_MAIN(TestCommands)
#include "tst_commands.moc"
