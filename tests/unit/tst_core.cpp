// The widget-free core: the command lines the backend reads literally, what of them and of the
// replies reaches the log, how replies are framed and parsed, the HOTP code a written slot is
// checked against, the key report's text, the diagnostics file and the helper an installed
// manager drives.
#include "app/backendpath.h"
#include "app/buildinfo.h"
#include "app/commands.h"
#include "app/debugfile.h"
#include "app/json.h"
#include "app/keyreporttext.h"
#include "app/logmask.h"
#include "app/replyframer.h"
#include "otp/hotpcode.h"

#include <QJsonObject>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using Map = TextMap;
Q_DECLARE_METATYPE(Map)
using Chunks = QList<QByteArray>;

namespace {

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

void jsonRow(const char* name, const char* text, quint32 sw = 0, const QVector<Map>& data = {}, const char* info = "")
{
    QTest::newRow(name) << QByteArray(text) << sw << QByteArray(info) << data;
}

void framerRow(const char* name, const Chunks& reads, const Chunks& replies, const char* leftover = "")
{
    QTest::newRow(name) << reads << replies << QByteArray(leftover);
}

} // namespace

class TestCore : public QObject
{
    Q_OBJECT

private slots:
    void commandLines();
    void logMasks_data();
    void logMasks();
    void repliesNamingPeopleAreSummarised();
    void jsonShapes_data();
    void jsonShapes();
    void jsonDeepNestingEndsWithoutCrash();
    void frames_data();
    void frames();
    void oversizedObjectIsNotHeldForEver();
    void hotpEightDigits();
    void keyReportNamesAMissingValue();
    void debugFileKeepsOnlyTheLastText();
    void plantedDebugPathIsLeftAlone_data();
    void plantedDebugPathIsLeftAlone();
    void helperBesideTheManager_data();
    void helperBesideTheManager();

private:
    QTemporaryDir m_dir;
};

// The window's flow tests show most lines as sent; these are the quirks none of them shows. A
// line feed is refused on its way to the backend in tests/app; the other breaks are refused too.
void TestCore::commandLines()
{
    QCOMPARE(Cmd::fidoPinRetriesFromRefresh(), QStringLiteral(" fido get_pin_retries"));
    QCOMPARE(Cmd::fidoVerifyEnrollment(), QStringLiteral(" fido verify-enrollment "));
    QCOMPARE(Cmd::deviceSetTransport(0x7a), QStringLiteral("device set_transport -s 7A"));
    QVERIFY(!Cmd::isSafeLine(QStringLiteral("otp list\rexit")));
    QVERIFY(!Cmd::isSafeLine(QStringLiteral("otp list") + QChar(0)));
}

void TestCore::logMasks_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("logged");
    QTest::newRow("fido set pin") << Cmd::fidoSetPin("1234") << " fido set-pin -p ****";
    QTest::newRow("fido change pin") << Cmd::fidoChangePin("1234", "5678") << " fido change-pin -p ****";
    QTest::newRow("fingerprint pin typed with an option inside")
        << Cmd::fidoEnrollBegin("my -x pin -n 1") << " fido enrollment-begin -p ****";
    QTest::newRow("fingerprint pin typed with blanks")
        << Cmd::fidoRemoveEnrollment("my pin -i 0001", 3) << " fido remove-enrollment -p **** -i 0003";
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

void TestCore::logMasks()
{
    QFETCH(QString, line);
    QFETCH(QString, logged);
    QCOMPARE(maskSecrets(line), logged);
}

// A credential list is summarised in tests/app; fingerprint names are too, other replies are not.
void TestCore::repliesNamingPeopleAreSummarised()
{
    const QString names = QStringLiteral("{'SW':'9000','DATA':[{'TEMP_NAME':'thumb of Ann'}]}");
    QCOMPARE(replyForLog(names, CmdType::FidoEnumerate), QStringLiteral("SW 9000, 1 records"));
    const QString otpList = QStringLiteral("{'SW':'9000','DATA':[{'slot':'0'}]}");
    QCOMPARE(replyForLog(otpList, CmdType::OtpList), otpList);
}

