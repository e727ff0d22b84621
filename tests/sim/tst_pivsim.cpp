// What the PIV transcripts cannot say: real key pairs, self-signed certificates and signing
// requests checked with the openssl tool, PKCS#12 and plain imports and their refusals, the
// public-key file never written or read through a symbolic link.
#include "common/simkey.h"

#include <QtTest>

namespace {

const QByteArray FactoryPin = "80417326";
const QByteArray FactoryKey = "7E3D0C41F58B29D6B1C48E2F7D0B5C63D6E1F4C8072B3B5E";
const QByteArray Secrets = " -p " + FactoryPin + " -k " + FactoryKey;

QString path(const SimKey& key, const QString& name)
{
    return key.harness.dir() + "/" + name;
}

QByteArray quoted(const QString& path)
{
    return "\"" + QFile::encodeName(path) + "\"";
}

// Generation writes the public key where the next step of the window's chain reads it.
QByteArray publicPath(const SimKey& key)
{
    return QFile::encodeName(path(key, "public"));
}

quint32 generateKey(SimKey& key, const QByteArray& slot, const QByteArray& algorithm)
{
    return key.sw(" piv generate-key " + slot + Secrets + " -a " + algorithm + " " + publicPath(key));
}

quint32 generateCertificate(SimKey& key, const QByteArray& slot, const QByteArray& subject)
{
    return key.sw("piv generate-certificate " + slot + Secrets + " " + publicPath(key) + " -s  \"" + subject + "\"");
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

// A key and self-signed certificate made by the openssl tool, as key.pem and cert.pem.
bool makeOutsideIdentity(const SimKey& key, const QString& subject)
{
    return !openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-keyout",
                     path(key, "key.pem"), "-out", path(key, "cert.pem"), "-subj", subject, "-days", "30"})
                .isNull();
}

QByteArray fileContent(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// "2025-06-01 to 2026-06-01" for a certificate issued on a UTC day between first and today.
bool validityMatches(const QByteArray& validity, int days, const QDate& first)
{
    for (QDate day = first; day <= QDateTime::currentDateTimeUtc().date(); day = day.addDays(1)) {
        if (validity == (day.toString(Qt::ISODate) + " to " + day.addDays(days).toString(Qt::ISODate)).toUtf8()) {
            return true;
        }
    }
    qWarning() << "unexpected validity" << validity;
    return false;
}

} // namespace

class TestPivSim : public QObject
{
    Q_OBJECT

private slots:
    void selfSignedCertificate_data();
    void selfSignedCertificate();
    void signingRequestVerifies();
    void importAsTheWindowChainsIt_data();
    void importAsTheWindowChainsIt();
    void refusedFiles_data();
    void refusedFiles();
    void publicKeyPathSymlinkIsNotFollowed();
};

void TestPivSim::selfSignedCertificate_data()
{
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<QByteArray>("algorithm");
    QTest::addColumn<QByteArray>("subject");
    QTest::addColumn<QByteArray>("shown");
    QTest::addColumn<QByteArray>("keyType");
    const QByteArray ecc = "ASN1 OID: prime256v1";
    QTest::newRow("ECC, bare name") << QByteArray("9a") << QByteArray("ECCP256") << QByteArray("test")
                                    << QByteArray("CN=test") << ecc;
    QTest::newRow("RSA, comma form") << QByteArray("9c") << QByteArray("RSA2048") << QByteArray("CN=Alice,O=Velmora")
                                     << QByteArray("CN=Alice,O=Velmora") << QByteArray("Public-Key: (2048 bit)");
    QTest::newRow("ECC, slash form") << QByteArray("9e") << QByteArray("ECCP256") << QByteArray("/CN=Bob/OU=Lab 2")
                                     << QByteArray("CN=Bob,OU=Lab 2") << ecc;
}

