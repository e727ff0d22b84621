// The simulated key's PIV slots: real key pairs, self-signed certificates and signing requests
// checked with the openssl tool, PKCS#12 and plain certificate import, export, delete, read,
// refusals, and the public-key file that is never written through a symbolic link.
#include "common/simharness.h"
#include "common/simprocess.h"

#include <QtTest>

namespace {

const QByteArray Pin = "80417326";
const QByteArray Key = "7E3D0C41F58B29D6B1C48E2F7D0B5C63D6E1F4C8072B3B5E";
const QByteArray Secrets = " -p " + Pin + " -k " + Key;

QByteArray quoted(const QString& path)
{
    return "\"" + QFile::encodeName(path) + "\"";
}

// Runs the openssl tool; its standard output, or a null array when it fails.
QByteArray openssl(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning() << "openssl" << arguments << process.readAllStandardError();
        return QByteArray();
    }
    const QByteArray out = process.readAllStandardOutput();
    return out.isNull() ? QByteArray("") : out;
}

QByteArray fileContent(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// "2025-06-01 to 2026-06-01" for a certificate issued on a UTC day between first and last.
bool validityMatches(const QByteArray& validity, int days, const QDate& first, const QDate& last)
{
    for (QDate day = first; day <= last; day = day.addDays(1)) {
        if (validity == (day.toString(Qt::ISODate) + " to " + day.addDays(days).toString(Qt::ISODate)).toUtf8()) {
            return true;
        }
    }
    qWarning() << "unexpected validity" << validity;
    return false;
}

QDate utcToday()
{
    return QDateTime::currentDateTimeUtc().date();
}

} // namespace

class TestPivSlots : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void selfSignedCertificate_data();
    void selfSignedCertificate();
    void signingRequestVerifies();
    void pkcs12ImportAsTheWindowChainsIt_data();
    void pkcs12ImportAsTheWindowChainsIt();
    void plainCertificateAndKeyFiles_data();
    void plainCertificateAndKeyFiles();
    void issuerOfCertificateSignedByAnother();
    void badImportChangesNothing_data();
    void badImportChangesNothing();
    void refusals_data();
    void refusals();
    void wrongSecretsOnSlotCommands();
    void publicKeyFileMustBeTheSlots();
    void deleteKeepsTheKey();
    void publicKeyPathSymlinkIsNotFollowed();

private:
    QByteArray request(const QByteArray& line) { return m_sim->request(line); }
    JSON_OBJ parsed(const QByteArray& line) { return m_sim->requestParsed(line); }
    QString path(const QString& name) const { return m_harness->dir() + "/" + name; }
    QByteArray publicPath() const { return QFile::encodeName(path("public")); }
    quint32 generateKey(const QByteArray& slot, const QByteArray& algorithm);
    quint32 generateCertificate(const QByteArray& slot, const QByteArray& subject);
    // A key and self-signed certificate made by the openssl tool, as key.pem and cert.pem.
    bool makeOutsideIdentity(const QString& subject);

    std::unique_ptr<SimHarness> m_harness;
    std::unique_ptr<SimProcess> m_sim;
};

void TestPivSlots::init()
{
    m_harness = std::make_unique<SimHarness>();
    m_sim = std::make_unique<SimProcess>();
    QVERIFY(m_sim->start());
}

void TestPivSlots::cleanup()
{
    m_sim.reset();
    m_harness.reset();
}

quint32 TestPivSlots::generateKey(const QByteArray& slot, const QByteArray& algorithm)
{
    return parsed(" piv generate-key " + slot + Secrets + " -a " + algorithm + " " + publicPath()).SW;
}

quint32 TestPivSlots::generateCertificate(const QByteArray& slot, const QByteArray& subject)
{
    return parsed("piv generate-certificate " + slot + Secrets + " " + publicPath() + " -s  \"" + subject + "\"").SW;
}

bool TestPivSlots::makeOutsideIdentity(const QString& subject)
{
    return !openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-keyout",
                     path("key.pem"), "-out", path("cert.pem"), "-subj", subject, "-days", "30"})
                .isNull();
}

