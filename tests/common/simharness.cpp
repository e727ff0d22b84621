#include "common/simharness.h"

#include <QDir>
#include <QFile>
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
    qputenv("KVSIM_LOG", QFile::encodeName(logPath()));
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

QString SimHarness::simPath()
{
    return QStringLiteral(KVSIM_PATH);
}

QString SimHarness::socketPath() const
{
    return m_dir.filePath(QStringLiteral("control"));
}

QString SimHarness::logPath() const
{
    return m_dir.filePath(QStringLiteral("commands.log"));
}

QString SimHarness::statePath() const
{
    return m_dir.filePath(QStringLiteral("key.state"));
}

void SimHarness::useStateFile()
{
    qputenv("KVSIM_STATE", QFile::encodeName(statePath()));
}

void SimHarness::setKeysAtStart(int keys)
{
    qputenv("KVSIM_KEYS", QByteArray::number(keys));
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

bool SimHarness::waitUntilReady(int timeoutMs) const
{
    return QTest::qWaitFor([this] { return control(QStringLiteral("status")).startsWith(QLatin1String("ok")); },
                           timeoutMs);
}

QStringList SimHarness::receivedLines() const
{
    QFile log(logPath());
    if (!log.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'));
    // The log ends with a line end, which leaves one empty part behind.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}
