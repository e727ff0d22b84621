#include "common/simharness.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

#ifdef MSG_NOSIGNAL
constexpr int NoSigPipe = MSG_NOSIGNAL;
#else
constexpr int NoSigPipe = 0;
#endif

const char* const ManagedVariables[] = {"KVSIM_CONTROL", "KVSIM_LOG", "KVSIM_MODEL", "KVSIM_STATE", "KVSIM_KEYS"};

int connectTo(const QByteArray& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= int(sizeof address.sun_path)) {
        return -1;
    }
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()) + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Reads up to the line end; a simulator that stays silent for five seconds counts as gone.
QByteArray readLine(int fd)
{
    QByteArray line;
    while (true) {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, 5000) <= 0) {
            return QByteArray();
        }
        char c;
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return QByteArray();
        }
        if (c == '\n') {
            return line;
        }
        line += c;
    }
}

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
        if (value.isNull()) {
            qunsetenv(name.constData());
        } else {
            qputenv(name.constData(), value);
        }
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
    const int fd = connectTo(QFile::encodeName(socketPath()));
    if (fd < 0) {
        return QString();
    }
    const QByteArray request = command.toUtf8() + '\n';
    QByteArray reply;
    if (::send(fd, request.constData(), size_t(request.size()), NoSigPipe) == request.size()) {
        reply = readLine(fd);
    }
    ::close(fd);
    return QString::fromUtf8(reply);
}

bool SimHarness::waitUntilReady(int timeoutMs) const
{
    return QTest::qWaitFor([this] { return control(QStringLiteral("status")).startsWith(QLatin1String("ok")); },
                           timeoutMs);
}

QStringList SimHarness::receivedLines() const
{
    QFile log(logPath());
    if (!log.open(QIODevice::ReadOnly)) {
        return {};
    }
    QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'));
    // The log ends with a line end, which leaves one empty part behind.
    if (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();
    }
    return lines;
}