void TestPivSlots::selfSignedCertificate_data()
{
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<QByteArray>("algorithm");
    QTest::addColumn<QByteArray>("subject");
    QTest::addColumn<QByteArray>("shown");
    QTest::addColumn<QByteArray>("opensslSubject");
    QTest::addColumn<QByteArray>("keyType");
    QTest::newRow("ECC, bare name") << QByteArray("9a") << QByteArray("ECCP256") << QByteArray("test")
                                    << QByteArray("CN=test") << QByteArray("subject=CN = test")
                                    << QByteArray("ASN1 OID: prime256v1");
    QTest::newRow("RSA, comma form") << QByteArray("9c") << QByteArray("RSA2048") << QByteArray("CN=Alice,O=Velmora")
                                     << QByteArray("CN=Alice,O=Velmora")
                                     << QByteArray("subject=CN = Alice, O = Velmora")
                                     << QByteArray("Public-Key: (2048 bit)");
    QTest::newRow("ECC, slash form") << QByteArray("9e") << QByteArray("ECCP256") << QByteArray("/CN=Bob/OU=Lab 2")
                                     << QByteArray("CN=Bob,OU=Lab 2") << QByteArray("subject=CN = Bob, OU = Lab 2")
                                     << QByteArray("ASN1 OID: prime256v1");
}

void TestPivSlots::selfSignedCertificate()
{
    QFETCH(QByteArray, slot);
    QFETCH(QByteArray, algorithm);
    QFETCH(QByteArray, subject);
    QFETCH(QByteArray, shown);
    QFETCH(QByteArray, opensslSubject);
    QFETCH(QByteArray, keyType);

    QCOMPARE(generateKey(slot, algorithm), 0x9000u);
    const QDate issued = utcToday();
    QCOMPARE(generateCertificate(slot, subject), 0x9000u);

    const JSON_OBJ info = parsed(" piv read-object " + slot);
    QCOMPARE(info.SW, 0x9000u);
    QCOMPARE(info.DATA.size(), 1);
    QCOMPARE(info.DATA[0].value("SBJECT"), shown);
    QCOMPARE(info.DATA[0].value("ISSUER"), shown);
    QVERIFY(validityMatches(info.DATA[0].value("VALIDITY"), 365, issued, utcToday()));

    const QString exported = path("my cert.crt");
    QCOMPARE(parsed(" piv export-certificate " + slot + " " + quoted(exported)).SW, 0x9000u);
    QCOMPARE(openssl({"x509", "-in", exported, "-noout", "-subject"}).trimmed(), opensslSubject);
    QVERIFY(openssl({"x509", "-in", exported, "-noout", "-text"}).contains(keyType));
    // Really self-signed by the slot's key, whose public half key generation wrote out.
    QVERIFY(openssl({"verify", "-CAfile", exported, exported}).contains("OK"));
    QCOMPARE(openssl({"x509", "-in", exported, "-noout", "-pubkey"}), fileContent(path("public")));
}

void TestPivSlots::signingRequestVerifies()
{
    QCOMPARE(generateKey("9d", "RSA2048"), 0x9000u);
    const QString csr = path("request file.csr");
    QCOMPARE(
        parsed("piv generate-csr 9d -p " + Pin + " " + publicPath() + " " + quoted(csr) + " -s \"CN=Carol,O=Velmora\"")
            .SW,
        0x9000u);

    QVERIFY(!openssl({"req", "-verify", "-in", csr, "-noout"}).isNull());
    QCOMPARE(openssl({"req", "-in", csr, "-noout", "-subject"}).trimmed(),
             QByteArray("subject=CN = Carol, O = Velmora"));
    QCOMPARE(openssl({"req", "-in", csr, "-noout", "-pubkey"}), fileContent(path("public")));
    // A request leaves the slot without a certificate.
    QCOMPARE(parsed(" piv read-object 9d").SW, 0x6A82u);
}

void TestPivSlots::pkcs12ImportAsTheWindowChainsIt_data()
{
    QTest::addColumn<QString>("password");
    QTest::newRow("with password") << "s3cret-Pass";
    QTest::newRow("empty password") << QString();
}

