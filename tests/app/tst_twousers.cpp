// Two users on one machine: neither can hold, leave behind or plant anything that blocks the
// other's manager, nor read the other's public key. The second user is "nobody", reached by
// dropping root's rights, so the test runs where it runs as root (as in CI).

#include "app/singleinstance.h"
#include "piv/publickeyfolder.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr uid_t kOtherUid = 65534; // "nobody"
constexpr gid_t kOtherGid = 65534;
constexpr int kCantSwitch = 120;
constexpr int kChildFailed = 121;
const char kAppKey[] = "vela_7C2E91A0-5D3B-4F86-A1E4-29B7C0D5E8F3";
const QByteArray kRootKey = "root's public key";

bool becomeOtherUser()
{
    return ::setgroups(0, nullptr) == 0 && ::setgid(kOtherGid) == 0 && ::setuid(kOtherUid) == 0;
}

// Runs `work` in a child process as the other user; its result, or kCantSwitch / kChildFailed.
int asOtherUser(const std::function<int()>& work)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(becomeOtherUser() ? work() : kCantSwitch);
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return kChildFailed;
    return WEXITSTATUS(status);
}

// The manager started as the other user.
class OtherUserProcess : public QProcess
{
protected:
    void setupChildProcess() override
    {
        if (!becomeOtherUser())
            ::_exit(kCantSwitch);
    }
};

// The process id holding the manager's guard in a runtime folder, 0 when none does.
qint64 guardHolder(const QString& runtime)
{
    QLockFile lock(QDir(runtime).filePath(QLatin1String(kAppKey) + QStringLiteral(".lock")));
    qint64 pid = 0;
    QString host;
    QString app;
    return lock.getLockInfo(&pid, &host, &app) ? pid : 0;
}

} // namespace

class TestTwoUsers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void guardOfOneUserNeverBlocksTheOther_data();
    void guardOfOneUserNeverBlocksTheOther();
    void plantedPublicKeyNeverBlocksOtherUser_data();
    void plantedPublicKeyNeverBlocksOtherUser();
    void publicKeyIsPrivate();

private:
    void start(QProcess& manager, bool other);

    QTemporaryDir m_shared; // the machine's temporary folder, as /tmp: everyone may write
    QTemporaryDir m_runtime;
    QString m_otherHome;
};

void TestTwoUsers::initTestCase()
{
    if (::geteuid() != 0)
        QSKIP("Acting as a second user needs root.");
    QVERIFY(m_shared.isValid() && m_runtime.isValid());
    QVERIFY(::chmod(QFile::encodeName(m_shared.path()).constData(), 01777) == 0);
    qputenv("TMPDIR", QFile::encodeName(m_shared.path()));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    // The other user's home holds its runtime folder; both private to it, as a log-in makes them.
    m_otherHome = m_shared.filePath(QStringLiteral("home"));
    for (const QString& folder : {m_otherHome, m_otherHome + QStringLiteral("/run")}) {
        const QByteArray path = QFile::encodeName(folder);
        QVERIFY(::mkdir(path.constData(), 0700) == 0 && ::chown(path.constData(), kOtherUid, kOtherGid) == 0);
    }
    const int canRun = asOtherUser([] { return ::access(SKM_APP_PATH, X_OK) == 0 ? 0 : 1; });
    if (canRun == kCantSwitch)
        QSKIP("Can't switch to the user nobody.");
    if (canRun != 0)
        QSKIP("The user nobody can't run the manager from this build folder.");
}

void TestTwoUsers::start(QProcess& manager, bool other)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (other) {
        env.insert(QStringLiteral("HOME"), m_otherHome);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_otherHome + QStringLiteral("/run"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_otherHome);
    }
    manager.setProcessEnvironment(env);
    manager.start(QStringLiteral(SKM_APP_PATH), QStringList());
    QVERIFY(manager.waitForStarted());
    const QString runtime = other ? m_otherHome + QStringLiteral("/run") : m_runtime.path();
    QTRY_COMPARE(guardHolder(runtime), manager.processId());
}

void TestTwoUsers::guardOfOneUserNeverBlocksTheOther_data()
{
    QTest::addColumn<bool>("otherFirst");
    QTest::addColumn<bool>("firstKilled");
    QTest::newRow("this user's manager runs") << false << false;
    QTest::newRow("this user's guard left behind") << false << true;
    QTest::newRow("other user's manager runs") << true << false;
    QTest::newRow("other user's guard left behind") << true << true;
}

void TestTwoUsers::guardOfOneUserNeverBlocksTheOther()
{
    QFETCH(bool, otherFirst);
    QFETCH(bool, firstKilled);
    QProcess mine;
    OtherUserProcess others;
    QProcess& first = otherFirst ? static_cast<QProcess&>(others) : mine;
    QProcess& second = otherFirst ? mine : static_cast<QProcess&>(others);
    start(first, otherFirst);
    if (QTest::currentTestFailed())
        return;
    // SIGKILL, as a crash: the guard stays behind.
    if (firstKilled) {
        first.kill();
        first.waitForFinished();
    }
    start(second, !otherFirst);
    QCOMPARE(second.state(), QProcess::Running);
}

void TestTwoUsers::plantedPublicKeyNeverBlocksOtherUser_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("file") << QStringLiteral("file");
    QTest::newRow("folder") << QStringLiteral("folder");
    QTest::newRow("link to this user's file") << QStringLiteral("link");
}

// Planted where a shared, fixed key file would be: the other user's key goes elsewhere.
void TestTwoUsers::plantedPublicKeyNeverBlocksOtherUser()
{
    QFETCH(QString, kind);
    const QString planted = m_shared.filePath(QStringLiteral("public"));
    QVERIFY(QFile::remove(planted) || QDir(planted).removeRecursively());
    QFile mine(m_shared.filePath(QStringLiteral("mine")));
    QVERIFY(mine.open(QIODevice::WriteOnly) && mine.write(kRootKey) == kRootKey.size());
    mine.close();
    if (kind == QLatin1String("file"))
        QVERIFY(mine.copy(planted));
    else if (kind == QLatin1String("folder"))
        QVERIFY(QDir().mkdir(planted));
    else
        QVERIFY(mine.link(planted));
    const int written = asOtherUser([&] {
        PublicKeyFolder folder;
        QFile key(folder.filePath());
        if (key.fileName().isEmpty() || key.fileName() == planted)
            return 1;
        return key.open(QIODevice::WriteOnly) && key.write("other's key") > 0 ? 0 : 2;
    });
    QCOMPARE(written, 0);
    QVERIFY(mine.open(QIODevice::ReadOnly));
    QCOMPARE(mine.readAll(), kRootKey);
}

void TestTwoUsers::publicKeyIsPrivate()
{
    PublicKeyFolder folder;
    const QString path = folder.filePath();
    QFile key(path);
    QVERIFY(key.open(QIODevice::WriteOnly) && key.write(kRootKey) == kRootKey.size());
    key.close();
    const int denied = asOtherUser([&] {
        QFile planted(QFileInfo(path).dir().filePath(QStringLiteral("planted")));
        return int(QFile(path).open(QIODevice::ReadOnly)) | int(planted.open(QIODevice::WriteOnly)) << 1 |
               int(QFile::remove(path)) << 2;
    });
    QCOMPARE(denied, 0);
}

QTEST_GUILESS_MAIN(TestTwoUsers)
#include "tst_twousers.moc"
