#pragma once

#include "app/replyframer.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QProcess>
#include <QString>
#include <QStringList>

class QTimer;

// The one way to the backend process. It alone starts, restarts and stops it, frames what it
// writes, and knows which command is in flight: from the moment its line is written until a
// reply of its own arrives, the backend dies, or the window gives the command up. Commands
// asked for while one is in flight wait in a short queue.
class BackendChannel : public QObject
{
    Q_OBJECT

public:
    enum class SendResult { Sent, Queued, Busy, Unavailable, Unsafe };
    // Why a command in flight will never get a reply of its own.
    enum class Loss { BackendRestarted, IncompleteReply };

    // Type of a reply that answers no command (start-up, output after a restart).
    static constexpr int kNoCommand = 0;
    // Type of the reply to a command whose operation already ended: nobody handles it.
    static constexpr int kAbandoned = -1;
    static constexpr int kMaxQueued = 4;

    explicit BackendChannel(const QString& program, QObject* parent = nullptr);
    ~BackendChannel() override;

    QString program() const { return m_program; }
    qint64 processId() const { return m_process->processId(); }
    bool isAvailable() const { return !m_givenUp; }
    bool isBusy() const { return m_inFlight != kIdle; }
    // The command in flight, kNoCommand when none.
    int currentType() const;
    // A backend is running or about to be started again.
    bool isAlive() const;

    // Starts the backend (a bounded number of attempts) and asks it for device events.
    void start();
    SendResult send(const QString& line, int type);
    // The dispatcher calls this for each reply that is not a device event: the command it
    // answers (or kNoCommand / kAbandoned), and the channel is free for the next one.
    int completeCommand();
    // The operation of the command in flight ended without its reply (the key was removed):
    // a late reply is swallowed. Queued commands are dropped.
    void abandonCommand();
    // The command in flight took too long: the backend may be hung, and a late reply must not
    // be taken for the next command's. The backend is restarted.
    void abandonAndRestart();
    // Exit: ask the monitor and the backend to stop, then make sure it has.
    void stop();
    // Destroying the window: end the child without writing to it.
    void shutDown();

signals:
    // The replies (or stray texts) of one read, in order, each trimmed and cut at the first NUL.
    // Kept as the bytes read: a reply of many megabytes is not converted back and forth.
    void repliesReceived(const QList<QByteArray>& texts);
    void commandWritten(int type);
    void commandLost(int type, BackendChannel::Loss loss);
    // Emitted once when the backend cannot be started or keeps dying.
    void unavailable(const QString& program);

private:
    static constexpr int kIdle = -2;

    void write(const QByteArray& bytes);
    void writeCommand(const QString& line, int type);
    void sendMonitorStart();
    void readChannel(QProcess::ProcessChannel channel);
    void onFinished();
    void restart();
    void flushPartialReplies();
    void giveUp();
    void sendNextQueued();
    void loseCommand(Loss loss);

    QString m_program;
    QProcess* m_process = nullptr;
    ReplyFramer m_stdoutFramer;
    ReplyFramer m_stderrFramer;
    QTimer* m_framerFlush = nullptr;
    QTimer* m_restartTimer = nullptr;
    QTimer* m_settleTimer = nullptr;
    QTimer* m_abandonedTimer = nullptr;
    QList<qint64> m_recentRestarts;
    QList<QPair<QString, int>> m_queue;
    int m_inFlight = kIdle;
    bool m_started = false;
    bool m_givenUp = false;
    bool m_stopping = false;
    bool m_restartAsked = false;
};
