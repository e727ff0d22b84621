#pragma once

#include <QByteArray>
#include <QFile>
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

    // The built simulator.
    static QString simPath() { return QStringLiteral(KVSIM_PATH); }

    QString dir() const { return m_dir.path(); }
    QString socketPath() const { return m_dir.filePath(QStringLiteral("control")); }
    QString statePath() const { return m_dir.filePath(QStringLiteral("key.state")); }

    // Also keep the key in a state file (KVSIM_STATE), so it survives restarts.
    void useStateFile() { qputenv("KVSIM_STATE", QFile::encodeName(statePath())); }
    // Keys present when the simulator starts (KVSIM_KEYS): 0, 1 or 2.
    void setKeysAtStart(int keys) { qputenv("KVSIM_KEYS", QByteArray::number(keys)); }

    // Sends one control command and returns the reply line ("ok ..." / "error ..."), or an
    // empty text when the simulator cannot be reached.
    QString control(const QString& command) const;
    // Waits until a started simulator answers on its control socket.
    bool waitUntilReady() const;
    // Every command line the simulator received so far, exactly as received.
    QStringList receivedLines() const;

private:
    QTemporaryDir m_dir;
    QVector<QPair<QByteArray, QByteArray>> m_savedEnv;
};
