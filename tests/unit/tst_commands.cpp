#include "app/commands.h"

#include <QtTest>

// The backend reads these texts literally: leading blanks and doubled blanks included.
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

    QTest::newRow("monitor start") << Cmd::monitorStart() << " monitor start";
    QTest::newRow("fido set pin hex") << Cmd::fidoSetPin("1234") << " fido set-pin -p 31323334";
    QTest::newRow("fido change pin hex utf-8")
        << Cmd::fidoChangePin("1234", "\u00e9abc") << " fido change-pin -p 31323334 -n c3a9616263";
    QTest::newRow("fido list") << Cmd::fidoListCredentials("1234") << " fido get-resident-credentials -p 31323334";
    QTest::newRow("fido delete") << Cmd::fidoDeleteCredential("AbC=", "public-key")
                                 << "fido delete-resident-credential -i AbC= -t public-key";
    QTest::newRow("retries from menu") << Cmd::fidoPinRetriesFromMenu() << " fido get_pin_retries ";
    QTest::newRow("retries from refresh") << Cmd::fidoPinRetriesFromRefresh() << " fido get_pin_retries";
    QTest::newRow("enroll begin pin as typed") << Cmd::fidoEnrollBegin("1234") << " fido enrollment-begin -p 1234";
    QTest::newRow("enroll next") << Cmd::fidoEnrollNext("07") << " fido enrollment-next -i 07";
    QTest::newRow("remove enrollment 10")
        << Cmd::fidoRemoveEnrollment("1234", 10) << " fido remove-enrollment -p 1234 -i 000a";
    QTest::newRow("remove enrollment 0") << Cmd::fidoRemoveEnrollment("1234", 0)
                                         << " fido remove-enrollment -p 1234 -i 0000";
    QTest::newRow("cancel") << Cmd::fidoCancelEnrollment() << " fido cancel-enrollment ";
    QTest::newRow("verify") << Cmd::fidoVerifyEnrollment() << " fido verify-enrollment ";
    QTest::newRow("piv pin capital P") << Cmd::pivChangePin("123456", "654321")
                                       << " piv change-pin -P 123456 -n 654321";
    QTest::newRow("piv puk") << Cmd::pivChangePuk("12345678", "87654321") << " piv change-puk -p 12345678 -n 87654321";
    QTest::newRow("piv reset no blank") << Cmd::pivReset() << "piv reset";
    QTest::newRow("import key no password")
        << Cmd::pivImportKey("9a", "123456", "K", "", "/a b.pfx") << " piv import-key 9a -p 123456 -k K \"/a b.pfx\"";
    QTest::newRow("import key password") << Cmd::pivImportKey("9a", "123456", "K", "pw", "/a.pfx")
                                         << " piv import-key 9a -p 123456 -k K -w pw \"/a.pfx\"";
    QTest::newRow("import certificate") << Cmd::pivImportCertificate("9c", "123456", "K", "", "/c.der")
                                        << " piv import-certificate 9c -p 123456 -k K \"/c.der\"";
    QTest::newRow("generate key") << Cmd::pivGenerateKey("9d", "123456", "K", "ECCP256", "/t/public")
                                  << " piv generate-key 9d -p 123456 -k K -a ECCP256 /t/public";
    QTest::newRow("self-signed two blanks") << Cmd::pivGenerateCertificate("9a", "123456", "K", "/t/public", "TEST")
                                            << "piv generate-certificate 9a -p 123456 -k K /t/public -s  \"TEST\"";
    QTest::newRow("csr one blank") << Cmd::pivGenerateCsr("9e", "123456", "/t/public", "/x.csr", "TEST")
                                   << "piv generate-csr 9e -p 123456 /t/public \"/x.csr\" -s \"TEST\"";
    QTest::newRow("delete certificate") << Cmd::pivDeleteCertificate("9a", "123456", "K")
                                        << " piv delete-certificate 9a -p 123456 -k K";
    QTest::newRow("export certificate") << Cmd::pivExportCertificate("9a", "/x.pem")
                                        << " piv export-certificate 9a \"/x.pem\"";
    QTest::newRow("read object") << Cmd::pivReadObject("9a") << " piv read-object 9a";
    QTest::newRow("has fingerprint") << Cmd::pivHasFingerprint() << " piv has_fingerprint ";
    QTest::newRow("bio policy") << Cmd::pivSetBioPolicy("9a", "CACHED") << " piv set_biopolicy 9a --bio-policy CACHED";
    QTest::newRow("cached time two blanks") << Cmd::pivSetCachedTime(60) << " piv set_cachedtime  -t 60";
    QTest::newRow("otp put hotp") << Cmd::otpPut(0, "K", "SHA1", "HOTP", 6, "N")
                                  << "otp put -s 0 -k K -a SHA1 -t HOTP -d 6 -n N";
    QTest::newRow("otp put static") << Cmd::otpPut(1, "K", "SHA1", "STATIC_PASSWORD", 0, "N")
                                    << "otp put -s 1 -k K -a SHA1 -t STATIC_PASSWORD -n N";
    QTest::newRow("otp delete") << Cmd::otpDelete(1, "N") << "otp delete -s 1 -n N";
    QTest::newRow("otp challenge") << Cmd::otpChallenge(1, "0aff") << "otp challenge -s 1 -c 0aff";
    QTest::newRow("language") << Cmd::otpSetLanguage("FR") << "otp set_language -c FR";
    QTest::newRow("with enter read") << Cmd::otpReadWithEnter() << "device send_apdu -c 80E3050001";
    QTest::newRow("with enter on") << Cmd::otpWriteWithEnter(true) << "device send_apdu -c 80E105010101";
    QTest::newRow("with enter off") << Cmd::otpWriteWithEnter(false) << "device send_apdu -c 80E105010100";
    QTest::newRow("application mask decimal") << Cmd::deviceSetApplication(0x27) << "device set_application -s 39";
    QTest::newRow("transport upper hex") << Cmd::deviceSetTransport(0x7a) << "device set_transport -s 7A";
    QTest::newRow("device info") << Cmd::deviceInfo() << "monitor deviceinfo";
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
