#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

// Prepares a kvman-sim that something starts afterwards (a MainWindow launching its backend,
// or a test's own SimProcess): a temporary folder holding the control socket and the command
// log, announced through KVSIM_CONTROL, KVSIM_LOG and KVSIM_MODEL in this process's
// environment, which children inherit. The environment is restored on destruction.
// Declare it before the window or process it serves, so the simulator ends before its folder
// is removed.
class SimHarness
{
public:
    explicit SimHarness(const QString& model = QStringLiteral("R15"));
    ~SimHarness();
    SimHarness(const SimHarness&) = delete;
    SimHarness& operator=(const SimHarness&) = delete;

    // The built simulator.
    static QString simPath();

    QString dir() const { return m_dir.path(); }
    QString socketPath() const;
    QString logPath() const;
    QString statePath() const;

    // Also keep the key in a state file (KVSIM_STATE), so it survives restarts.
    void useStateFile();
    // Keys present when the simulator starts (KVSIM_KEYS): 0, 1 or 2.
    void setKeysAtStart(int keys);

    // Sends one control command and returns the reply line ("ok ..." / "error ..."), or an
    // empty text when the simulator cannot be reached.
    QString control(const QString& command) const;
    // Waits until a started simulator answers on its control socket.
    bool waitUntilReady(int timeoutMs = 10000) const;
    // Every command line the simulator received so far, exactly as received.
    QStringList receivedLines() const;

private:
    QTemporaryDir m_dir;
    QVector<QPair<QByteArray, QByteArray>> m_savedEnv;
};