void TestPivSim::selfSignedCertificate()
{
    QFETCH(QByteArray, slot);
    QFETCH(QByteArray, algorithm);
    QFETCH(QByteArray, subject);
    QFETCH(QByteArray, shown);
    QFETCH(QByteArray, keyType);
    SimKey key;
    QVERIFY(key.start());

    QCOMPARE(generateKey(key, slot, algorithm), 0x9000u);
    const QDate issued = QDateTime::currentDateTimeUtc().date();
    QCOMPARE(generateCertificate(key, slot, subject), 0x9000u);
    const JSON_OBJ info = key.ask(" piv read-object " + slot);
    QCOMPARE(info.SW, 0x9000u);
    QCOMPARE(info.DATA.size(), 1);
    QCOMPARE(info.DATA[0].value("SBJECT"), shown);
    QCOMPARE(info.DATA[0].value("ISSUER"), shown);
    QVERIFY(validityMatches(info.DATA[0].value("VALIDITY"), 365, issued));

    const QString exported = path(key, "my cert.crt");
    QCOMPARE(key.sw(" piv export-certificate " + slot + " " + quoted(exported)), 0x9000u);
    // openssl writes "CN=Alice,O=Velmora" as "subject=CN = Alice, O = Velmora".
    QCOMPARE(openssl({"x509", "-in", exported, "-noout", "-subject"}).trimmed(),
             "subject=" + QByteArray(shown).replace("=", " = ").replace(",", ", "));
    QVERIFY(openssl({"x509", "-in", exported, "-noout", "-text"}).contains(keyType));
    // Really self-signed by the slot's key, whose public half key generation wrote out.
    QVERIFY(openssl({"verify", "-CAfile", exported, exported}).contains("OK"));
    QCOMPARE(openssl({"x509", "-in", exported, "-noout", "-pubkey"}), fileContent(path(key, "public")));
}

void TestPivSim::signingRequestVerifies()
{
    SimKey key;
    QVERIFY(key.start());
    QCOMPARE(generateKey(key, "9d", "RSA2048"), 0x9000u);
    const QString csr = path(key, "request file.csr");
    QCOMPARE(key.sw("piv generate-csr 9d -p " + FactoryPin + " " + publicPath(key) + " " + quoted(csr) +
                    " -s \"CN=Carol,O=Velmora\""),
             0x9000u);

    QVERIFY(!openssl({"req", "-verify", "-in", csr, "-noout"}).isNull());
    QCOMPARE(openssl({"req", "-in", csr, "-noout", "-subject"}).trimmed(),
             QByteArray("subject=CN = Carol, O = Velmora"));
    QCOMPARE(openssl({"req", "-in", csr, "-noout", "-pubkey"}), fileContent(path(key, "public")));
    // A request leaves the slot without a certificate.
    QCOMPARE(key.sw(" piv read-object 9d"), 0x6A82u);
}

void TestPivSim::importAsTheWindowChainsIt_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("password");
    QTest::newRow("PKCS#12") << "pfx"
                             << "s3cret-Pass";
    QTest::newRow("PKCS#12, empty password") << "pfx" << QString();
    QTest::newRow("PEM certificate and key") << "pem" << QString();
    QTest::newRow("DER certificate, encrypted PEM key") << "der"
                                                        << "pw-1";
}

void TestPivSim::importAsTheWindowChainsIt()
{
    QFETCH(QString, form);
    QFETCH(QString, password);
    SimKey key;
    QVERIFY(key.start());
    QVERIFY(makeOutsideIdentity(key, "/CN=Test CA/O=Velmora"));
    const QDate issued = QDateTime::currentDateTimeUtc().date();
    QVERIFY(!openssl({"req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-keyout",
                      path(key, "leaf.key"), "-out", path(key, "leaf.csr"), "-subj", "/CN=Leaf User/O=Velmora"})
                 .isNull());
    QVERIFY(!openssl({"x509", "-req", "-in", path(key, "leaf.csr"), "-CA", path(key, "cert.pem"), "-CAkey",
                      path(key, "key.pem"), "-set_serial", "7", "-days", "10", "-out", path(key, "leaf.pem")})
                 .isNull());
    QString certificateFile = path(key, "leaf.pem");
    QString keyFile = path(key, "leaf.key");
    if (form == "pfx") {
        certificateFile = keyFile = path(key, "my id.pfx");
        QVERIFY(!openssl({"pkcs12", "-export", "-inkey", path(key, "leaf.key"), "-in", path(key, "leaf.pem"), "-out",
                          keyFile, "-passout", "pass:" + password})
                     .isNull());
    } else if (form == "der") {
        certificateFile = path(key, "leaf.der");
        keyFile = path(key, "leaf.enc.pem");
        QVERIFY(!openssl({"x509", "-outform", "DER", "-in", path(key, "leaf.pem"), "-out", certificateFile}).isNull());
        QVERIFY(
            !openssl({"pkey", "-aes256", "-passout", "pass:" + password, "-in", path(key, "leaf.key"), "-out", keyFile})
                 .isNull());
    }

    const QByteArray withPassword = password.isEmpty() ? QByteArray() : " -w " + password.toUtf8();
    QCOMPARE(key.sw(" piv import-key 9d" + Secrets + withPassword + " " + quoted(keyFile)), 0x9000u);
    const QByteArray certificatePassword = form == "pfx" ? withPassword : QByteArray();
    QCOMPARE(key.sw(" piv import-certificate 9d" + Secrets + certificatePassword + " " + quoted(certificateFile)),
             0x9000u);
    const TextMap info = key.ask(" piv read-object 9d").DATA.value(0);
    QCOMPARE(info.value("ISSUER"), QByteArray("CN=Test CA,O=Velmora"));
    QCOMPARE(info.value("SBJECT"), QByteArray("CN=Leaf User,O=Velmora"));
    QVERIFY(validityMatches(info.value("VALIDITY"), 10, issued));
    // The imported key is the slot's: a certificate for its public key can be made.
    QVERIFY(!openssl({"pkey", "-in", path(key, "leaf.key"), "-pubout", "-out", path(key, "public")}).isNull());
    QCOMPARE(generateCertificate(key, "9d", "mine"), 0x9000u);
}