void TestPivSlots::pkcs12ImportAsTheWindowChainsIt()
{
    QFETCH(QString, password);
    QVERIFY(makeOutsideIdentity("/CN=Imported User/O=Velmora"));
    const QString pfx = path("my id.pfx");
    QVERIFY(!openssl({"pkcs12", "-export", "-inkey", path("key.pem"), "-in", path("cert.pem"), "-out", pfx, "-passout",
                      "pass:" + password})
                 .isNull());

    // The window's type 20 then type 21, both with " -w " only when there is a password.
    const QByteArray withPassword = password.isEmpty() ? QByteArray() : " -w " + password.toUtf8();
    QCOMPARE(parsed(" piv import-key 9a" + Secrets + withPassword + " " + quoted(pfx)).SW, 0x9000u);
    QCOMPARE(parsed(" piv import-certificate 9a" + Secrets + withPassword + " " + quoted(pfx)).SW, 0x9000u);

    const JSON_OBJ info = parsed(" piv read-object 9a");
    QCOMPARE(info.SW, 0x9000u);
    QCOMPARE(info.DATA.value(0).value("SBJECT"), QByteArray("CN=Imported User,O=Velmora"));

    // The imported key is the one in the slot: a certificate for its public key can be made.
    QVERIFY(!openssl({"pkey", "-in", path("key.pem"), "-pubout", "-out", path("public")}).isNull());
    QCOMPARE(generateCertificate("9a", "again"), 0x9000u);
}

void TestPivSlots::plainCertificateAndKeyFiles_data()
{
    QTest::addColumn<QStringList>("certificateConversion");
    QTest::addColumn<QStringList>("keyConversion");
    QTest::addColumn<QByteArray>("password");
    QTest::newRow("PEM certificate, PEM key") << QStringList() << QStringList() << QByteArray();
    QTest::newRow("DER certificate, encrypted PEM key")
        << QStringList{"x509", "-outform", "DER"} << QStringList{"pkey", "-aes256", "-passout", "pass:pw-1"}
        << QByteArray("pw-1");
}

void TestPivSlots::plainCertificateAndKeyFiles()
{
    QFETCH(QStringList, certificateConversion);
    QFETCH(QStringList, keyConversion);
    QFETCH(QByteArray, password);
    QVERIFY(makeOutsideIdentity("/CN=Plain"));
    QString certificate = path("cert.pem");
    QString key = path("key.pem");
    if (!certificateConversion.isEmpty()) {
        certificate = path("cert.der");
        QVERIFY(!openssl(certificateConversion + QStringList{"-in", path("cert.pem"), "-out", certificate}).isNull());
        key = path("key.enc.pem");
        QVERIFY(!openssl(keyConversion + QStringList{"-in", path("key.pem"), "-out", key}).isNull());
    }

    const QByteArray withPassword = password.isEmpty() ? QByteArray() : " -w " + password;
    QCOMPARE(parsed(" piv import-certificate 9c" + Secrets + " " + quoted(certificate)).SW, 0x9000u);
    QCOMPARE(parsed(" piv import-key 9c" + Secrets + withPassword + " " + quoted(key)).SW, 0x9000u);
    QCOMPARE(parsed(" piv read-object 9c").DATA.value(0).value("SBJECT"), QByteArray("CN=Plain"));
    QVERIFY(!openssl({"pkey", "-in", path("key.pem"), "-pubout", "-out", path("public")}).isNull());
    QCOMPARE(generateCertificate("9c", "mine"), 0x9000u);
}

void TestPivSlots::issuerOfCertificateSignedByAnother()
{
    QVERIFY(makeOutsideIdentity("/CN=Test CA/O=Velmora"));
    const QDate issued = utcToday();
    QVERIFY(!openssl({"req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", path("leaf.key"), "-out",
                      path("leaf.csr"), "-subj", "/CN=Leaf"})
                 .isNull());
    QVERIFY(!openssl({"x509", "-req", "-in", path("leaf.csr"), "-CA", path("cert.pem"), "-CAkey", path("key.pem"),
                      "-set_serial", "7", "-days", "10", "-out", path("leaf.pem")})
                 .isNull());

    QCOMPARE(parsed(" piv import-certificate 9d" + Secrets + " " + quoted(path("leaf.pem"))).SW, 0x9000u);
    const JSON_OBJ info = parsed(" piv read-object 9d");
    QCOMPARE(info.DATA.value(0).value("ISSUER"), QByteArray("CN=Test CA,O=Velmora"));
    QCOMPARE(info.DATA.value(0).value("SBJECT"), QByteArray("CN=Leaf"));
    QVERIFY(validityMatches(info.DATA.value(0).value("VALIDITY"), 10, issued, utcToday()));
}

