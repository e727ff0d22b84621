#include "app/singleinstance.h"

#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {

constexpr int kWakeTimeoutMs = 2000;

} // namespace

SingleInstance::SingleInstance(const QString& key, QObject* parent) : QObject(parent)
{
    // Qt refuses a runtime folder that is not private to this user and then returns nothing.
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        return;
    m_lockPath = QDir(folder).filePath(key + QStringLiteral(".lock"));
    m_socketPath = QDir(folder).filePath(key + QStringLiteral(".socket"));
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection())
            socket->deleteLater();
        emit activated();
    });
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::acquire()
{
    if (m_lockPath.isEmpty())
        return true;
    m_lock = std::make_unique<QLockFile>(m_lockPath);
    // Stale only when its holder is gone, however long it has been held.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock()) {
        m_lock.reset();
        wakeHolder();
        return false;
    }
    // A crashed holder leaves its socket behind.
    QLocalServer::removeServer(m_socketPath);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    m_server.listen(m_socketPath);
    return true;
}

void SingleInstance::wakeHolder()
{
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (socket.waitForConnected(kWakeTimeoutMs))
        socket.disconnectFromServer();
}
