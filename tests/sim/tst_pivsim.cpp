// The simulated key's PIV application: retry counters and blocking, the reset with its touch,
// real key pairs, self-signed certificates and signing requests checked with the openssl
// tool, PKCS#12 and plain imports, export, delete, refusals, the public-key file that is
// never written through a symbolic link, and what survives a restart.
#include "common/simkey.h"

#include <QtTest>

namespace {

const QByteArray FactoryPin = "80417326";
const QByteArray FactoryPuk = "80417326";
const QByteArray FactoryKey = "7E3D0C41F58B29D6B1C48E2F7D0B5C63D6E1F4C8072B3B5E";
const QByteArray OtherKey = "0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF";
const QByteArray Secrets = " -p " + FactoryPin + " -k " + FactoryKey;

// The line the window sends to change one of the three secrets.
QByteArray changeLine(const QString& secret, const QByteArray& current, const QByteArray& next)
{
    if (secret == "pin") {
        return " piv change-pin -P " + current + " -n " + next;
    }
    if (secret == "puk") {
        return " piv change-puk -p " + current + " -n " + next;
    }
    return " piv change-management-key -p " + FactoryPin + " -k " + current + " -n " + next;
}

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

quint32 generateKey(SimKey& key, const QByteArray& slot, const QByteArray& algorithm,
                    const QByteArray& pin = FactoryPin)
{
    return key.sw(" piv generate-key " + slot + " -p " + pin + " -k " + FactoryKey + " -a " + algorithm + " " +
                  publicPath(key));
}

quint32 generateCertificate(SimKey& key, const QByteArray& slot, const QByteArray& subject,
                            const QByteArray& pin = FactoryPin)
{
    return key.sw("piv generate-certificate " + slot + " -p " + pin + " -k " + FactoryKey + " " + publicPath(key) +
                  " -s  \"" + subject + "\"");
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
    void wrongSecretCountsDownToBlocked_data();
    void wrongSecretCountsDownToBlocked();
    void touchForResetAndCacheTime_data();
    void touchForResetAndCacheTime();
    void selfSignedCertificate_data();
    void selfSignedCertificate();
    void signingRequestVerifies();
    void importAsTheWindowChainsIt_data();
    void importAsTheWindowChainsIt();
    void refusals_data();
    void refusals();
    void deleteKeepsTheKey();
    void publicKeyPathSymlinkIsNotFollowed();
    void pivUnreachable_data();
    void pivUnreachable();
    void stateSurvivesRestart();
};

void TestPivSim::wrongSecretCountsDownToBlocked_data()
{
    QTest::addColumn<QString>("secret");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("factory");
    QTest::addColumn<QByteArray>("changed");
    QTest::addColumn<QByteArray>("wrong");
    QTest::newRow("PIN") << "pin" << QByteArray("PIN") << FactoryPin << QByteArray("13572468")
                         << QByteArray("11111111");
    QTest::newRow("PUK") << "puk" << QByteArray("PUK") << FactoryPuk << QByteArray("13572468")
                         << QByteArray("11111111");
    QTest::newRow("management key") << "key" << QByteArray("management key") << FactoryKey << OtherKey
                                    << QByteArray(48, 'F');
}

void TestPivSim::wrongSecretCountsDownToBlocked()
{
    QFETCH(QString, secret);
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, factory);
    QFETCH(QByteArray, changed);
    QFETCH(QByteArray, wrong);
    SimKey key;
    QVERIFY(key.sim.start());

    JSON_OBJ reply = key.ask(changeLine(secret, wrong, changed));
    QCOMPARE(reply.SW, 0x63C2u);
    QCOMPARE(reply.INFO, "Wrong " + name + ", 2 tries left.");
    // A right one gives all tries back, and from then on the new value is the one that counts.
    QCOMPARE(key.sw(changeLine(secret, factory, changed)), 0x9000u);
    QCOMPARE(key.sw(changeLine(secret, factory, changed)), 0x63C2u);
    QCOMPARE(key.sw(changeLine(secret, wrong, changed)), 0x63C1u);
    reply = key.ask(changeLine(secret, wrong, changed));
    QCOMPARE(reply.SW, 0x63C0u);
    QVERIFY(reply.INFO.contains("blocked"));

    // Blocked means blocked: the right value no longer helps.
    reply = key.ask(changeLine(secret, changed, factory));
    QCOMPARE(reply.SW, 0x63C0u);
    QVERIFY(reply.INFO.contains("blocked"));
}

void TestPivSim::touchForResetAndCacheTime_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("resolve");
    QTest::addColumn<quint32>("status");
    const QByteArray reset = "piv reset";
    const QByteArray cacheTime = " piv set_cachedtime  -t 40";
    QTest::newRow("reset, touched at once") << reset << "auto" << QString() << 0x9000u;
    QTest::newRow("reset, no touch") << reset << "never" << QString() << 0x6983u;
    QTest::newRow("reset, touched later") << reset << QStringLiteral("manual") << "touch" << 0x9000u;
    QTest::newRow("cache time, no finger") << cacheTime << "never" << QString() << 0x6983u;
}