void TestPivSlots::badImportChangesNothing_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<quint32>("status");
    QTest::newRow("wrong PKCS#12 password, key")
        << QByteArray("import-key") << "id.pfx" << QByteArray("wrong") << 0x6A80u;
    QTest::newRow("wrong PKCS#12 password, certificate")
        << QByteArray("import-certificate") << "id.pfx" << QByteArray("wrong") << 0x6A80u;
    QTest::newRow("upper-case PFX sent without password")
        << QByteArray("import-certificate") << "ID.PFX" << QByteArray() << 0x6A80u;
    QTest::newRow("not a certificate") << QByteArray("import-certificate") << "junk.crt" << QByteArray() << 0x6A80u;
    QTest::newRow("not a key") << QByteArray("import-key") << "junk.crt" << QByteArray() << 0x6A80u;
    QTest::newRow("missing file") << QByteArray("import-certificate") << "none.der" << QByteArray() << 0x6F00u;
    QTest::newRow("folder") << QByteArray("import-key") << "." << QByteArray() << 0x6F00u;
}

void TestPivSlots::badImportChangesNothing()
{
    QFETCH(QByteArray, command);
    QFETCH(QString, file);
    QFETCH(QByteArray, password);
    QFETCH(quint32, status);
    QVERIFY(makeOutsideIdentity("/CN=Bad"));
    for (const char* name : {"id.pfx", "ID.PFX"}) {
        QVERIFY(!openssl({"pkcs12", "-export", "-inkey", path("key.pem"), "-in", path("cert.pem"), "-out", path(name),
                          "-passout", "pass:right"})
                     .isNull());
    }
    QFile junk(path("junk.crt"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("-----BEGIN NOTHING-----\nAAAA\n");
    junk.close();

    const QByteArray withPassword = password.isEmpty() ? QByteArray() : " -w " + password;
    const JSON_OBJ reply = parsed(" piv " + command + " 9a" + Secrets + withPassword + " " + quoted(path(file)));
    QCOMPARE(reply.SW, status);
    QVERIFY(!reply.INFO.isEmpty());
    QCOMPARE(parsed(" piv read-object 9a").SW, 0x6A82u);
    QVERIFY(m_harness->control("status").contains("piv_keys=none"));
    QVERIFY(m_harness->control("status").contains("piv_pin_retries=3"));
}

void TestPivSlots::refusals_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<quint32>("status");
    const QByteArray publicFile = " /nonexistent/public";
    QTest::newRow("unknown slot") << " piv generate-key 9b" + Secrets + " -a ECCP256" + publicFile << 0x6A80u;
    QTest::newRow("unknown algorithm") << " piv generate-key 9a" + Secrets + " -a ECCP521" + publicFile << 0x6A80u;
    QTest::newRow("no algorithm") << " piv generate-key 9a" + Secrets + publicFile << 0x6A80u;
    QTest::newRow("no public key path") << " piv generate-key 9a" + Secrets + " -a ECCP256" << 0x6A80u;
    QTest::newRow("no management key") << " piv generate-key 9a -p " + Pin + " -a ECCP256" + publicFile << 0x6A80u;
    QTest::newRow("public key folder missing")
        << " piv generate-key 9a" + Secrets + " -a ECCP256" + publicFile << 0x6F00u;
    QTest::newRow("certificate without key")
        << "piv generate-certificate 9a" + Secrets + publicFile + " -s  \"x\"" << 0x6A82u;
    QTest::newRow("certificate without subject") << "piv generate-certificate 9a" + Secrets + publicFile << 0x6A80u;
    QTest::newRow("unknown subject field")
        << "piv generate-certificate 9a" + Secrets + publicFile + " -s  \"XX=1\"" << 0x6A80u;
    QTest::newRow("request without file") << "piv generate-csr 9a -p " + Pin + publicFile + " -s \"x\"" << 0x6A80u;
    QTest::newRow("read empty slot") << QByteArray(" piv read-object 9e") << 0x6A82u;
    QTest::newRow("read unknown slot") << QByteArray(" piv read-object 82") << 0x6A80u;
    QTest::newRow("export empty slot") << QByteArray(" piv export-certificate 9c \"/tmp/x.pem\"") << 0x6A82u;
    QTest::newRow("delete empty slot") << " piv delete-certificate 9d" + Secrets << 0x6A82u;
    QTest::newRow("extra word") << " piv delete-certificate 9d extra" + Secrets << 0x6A80u;
}

void TestPivSlots::refusals()
{
    QFETCH(QByteArray, line);
    QFETCH(quint32, status);
    const JSON_OBJ reply = parsed(line);
    QCOMPARE(reply.SW, status);
    QVERIFY(!reply.INFO.isEmpty());
    QVERIFY(m_harness->control("status").contains("piv_keys=none piv_certificates=none"));
}

void TestPivSlots::wrongSecretsOnSlotCommands()
{
    JSON_OBJ reply = parsed(" piv generate-key 9a -p 11111111 -k " + Key + " -a ECCP256 " + publicPath());
    QCOMPARE(reply.SW, 0x6982u);
    QCOMPARE(reply.INFO, QByteArray("Wrong PIN, 2 tries left."));
    reply = parsed(" piv generate-key 9a -p " + Pin + " -k " + QByteArray(48, '0') + " -a ECCP256 " + publicPath());
    QCOMPARE(reply.SW, 0x63C2u);
    QCOMPARE(reply.INFO, QByteArray("Wrong management key, 2 tries left."));
    QVERIFY(!QFile::exists(path("public")));
    // The right PIN restored its counter on the second line.
    QVERIFY(m_harness->control("status").contains("piv_pin_retries=3 piv_puk_retries=3 piv_key_retries=2"));
}

void TestPivSlots::publicKeyFileMustBeTheSlots()
{
    QCOMPARE(generateKey("9a", "ECCP256"), 0x9000u);
    QCOMPARE(generateKey("9c", "ECCP256"), 0x9000u);
    const JSON_OBJ reply = parsed("piv generate-certificate 9a" + Secrets + " " + publicPath() + " -s  \"x\"");
    QCOMPARE(reply.SW, 0x6A80u);
    QVERIFY(reply.INFO.contains("is not the key of slot 9a"));
    QCOMPARE(generateCertificate("9c", "x"), 0x9000u);
}

void TestPivSlots::deleteKeepsTheKey()
{
    QCOMPARE(generateKey("9e", "ECCP256"), 0x9000u);
    QCOMPARE(generateCertificate("9e", "first"), 0x9000u);

    QCOMPARE(parsed(" piv delete-certificate 9e -p " + Pin + " -k " + QByteArray(48, '1')).SW, 0x63C2u);
    QCOMPARE(parsed(" piv read-object 9e").SW, 0x9000u);

    QCOMPARE(parsed(" piv delete-certificate 9e" + Secrets).SW, 0x9000u);
    QCOMPARE(parsed(" piv read-object 9e").SW, 0x6A82u);
    QCOMPARE(parsed(" piv export-certificate 9e " + quoted(path("gone.pem"))).SW, 0x6A82u);
    QVERIFY(!QFile::exists(path("gone.pem")));
    QCOMPARE(generateCertificate("9e", "second"), 0x9000u);
    QCOMPARE(parsed(" piv read-object 9e").DATA.value(0).value("SBJECT"), QByteArray("CN=second"));
}

void TestPivSlots::publicKeyPathSymlinkIsNotFollowed()
{
    QFile victim(path("victim"));
    QVERIFY(victim.open(QIODevice::WriteOnly));
    victim.write("keep me");
    victim.close();
    QVERIFY(QFile::link(path("victim"), path("public")));

    QCOMPARE(generateKey("9a", "ECCP256"), 0x9000u);
    QCOMPARE(fileContent(path("victim")), QByteArray("keep me"));
    QVERIFY(!QFileInfo(path("public")).isSymLink());
    QVERIFY(fileContent(path("public")).startsWith("-----BEGIN PUBLIC KEY-----"));

    // Nor is a public key read through a link.
    QVERIFY(QFile::rename(path("public"), path("real public")));
    QVERIFY(QFile::link(path("real public"), path("public")));
    const JSON_OBJ reply = parsed("piv generate-certificate 9a" + Secrets + " " + publicPath() + " -s  \"x\"");
    QCOMPARE(reply.SW, 0x6F00u);
    QVERIFY(reply.INFO.contains("symbolic link"));
}

QTEST_GUILESS_MAIN(TestPivSlots)
#include "tst_pivslots.moc"
