// Certificate expiry on the PIV page: certificates with chosen end dates, made with the openssl
// command-line tool and imported into kvman-sim.
#include "pivfixture.h"

#include "common/simharness.h"
#include "ui/pindialog.h"

#include <QDateTime>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>

using namespace piv;

namespace {

const int kSlowMs = 20000;
const QColor kWarningColour(192, 32, 32);

bool openssl(const QStringList& arguments, const QString& folder)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start("openssl", arguments);
    return process.waitForFinished(kSlowMs) && process.exitCode() == 0;
}

QString opensslDate(const QDate& date)
{
    return date.toString("yyyyMMdd") + "000000Z";
}

// A self-signed certificate valid from long ago until `notAfter`, in `folder`/cert.crt.
bool makeCertificate(const QString& folder, const QDate& notAfter)
{
    QFile config(folder + "/ca.cnf");
    config.open(QIODevice::WriteOnly);
    config.write("[ca]\ndefault_ca = own\n[own]\ndatabase = index.txt\nnew_certs_dir = .\nserial = serial\n"
                 "default_md = sha256\npolicy = any\nunique_subject = no\n[any]\ncommonName = supplied\n");
    config.close();
    QFile(folder + "/index.txt").open(QIODevice::WriteOnly);
    QFile serial(folder + "/serial");
    serial.open(QIODevice::WriteOnly);
    serial.write("01\n");
    serial.close();
    return openssl({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", "key.pem",
                    "-out", "req.csr", "-subj", "/CN=Expiry"},
                   folder) &&
           openssl({"ca", "-batch", "-config", "ca.cnf", "-selfsign", "-keyfile", "key.pem", "-in", "req.csr", "-out",
                    "cert.crt", "-startdate", opensslDate(notAfter.addYears(-3)), "-enddate", opensslDate(notAfter)},
                   folder);
}

} // namespace

class TestPivExpiry : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void expiryShown_data();
    void expiryShown();
};

void TestPivExpiry::initTestCase()
{
    if (QStandardPaths::findExecutable("openssl").isEmpty())
        QSKIP("the openssl command-line tool is not installed");
    // Dates follow the user's locale, not the backend's ISO text.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
}

void TestPivExpiry::expiryShown_data()
{
    QTest::addColumn<int>("days");
    QTest::addColumn<QString>("note");
    QTest::newRow("expired") << -5 << "(expired 5 days ago)";
    QTest::newRow("10 days") << 10 << "(expires in 10 days)";
    QTest::newRow("400 days") << 400 << QString();
}

void TestPivExpiry::expiryShown()
{
    QFETCH(int, days);
    QFETCH(QString, note);
    const QDate notAfter = QDateTime::currentDateTimeUtc().date().addDays(days);
    QTemporaryDir files;
    QVERIFY(makeCertificate(files.path(), notAfter));
    SimHarness sim("R15");
    Fixture f;
    f.start(SimHarness::simPath());
    const auto stop = qScopeGuard([&f] { f.stop(); });
    QVERIFY(sim.waitUntilReady());
    QTRY_VERIFY(g_currInterface != 0);
    f.click("btn_getdeviceinfo");
    QTRY_VERIFY(!labelText(f.window, "pidValue").isEmpty() && f.channelFree());
    f.click("piv");
    QTRY_COMPARE(labelText(f.window, "subjectValue"), QStringLiteral("No certificate loaded."));

    f.openPath = files.filePath("cert.crt");
    f.answer({"pin=" + QString::fromLatin1(PinRule::kDefaultPivPin),
              "pin=" + QString::fromLatin1(PinRule::kDefaultManagementKey), "ok"});
    f.click("certImp");
    QTRY_VERIFY_WITH_TIMEOUT(labelText(f.window, "subjectValue").contains("Expiry"), kSlowMs);

    QLabel* validity = widget<QLabel>(f.window, "validity");
    const QString shown = validity->text();
    QVERIFY2(shown.contains(notAfter.toString("dd.MM.yy")), qPrintable(shown));
    QCOMPARE(shown.endsWith(note), true);
    QCOMPARE(shown.contains("expire"), !note.isEmpty());
    QCOMPARE(validity->palette().color(QPalette::WindowText) == kWarningColour, !note.isEmpty());
}

QTEST_MAIN(TestPivExpiry)
#include "tst_pivexpiry_e2e.moc"
