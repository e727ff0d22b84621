#include "app/singleinstance.h"

#include <QCoreApplication>

#include <cerrno>
#include <csignal>
#include <cstring>

SingleInstance::SingleInstance(const QString& key)
{
    m_memory.setKey(key);
}

SingleInstance::~SingleInstance()
{
    if (m_memory.isAttached())
        m_memory.detach();
}

bool SingleInstance::acquire()
{
    if (m_memory.attach(QSharedMemory::ReadWrite)) {
        if (holderIsAlive()) {
            m_memory.detach();
            return false;
        }
        // Detaching as the last user removes the stale segment.
        m_memory.detach();
    }
    if (!m_memory.create(sizeof(qint64), QSharedMemory::ReadWrite))
        return false;
    const qint64 pid = QCoreApplication::applicationPid();
    m_memory.lock();
    std::memcpy(m_memory.data(), &pid, sizeof pid);
    m_memory.unlock();
    return true;
}

bool SingleInstance::holderIsAlive()
{
    if (m_memory.size() < int(sizeof(qint64)))
        return true;
    qint64 pid = 0;
    m_memory.lock();
    std::memcpy(&pid, m_memory.constData(), sizeof pid);
    m_memory.unlock();
    if (pid <= 0)
        return true;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}