void TestCore::jsonShapes_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<quint32>("sw");
    QTest::addColumn<QByteArray>("info");
    QTest::addColumn<QVector<Map>>("data");
    jsonRow("single quotes", "{'SW':'6984','INFO':'x'}", 0x6984, {}, "x");
    jsonRow("array of objects with literals", R"({"SW":"9000","DATA":[{"A":"1","B":true},{"A":"2","C":None}]})", 0x9000,
            {{{"A", "1"}, {"B", "TRUE"}}, {{"A", "2"}, {"C", ""}}});
    jsonRow("capitalised literals", R"({"SW":"9000","A":False,"B":True})", 0x9000, {{{"A", "FALSE"}, {"B", "TRUE"}}});
    jsonRow("nested object is one map", R"({"SW": "9000", "DATA": {"NAME":"k","PID":"1"}})", 0x9000,
            {{{"NAME", "k"}, {"PID", "1"}}});
    jsonRow("nested object ends the outer one", R"({"SW":"9000","DATA":{"A":"1"},"INFO":"late","B":"2"})", 0x9000,
            {{{"A", "1"}}});
    jsonRow("members before a nested object join it", R"({"SW":"9000","X":"0","DATA":{"A":"1"}})", 0x9000,
            {{{"A", "1"}, {"X", "0"}}});
    jsonRow("unquoted status", R"({"SW": 9000, "NAME": "x"})", 0x9000, {{{"NAME", "x"}}});
    jsonRow("status with 0x and blanks", R"({"SW":" 0x80900002"})", 0x80900002);
    jsonRow("status without digits stays", R"({"SW":"zz"})");
    jsonRow("members before an array are dropped, after it form a map", R"({"X":"0","DATA":[{"A":"1"}],"Y":"2"})", 0,
            {{{"A", "1"}}, {{"Y", "2"}}});
    jsonRow("backslash is an ordinary byte", R"({"A":"x\","B":"y"})", 0, {{{"A", "x\\"}, {"B", "y"}}});
    jsonRow("not an object", R"( {"SW":"9000"})");
    jsonRow("a malformed element leaves nothing behind", R"({"DATA":[{"A":"1","B":nope},{"C":"2"}]})", 0,
            {{{"C", "2"}}});
    jsonRow("non-object array elements yield nothing", R"({"DATA":[1, "x", {}, {"A":"1"}]})", 0, {{{"A", "1"}}});
    // Truncated replies end at the terminating NUL with nothing half-built appended.
    jsonRow("ends in a key", R"({"SW)");
    jsonRow("ends before the colon", R"({"SW")");
    jsonRow("ends in a quoted value", R"({"SW":"9000)");
    jsonRow("ends in an unquoted value", R"({"SW":9000)", 0x9000);
    jsonRow("ends after a blank in an unquoted value", R"({"A":x )");
    jsonRow("ends in a literal", R"({"A":tr)");
    jsonRow("ends in an array", R"({"DATA":[{"A":"1"},)", 0, {{{"A", "1"}}});
    jsonRow("ends in a nested object", R"({"DATA":{"A":"1")");
    jsonRow("ends after a separator", R"({"A":"1",)");
}

void TestCore::jsonShapes()
{
    QFETCH(QByteArray, text);
    QFETCH(quint32, sw);
    QFETCH(QByteArray, info);
    QFETCH(QVector<Map>, data);
    JSON parser;
    for (int pass = 0; pass < 2; ++pass) { // nothing of one reply may stay for the next
        const char* cursor = text.constData();
        const JSON_OBJ r = parser.Parse(cursor);
        QVERIFY(cursor <= text.constData() + text.size());
        QCOMPARE(r.SW, sw);
        QCOMPARE(r.INFO, info);
        QCOMPARE(r.DATA, data);
    }
}