// The reset is allowed whatever the state of the secrets; blocking them shows that only a
// reset brings them back.
void TestPivSim::touchForResetAndCacheTime()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, mode);
    QFETCH(QString, resolve);
    QFETCH(quint32, status);
    SimKey key;
    QVERIFY(key.start());
    QCOMPARE(generateKey(key, "9a", "ECCP256"), 0x9000u);
    QCOMPARE(generateCertificate(key, "9a", "before reset"), 0x9000u);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(key.sw(changeLine("puk", "00000000", "12345678")), quint32(0x63C2 - i));
        QCOMPARE(key.sw(changeLine("pin", "00000000", "12345678")), quint32(0x63C2 - i));
    }
    QVERIFY(key.control("touch " + mode));

    const JSON_OBJ reply = resolve.isEmpty() ? key.ask(line) : key.askWithTouch(line, resolve);
    QCOMPARE(reply.SW, status);
    if (line != "piv reset") {
        return;
    }
    const bool wasReset = status == 0x9000u;
    QCOMPARE(key.sw(" piv read-object 9a"), wasReset ? 0x6A82u : 0x9000u);
    QCOMPARE(key.status("piv_keys"), wasReset ? QByteArray("none") : QByteArray("9a"));
    QCOMPARE(key.sw(changeLine("puk", FactoryPuk, "12345678")), wasReset ? 0x9000u : 0x63C0u);
    QCOMPARE(key.sw(changeLine("pin", FactoryPin, "12345678")), wasReset ? 0x9000u : 0x63C0u);
}

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

// The window sends the key (type 20), then the certificate (type 21), with " -w " only when
// there is a password. The certificate is signed by another, so a swap of issuer and subject
// would show.
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

void TestPivSim::refusals_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<quint32>("status");
    // DIR stands for the test's folder, which holds an ID.PFX and a junk.crt.
    const QByteArray publicFile = " /nonexistent/public";
    QTest::newRow("wrong PIN") << " piv generate-key 9a -p 11111111 -k " + FactoryKey + " -a ECCP256" + publicFile
                               << 0x6982u;
    QTest::newRow("wrong management key")
        << " piv generate-key 9a -p " + FactoryPin + " -k " + QByteArray(48, '0') + " -a ECCP256" + publicFile
        << 0x63C2u;
    QTest::newRow("new PIN of 5 digits") << changeLine("pin", FactoryPin, "12345") << 0x6A80u;
    QTest::newRow("new PIN of 9 digits") << changeLine("pin", FactoryPin, "123456789") << 0x6A80u;
    QTest::newRow("new PUK of 5 digits") << changeLine("puk", FactoryPuk, "12345") << 0x6A80u;
    QTest::newRow("new key of 47 digits") << changeLine("key", FactoryKey, OtherKey.left(47)) << 0x6A80u;
    QTest::newRow("unknown slot") << " piv generate-key 9b" + Secrets + " -a ECCP256" + publicFile << 0x6A80u;
    QTest::newRow("unknown algorithm") << " piv generate-key 9a" + Secrets + " -a ECCP521" + publicFile << 0x6A80u;
    QTest::newRow("public key folder missing")
        << " piv generate-key 9a" + Secrets + " -a ECCP256" + publicFile << 0x6F00u;
    QTest::newRow("certificate without key")
        << "piv generate-certificate 9a" + Secrets + publicFile + " -s  \"x\"" << 0x6A82u;
    QTest::newRow("unknown subject field")
        << "piv generate-certificate 9a" + Secrets + publicFile + " -s  \"XX=1\"" << 0x6A80u;
    QTest::newRow("wrong PKCS#12 password") << " piv import-key 9a" + Secrets + " -w wrong \"DIR/ID.PFX\"" << 0x6A80u;
    QTest::newRow("upper-case PFX sent without password")
        << " piv import-certificate 9a" + Secrets + " \"DIR/ID.PFX\"" << 0x6A80u;
    QTest::newRow("not a certificate") << " piv import-certificate 9a" + Secrets + " \"DIR/junk.crt\"" << 0x6A80u;
    QTest::newRow("missing file") << " piv import-certificate 9a" + Secrets + " \"DIR/none.der\"" << 0x6F00u;
    QTest::newRow("read unknown slot") << QByteArray(" piv read-object 82") << 0x6A80u;
    QTest::newRow("export empty slot") << QByteArray(" piv export-certificate 9c \"/tmp/x.pem\"") << 0x6A82u;
    QTest::newRow("delete empty slot") << " piv delete-certificate 9d" + Secrets << 0x6A82u;
    QTest::newRow("bio policy, unknown") << QByteArray(" piv set_biopolicy 9a --bio-policy SOMETIMES") << 0x6A80u;
    QTest::newRow("cache time 256") << QByteArray(" piv set_cachedtime  -t 256") << 0x6A80u;
}

