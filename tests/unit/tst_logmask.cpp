#include "app/commands.h"
#include "app/logmask.h"

#include <QtTest>

class TestLogMask : public QObject
{
    Q_OBJECT

private slots:
    void masks_data();
    void masks();
    void repliesNamingPeopleAreSummarised_data();
    void repliesNamingPeopleAreSummarised();
};

void TestLogMask::masks_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("logged");

    QTest::newRow("fido set pin") << Cmd::fidoSetPin("1234") << " fido set-pin -p ****";
    QTest::newRow("fido change pin") << Cmd::fidoChangePin("1234", "5678") << " fido change-pin -p ****";
    QTest::newRow("fingerprint pin typed with an option inside")
        << Cmd::fidoEnrollBegin("my -x pin -n 1") << " fido enrollment-begin -p ****";
    QTest::newRow("fingerprint pin typed with blanks")
        << Cmd::fidoRemoveEnrollment("my pin -i 0001", 3) << " fido remove-enrollment -p **** -i 0003";
    QTest::newRow("piv capital P, option in the old PIN")
        << Cmd::pivChangePin("12 -n 3456", "654321") << " piv change-pin -P ****";
    QTest::newRow("import: password with a quote, quoted file")
        << Cmd::pivImportKey("9a", "123456", "0102", "pa\"ss \"/x", "/home/u/a b.pfx")
        << " piv import-key 9a -p **** \"/home/u/a b.pfx\"";
    QTest::newRow("generate keeps path and subject")
        << Cmd::pivGenerateCertificate("9a", "1 /p -s  \"", "0102", "/tmp/skm-Ab12Cd/public", "CN=x")
        << "piv generate-certificate 9a -p **** /tmp/skm-Ab12Cd/public -s  \"CN=x\"";
    QTest::newRow("generate key keeps algorithm and path")
        << Cmd::pivGenerateKey("9c", "1 -a X Y", "0102", "RSA2048", "/t/public")
        << " piv generate-key 9c -p **** -a RSA2048 /t/public";
    QTest::newRow("csr keeps paths and subject") << Cmd::pivGenerateCsr("9e", "123456", "/t/public", "/h/r.csr", "CN=y")
                                                 << "piv generate-csr 9e -p **** /t/public \"/h/r.csr\" -s \"CN=y\"";
    QTest::newRow("otp put hides only the key")
        << Cmd::otpPut(0, "00112233", "SHA1", "HOTP", 6, "0A0B") << "otp put -s 0 -k **** -a SHA1 -t HOTP -d 6 -n 0A0B";
    QTest::newRow("otp delete name is not secret") << Cmd::otpDelete(1, "0A0B") << "otp delete -s 1 -n 0A0B";
    QTest::newRow("credential id is not secret") << Cmd::fidoDeleteCredential("abcd", "public-key") + " -p 31323334"
                                                 << "fido delete-resident-credential -i abcd -t public-key -p ****";
}

void TestLogMask::masks()
{
    QFETCH(QString, line);
    QFETCH(QString, logged);
    QCOMPARE(maskSecrets(line), logged);
}

void TestLogMask::repliesNamingPeopleAreSummarised_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("logged");
    const QString credentials =
        QStringLiteral("{'SW':'9000','DATA':[{'RP_ID':'bank.example','USER_NAME':'Brien','CREDENTIAL_ID':"
                       "'3f2a9c01','CREDENTIAL_TYPE':'public-key'},{'USER_NAME':'ann','CREDENTIAL_ID':'77aa0000'}]}");
    QTest::newRow("credential list") << credentials << int(CmdType::FidoListCredentials)
                                     << "SW 9000, 2 records, credential IDs 3f2a... 77aa...";
    QTest::newRow("fingerprint names") << "{'SW':'9000','DATA':[{'TEMP_NAME':'thumb of Ann'}]}"
                                       << int(CmdType::FidoEnumerate) << "SW 9000, 1 records";
    QTest::newRow("otp list kept") << "{'SW':'9000','DATA':[{'slot':'0'}]}" << int(CmdType::OtpList)
                                   << "{'SW':'9000','DATA':[{'slot':'0'}]}";
}

void TestLogMask::repliesNamingPeopleAreSummarised()
{
    QFETCH(QString, reply);
    QFETCH(int, type);
    QFETCH(QString, logged);
    QCOMPARE(replyForLog(reply, type), logged);
}

QTEST_APPLESS_MAIN(TestLogMask)
#include "tst_logmask.moc"
