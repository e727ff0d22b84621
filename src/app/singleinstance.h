#pragma once

#include <QSharedMemory>
#include <QString>

// Keeps a second copy of the application from running. The segment records the holder's
// process id, because a SysV segment outlives a process that was killed: a guard whose holder
// is gone is stale and is taken over.
class SingleInstance
{
public:
    explicit SingleInstance(const QString& key);
    ~SingleInstance();

    // True when this process now holds the guard; false when another live instance does.
    bool acquire();

private:
    bool holderIsAlive();

    QSharedMemory m_memory;
};
