#include "common/simharness.h"

#include <QDir>
#include <QLocalSocket>
#include <QtTest>

namespace {

const char* const ManagedVariables[] = {"KVSIM_CONTROL", "KVSIM_LOG", "KVSIM_MODEL", "KVSIM_STATE", "KVSIM_KEYS"};

} // namespace

SimHarness::SimHarness(const QString& model) : m_dir(QDir::tempPath() + QStringLiteral("/kvsim-XXXXXX"))
{
    for (const char* name : ManagedVariables) {
        m_savedEnv.append({name, qgetenv(name)});
        qunsetenv(name);
    }
    qputenv("KVSIM_CONTROL", QFile::encodeName(socketPath()));
    qputenv("KVSIM_LOG", QFile::encodeName(m_dir.filePath(QStringLiteral("commands.log"))));
    qputenv("KVSIM_MODEL", model.toUtf8());
}

SimHarness::~SimHarness()
{
    for (const auto& [name, value] : m_savedEnv) {
        if (value.isNull())
            qunsetenv(name.constData());
        else
            qputenv(name.constData(), value);
    }
}

QString SimHarness::control(const QString& command) const
{
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(5000))
        return QString();
    socket.write(command.toUtf8() + '\n');
    // A simulator that stays silent for five seconds counts as gone.
    while (!socket.canReadLine())
        if (!socket.waitForReadyRead(5000))
            return QString();
    return QString::fromUtf8(socket.readLine().chopped(1));
}

bool SimHarness::waitUntilReady() const
{
    return QTest::qWaitFor([this] { return control(QStringLiteral("status")).startsWith(QLatin1String("ok")); }, 10000);
}

QStringList SimHarness::receivedLines() const
{
    QFile log(m_dir.filePath(QStringLiteral("commands.log")));
    log.open(QIODevice::ReadOnly);
    QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'));
    // The log ends with a line end, which leaves one empty part behind.
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}