void TestCore::jsonDeepNestingEndsWithoutCrash()
{
    const QByteArray text = QByteArray("{\"a\":").repeated(100000) + "1" + QByteArray("}").repeated(100000);
    JSON parser;
    const char* cursor = text.constData();
    QVERIFY(parser.Parse(cursor).DATA.isEmpty());
    QCOMPARE(cursor, text.constData() + text.size());
}

void TestCore::frames_data()
{
    QTest::addColumn<Chunks>("reads");
    QTest::addColumn<Chunks>("replies");
    QTest::addColumn<QByteArray>("leftover"); // what a flush hands on afterwards
    framerRow("braces in both kinds of quotes", {R"({"INFO":"a}b{",'X':'}'}{"SW":1})"},
              {R"({"INFO":"a}b{",'X':'}'})", R"({"SW":1})"});
    // A removal event right behind must not be swallowed by a string the apostrophe seemed to open.
    framerRow("apostrophe in a double-quoted value", {R"({"SW":"6A80","INFO":"Can't open the file"}{"SW":"80900001"})"},
              {R"({"SW":"6A80","INFO":"Can't open the file"})", R"({"SW":"80900001"})"});
    framerRow("double quote in a single-quoted value", {R"({'INFO':'say "hi}','SW':'1'}{"SW":2})"},
              {R"({'INFO':'say "hi}','SW':'1'})", R"({"SW":2})"});
    framerRow("text outside an object is passed on", {"Segmentation fault\n{'SW':'9000'}"},
              {"Segmentation fault\n", "{'SW':'9000'}"});
    framerRow("blanks alone give nothing", {" \r\n\t "}, {});
    framerRow("unfinished object", {R"({"SW":"9000","INFO":"never ends)"}, {}, R"({"SW":"9000","INFO":"never ends)");
}

void TestCore::frames()
{
    QFETCH(Chunks, reads);
    QFETCH(Chunks, replies);
    QFETCH(QByteArray, leftover);
    ReplyFramer framer;
    Chunks got;
    for (const QByteArray& read : reads)
        got += framer.feed(read);
    QCOMPARE(got, replies);
    QCOMPARE(framer.hasPending(), !leftover.isEmpty());
    QCOMPARE(framer.flush(), leftover);
    QCOMPARE(framer.feed(R"({"SW":1})"), Chunks{R"({"SW":1})"}); // starts afresh
}

// The published test key's code; six digits are checked end to end against the simulated key.
// The first 16 MB go on as one reply; the rest of that object is dropped up to its end, and
// what follows is framed as usual.
void TestCore::oversizedObjectIsNotHeldForEver()
{
    ReplyFramer framer;
    const QByteArray chunk(1024 * 1024, 'x');
    Chunks got = framer.feed(R"({"A":")");
    for (int i = 0; i < 20; ++i)
        got += framer.feed(chunk);
    QCOMPARE(got.size(), 1);
    QVERIFY(got.first().startsWith(R"({"A":"x)"));
    QVERIFY(!framer.hasPending());
    QVERIFY(framer.isDiscarding());
    QCOMPARE(framer.feed(R"(x"}{"SW":1})"), Chunks{R"({"SW":1})"});
    QVERIFY(!framer.isDiscarding());
}

void TestCore::hotpEightDigits()
{
    QCOMPARE(HotpCode::compute(QByteArrayLiteral("12345678901234567890"), 8, 7), QStringLiteral("82162583"));
}

// Nested objects, flags, lists and records by index are read end to end; a missing value is
// named.
void TestCore::keyReportNamesAMissingValue()
{
    const QJsonObject report{{"piv_slots", QJsonObject{{"9c", QJsonValue::Null}}}};
    QCOMPARE(KeyReportText::render(report), QStringLiteral("piv_slots.9c: none"));
}

void TestCore::debugFileKeepsOnlyTheLastText()
{
    const QString path = m_dir.filePath(QStringLiteral("log"));
    QVERIFY(DebugFile(path).replace("first, longer text"));
    QVERIFY(DebugFile(path).replace("second"));
    QCOMPARE(contentOf(path), QByteArray("second"));
    QCOMPARE(QFileInfo(path).permissions() & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());
}

void TestCore::plantedDebugPathIsLeftAlone_data()
{
    QTest::addColumn<QString>("plant");
    QTest::newRow("symbolic link") << "symlink";
    QTest::newRow("hard link") << "hardlink";
    QTest::newRow("fifo without a reader") << "fifo";
    QTest::newRow("fifo with a reader") << "fifo with a reader";
    QTest::newRow("file of another user") << "foreign";
}

// Whatever another user plants at the diagnostics path must neither be written through nor hang
// the window.
void TestCore::plantedDebugPathIsLeftAlone()
{
    QFETCH(QString, plant);
    const QString victim = m_dir.filePath(plant + QStringLiteral(".victim"));
    const QString path = m_dir.filePath(plant + QStringLiteral(".log"));
    writeFile(victim, "precious");
    const QByteArray native = QFile::encodeName(path);
    if (plant == QLatin1String("symlink"))
        QVERIFY(QFile::link(victim, path));
    else if (plant == QLatin1String("hardlink"))
        QCOMPARE(::link(QFile::encodeName(victim).constData(), native.constData()), 0);
    else if (plant.startsWith(QLatin1String("fifo")))
        QCOMPARE(::mkfifo(native.constData(), 0666), 0);
    else if (::geteuid() != 0)
        QSKIP("needs root to give a file to another user");
    else {
        writeFile(path, "theirs");
        QCOMPARE(::chown(native.constData(), 65534, 65534), 0);
    }

    const bool withReader = plant.endsWith(QLatin1String("reader"));
    const int reader = withReader ? ::open(native.constData(), O_RDONLY | O_NONBLOCK) : -1;
    QCOMPARE(reader >= 0, withReader);
    QVERIFY(!DebugFile(path).replace("planted"));
    QCOMPARE(contentOf(victim), QByteArray("precious"));
    if (plant == QLatin1String("foreign"))
        QCOMPARE(contentOf(path), QByteArray("theirs"));
    if (reader >= 0) {
        char byte;
        QCOMPARE(::read(reader, &byte, 1), ssize_t(0));
        ::close(reader);
    }
}

void TestCore::helperBesideTheManager_data()
{
    QTest::addColumn<bool>("helperInstalled");
    QTest::addColumn<bool>("runnable");
    QTest::newRow("installed") << true << true;
    QTest::newRow("build folder") << false << false;
    QTest::newRow("helper not runnable") << true << false;
}

// An installed manager must drive the helper installed beside it, not the build folder's.
void TestCore::helperBesideTheManager()
{
    if (kInstalledBackend[0] == '\0')
        QSKIP("this build drives a fixed backend, so nothing is looked up beside the manager");
    QFETCH(bool, helperInstalled);
    QFETCH(bool, runnable);
    const QString bin = m_dir.filePath(QStringLiteral("%1/usr/bin").arg(QTest::currentDataTag()));
    const QString helper = QDir::cleanPath(QDir(bin).filePath(QLatin1String(kInstalledBackend)));
    QVERIFY(QDir().mkpath(bin));
    if (helperInstalled) {
        QVERIFY(QDir().mkpath(QFileInfo(helper).path()));
        QFile file(helper);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner |
                                    (runnable ? QFile::ExeOwner : QFile::Permissions())));
    }
    QCOMPARE(defaultBackendPath(bin), helperInstalled && runnable ? helper : QString::fromLatin1(kBuiltInBackend));
}

QTEST_GUILESS_MAIN(TestCore)
#include "tst_core.moc"
