#include "app/commands.h"
#include "app/logmask.h"

#include <QtTest>

class TestLogMask : public QObject
{
    Q_OBJECT

private slots:
    void masks_data();
    void masks();
};

void TestLogMask::masks_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("logged");

    QTest::newRow("fido set pin") << Cmd::fidoSetPin("1234") << " fido set-pin -p ****";
    QTest::newRow("fido change pin") << Cmd::fidoChangePin("1234", "5678") << " fido change-pin -p **** -n ****";
    QTest::newRow("fingerprint pin typed with blanks")
        << Cmd::fidoRemoveEnrollment("my pin", 3) << " fido remove-enrollment -p **** -i 0003";
    QTest::newRow("piv capital P") << Cmd::pivChangePin("123456", "654321") << " piv change-pin -P **** -n ****";
    QTest::newRow("management key") << Cmd::pivChangeManagementKey("123456", "0102", "0304")
                                    << " piv change-management-key -p **** -k **** -n ****";
    QTest::newRow("import with password and quoted file")
        << Cmd::pivImportKey("9a", "123456", "0102", "pass word", "/home/u/a b.pfx")
        << " piv import-key 9a -p **** -k **** -w **** \"/home/u/a b.pfx\"";
    QTest::newRow("generate keeps path and subject")
        << Cmd::pivGenerateCertificate("9a", "123456", "0102", "CN=x")
        << "piv generate-certificate 9a -p **** -k **** /tmp/public -s  \"CN=x\"";
    QTest::newRow("otp put hides only the key")
        << Cmd::otpPut(0, "00112233", "SHA1", "HOTP", 6, "0A0B") << "otp put -s 0 -k **** -a SHA1 -t HOTP -d 6 -n 0A0B";
    QTest::newRow("otp delete name is not secret") << Cmd::otpDelete(1, "0A0B") << "otp delete -s 1 -n 0A0B";
    QTest::newRow("device line untouched") << Cmd::deviceSetTransport(0x70) << "device set_transport -s 70";
    QTest::newRow("credential id is not secret") << Cmd::fidoDeleteCredential("abcd", "public-key") + " -p 31323334"
                                                 << "fido delete-resident-credential -i abcd -t public-key -p ****";
}

void TestLogMask::masks()
{
    QFETCH(QString, line);
    QFETCH(QString, logged);
    QCOMPARE(maskSecrets(line), logged);
}

QTEST_APPLESS_MAIN(TestLogMask)
#include "tst_logmask.moc"