void TestPivSim::refusals()
{
    QFETCH(QByteArray, line);
    QFETCH(quint32, status);
    SimKey key;
    QVERIFY(key.start());
    if (line.contains("DIR")) {
        QVERIFY(makeOutsideIdentity(key, "/CN=Bad"));
        QVERIFY(!openssl({"pkcs12", "-export", "-inkey", path(key, "key.pem"), "-in", path(key, "cert.pem"), "-out",
                          path(key, "ID.PFX"), "-passout", "pass:right"})
                     .isNull());
        QFile junk(path(key, "junk.crt"));
        QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("-----BEGIN NOTHING-----\nAAAA\n") > 0);
    }

    const JSON_OBJ reply = key.ask(line.replace("DIR", QFile::encodeName(key.harness.dir())));
    QCOMPARE(reply.SW, status);
    QVERIFY(!reply.INFO.isEmpty());
    QVERIFY(key.harness.control("status").contains("piv_keys=none piv_certificates=none"));
    // Only a wrong secret costs a try.
    const bool wrongSecret = status == 0x6982u || status == 0x63C2u;
    QCOMPARE(key.harness.control("status").contains("piv_pin_retries=3 piv_puk_retries=3 piv_key_retries=3"),
             !wrongSecret);
}

void TestPivSim::deleteKeepsTheKey()
{
    SimKey key;
    QVERIFY(key.start());
    QCOMPARE(generateKey(key, "9e", "ECCP256"), 0x9000u);
    QCOMPARE(generateCertificate(key, "9e", "first"), 0x9000u);

    QCOMPARE(key.sw(" piv delete-certificate 9e" + Secrets), 0x9000u);
    QCOMPARE(key.sw(" piv read-object 9e"), 0x6A82u);
    QCOMPARE(key.sw(" piv export-certificate 9e " + quoted(path(key, "gone.pem"))), 0x6A82u);
    QVERIFY(!QFile::exists(path(key, "gone.pem")));
    QCOMPARE(generateCertificate(key, "9e", "second"), 0x9000u);
    QCOMPARE(key.value(" piv read-object 9e", "SBJECT"), QByteArray("CN=second"));
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
}

void TestPivSim::pivUnreachable_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QByteArray>("setUp");
    QTest::addColumn<quint32>("status");
    QTest::newRow("model without PIV") << "R3" << QByteArray() << 0x6A82u;
    QTest::newRow("CCID switched off") << "R15" << QByteArray("device set_transport -s 30") << 0x6F00u;
}

void TestPivSim::pivUnreachable()
{
    QFETCH(QString, model);
    QFETCH(QByteArray, setUp);
    QFETCH(quint32, status);
    SimKey key(model);
    QVERIFY(key.start());
    // A transport change applies at the next power-up.
    QVERIFY(setUp.isEmpty() || key.sw(setUp) == 0x9000u);
    QVERIFY(key.replug());

    for (const QByteArray& line : {QByteArray(" piv read-object 9a"), QByteArray(" piv has_fingerprint "),
                                   changeLine("pin", FactoryPin, "123456"), QByteArray("piv reset")}) {
        const JSON_OBJ reply = key.ask(line);
        QCOMPARE(reply.SW, status);
        QVERIFY(!reply.INFO.isEmpty());
    }
    QCOMPARE(key.status("piv_pin_retries"), QByteArray("3"));
}

void TestPivSim::stateSurvivesRestart()
{
    SimKey key;
    key.harness.useStateFile();
    QVERIFY(key.start());
    QCOMPARE(key.sw(changeLine("pin", FactoryPin, "24681357")), 0x9000u);
    QCOMPARE(key.sw(changeLine("puk", "00000000", "12345678")), 0x63C2u);
    QCOMPARE(generateKey(key, "9c", "RSA2048", "24681357"), 0x9000u);
    QCOMPARE(generateCertificate(key, "9c", "kept", "24681357"), 0x9000u);
    QVERIFY(key.restart());

    // The state file holds private keys: only its owner may read it.
    QCOMPARE(QFile(key.harness.statePath()).permissions() & (QFile::ReadGroup | QFile::ReadOther),
             QFile::Permissions());
    QCOMPARE(key.status("piv_puk_retries"), QByteArray("2"));
    QCOMPARE(key.value(" piv read-object 9c", "SBJECT"), QByteArray("CN=kept"));
    // The kept key still matches the public key written before the restart.
    QCOMPARE(key.sw("piv generate-csr 9c -p 24681357 " + publicPath(key) + " " + quoted(path(key, "kept.csr")) +
                    " -s \"kept\""),
             0x9000u);
    QCOMPARE(key.sw(changeLine("pin", "24681357", FactoryPin)), 0x9000u);
}

QTEST_GUILESS_MAIN(TestPivSim)
#include "tst_pivsim.moc"