void TestPivSim::refusedFiles_data()
{
    QTest::addColumn<QByteArray>("line");
    // DIR stands for the test's folder, which holds an ID.PFX and a junk.crt.
    QTest::newRow("wrong PKCS#12 password") << " piv import-key 9a" + Secrets + " -w wrong \"DIR/ID.PFX\"";
    QTest::newRow("upper-case PFX sent without password") << " piv import-certificate 9a" + Secrets + " \"DIR/ID.PFX\"";
    QTest::newRow("not a certificate") << " piv import-certificate 9a" + Secrets + " \"DIR/junk.crt\"";
}

void TestPivSim::refusedFiles()
{
    QFETCH(QByteArray, line);
    SimKey key;
    QVERIFY(key.start());
    QVERIFY(makeOutsideIdentity(key, "/CN=Bad"));
    QVERIFY(!openssl({"pkcs12", "-export", "-inkey", path(key, "key.pem"), "-in", path(key, "cert.pem"), "-out",
                      path(key, "ID.PFX"), "-passout", "pass:right"})
                 .isNull());
    QFile junk(path(key, "junk.crt"));
    QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("-----BEGIN NOTHING-----\nAAAA\n") > 0);

    const JSON_OBJ reply = key.ask(line.replace("DIR", QFile::encodeName(key.harness.dir())));
    QCOMPARE(reply.SW, 0x6A80u);
    QVERIFY(!reply.INFO.isEmpty());
    QVERIFY(key.harness.control("status").contains(
        "piv_pin_retries=3 piv_puk_retries=3 piv_key_retries=3 piv_keys=none piv_certificates=none"));
}

void TestPivSim::publicKeyPathSymlinkIsNotFollowed()
{
    SimKey key;
    QVERIFY(key.start());
    QFile victim(path(key, "victim"));
    QVERIFY(victim.open(QIODevice::WriteOnly) && victim.write("keep me") > 0);
    victim.close();
    QVERIFY(QFile::link(path(key, "victim"), path(key, "public")));

    QCOMPARE(generateKey(key, "9a", "ECCP256"), 0x9000u);
    QCOMPARE(fileContent(path(key, "victim")), QByteArray("keep me"));
    QVERIFY(!QFileInfo(path(key, "public")).isSymLink());
    QVERIFY(fileContent(path(key, "public")).startsWith("-----BEGIN PUBLIC KEY-----"));

    // Nor is a public key read through a link.
    QVERIFY(QFile::rename(path(key, "public"), path(key, "real public")));
    QVERIFY(QFile::link(path(key, "real public"), path(key, "public")));
    const JSON_OBJ reply = key.ask("piv generate-certificate 9a" + Secrets + " " + publicPath(key) + " -s  \"x\"");
    QCOMPARE(reply.SW, 0x6F00u);
    QVERIFY(reply.INFO.contains("symbolic link"));
    // An empty slot exports nothing.
    QCOMPARE(key.sw(" piv export-certificate 9e " + quoted(path(key, "gone.pem"))), 0x6A82u);
    QVERIFY(!QFile::exists(path(key, "gone.pem")));
}

QTEST_GUILESS_MAIN(TestPivSim)
#include "tst_pivsim.moc"
