#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

// Keeps a user from running the application twice. The guard lives in the user's own runtime
// folder, so no other user can hold or block it; the lock records the holder's process, so the
// guard of a crashed instance is taken over. A second start tells the first one, which raises
// its window.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(const QString& key, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process now holds the guard, or when the user has no private runtime
    // folder to keep one in; false when another instance of this user runs (it has been told).
    bool acquire();

signals:
    // Another start of the application was refused in this one's favour.
    void activated();

private:
    void wakeHolder();

    QString m_lockPath;
    QString m_socketPath;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer m_server;
};
