#include "app/backendchannel.h"

#include "app/commands.h"
#include "app/logmask.h"

#include <QDateTime>
#include <QDebug>
#include <QTimer>

namespace {

constexpr int kStartAttempts = 3;
constexpr int kStartWaitMs = 30000;
// A backend that dies this often within the window is broken; restarting it again is futile.
constexpr int kMaxRestarts = 5;
constexpr qint64 kRestartWindowMs = 30000;
constexpr int kRestartDelayMs = 500;
// A reply object that stays incomplete this long will not complete.
constexpr int kFramerFlushMs = 2000;
// After a restart's " monitor start" the backend tells what it found without being asked; a
// command written in that moment could be taken as answered by it. Commands wait for that
// report, or for this long. (At the first start no window is up yet to send one.)
constexpr int kSettleMs = 500;
// The reply to a command whose operation ended is awaited this long before the backend is
// taken for hung and restarted.
constexpr int kAbandonedGraceMs = 10000;
constexpr int kMaxLoggedText = 1024;

QByteArray replyText(const QByteArray& raw)
{
    QByteArray bytes = raw.trimmed();
    const int nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    return bytes;
}

QString forLog(const QByteArray& text)
{
    return QString::fromUtf8(text.left(kMaxLoggedText));
}

QTimer* singleShotTimer(QObject* parent, int ms)
{
    auto* timer = new QTimer(parent);
    timer->setSingleShot(true);
    timer->setInterval(ms);
    return timer;
}

} // namespace

BackendChannel::BackendChannel(const QString& program, QObject* parent)
    : QObject(parent), m_program(program), m_process(new QProcess(this))
{
    m_framerFlush = singleShotTimer(this, kFramerFlushMs);
    connect(m_framerFlush, &QTimer::timeout, this, &BackendChannel::flushPartialReplies);
    m_restartTimer = singleShotTimer(this, kRestartDelayMs);
    connect(m_restartTimer, &QTimer::timeout, this, &BackendChannel::restart);
    m_settleTimer = singleShotTimer(this, kSettleMs);
    connect(m_settleTimer, &QTimer::timeout, this, &BackendChannel::sendNextQueued);
    m_abandonedTimer = singleShotTimer(this, kAbandonedGraceMs);
    connect(m_abandonedTimer, &QTimer::timeout, this, &BackendChannel::abandonAndRestart);

    connect(m_process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this, &BackendChannel::onFinished);
    connect(m_process, &QProcess::readyReadStandardOutput, this, [this] { readChannel(QProcess::StandardOutput); });
    connect(m_process, &QProcess::readyReadStandardError, this, [this] { readChannel(QProcess::StandardError); });
}

BackendChannel::~BackendChannel()
{
    shutDown();
}

int BackendChannel::currentType() const
{
    return m_inFlight >= 0 ? m_inFlight : kNoCommand;
}

bool BackendChannel::isAlive() const
{
    return m_restartTimer->isActive() || m_process->state() != QProcess::NotRunning;
}

void BackendChannel::start()
{
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        m_process->start(m_program, QStringList{QStringLiteral(" ")}, QIODevice::ReadWrite);
        if (m_process->waitForStarted(kStartWaitMs)) {
            sendMonitorStart();
            if (m_started)
                m_settleTimer->start();
            m_started = true;
            return;
        }
    }
    giveUp();
}

void BackendChannel::sendMonitorStart()
{
    write(Cmd::monitorStart().toUtf8() + '\n');
    // Out at once, so the backend finds the key while the window is still being built.
    m_process->waitForBytesWritten(1000);
}

BackendChannel::SendResult BackendChannel::send(const QString& line, int type)
{
    if (!Cmd::isSafeLine(line)) {
        // A line break would smuggle a second command into the backend's input.
        qWarning() << "refused command line with a line break, type" << type;
        return SendResult::Unsafe;
    }
    if (m_givenUp)
        return SendResult::Unavailable;
    if (!isBusy() && !m_settleTimer->isActive() && m_process->state() == QProcess::Running) {
        writeCommand(line, type);
        return SendResult::Sent;
    }
    if (m_queue.size() >= kMaxQueued) {
        qDebug() << "lock failed";
        return SendResult::Busy;
    }
    m_queue.append(qMakePair(line, type));
    return SendResult::Queued;
}

void BackendChannel::writeCommand(const QString& line, int type)
{
    m_inFlight = type;
    emit commandWritten(type);
    qDebug() << "cmdSend====" << type;
    qDebug() << maskSecrets(line);
    // The backend reads UTF-8 whatever this machine's locale. The line may hold a secret: our
    // copy is wiped once it has been handed on.
    QByteArray bytes = line.toUtf8() + '\n';
    write(bytes);
    bytes.fill('\0');
}

void BackendChannel::sendNextQueued()
{
    if (isBusy() || m_settleTimer->isActive() || m_queue.isEmpty() || m_process->state() != QProcess::Running)
        return;
    const QPair<QString, int> next = m_queue.takeFirst();
    writeCommand(next.first, next.second);
}

int BackendChannel::completeCommand()
{
    if (m_settleTimer->isActive() && !isBusy()) {
        // The backend's own report after " monitor start": commands may go now.
        m_settleTimer->stop();
        return kNoCommand;
    }
    const int type = m_inFlight == kIdle ? kNoCommand : m_inFlight;
    m_inFlight = kIdle;
    m_abandonedTimer->stop();
    return type;
}

void BackendChannel::abandonCommand()
{
    m_queue.clear();
    if (m_inFlight == kIdle || m_inFlight == kAbandoned)
        return;
    m_inFlight = kAbandoned;
    m_abandonedTimer->start();
}

void BackendChannel::abandonAndRestart()
{
    m_queue.clear();
    if (!isBusy())
        return;
    m_inFlight = kIdle;
    m_abandonedTimer->stop();
    m_restartAsked = true;
    m_process->kill();
}

void BackendChannel::write(const QByteArray& bytes)
{
    if (m_process->state() == QProcess::Running)
        m_process->write(bytes);
}

void BackendChannel::readChannel(QProcess::ProcessChannel channel)
{
    const bool fromStderr = channel == QProcess::StandardError;
    const QByteArray bytes = fromStderr ? m_process->readAllStandardError() : m_process->readAllStandardOutput();
    ReplyFramer& framer = fromStderr ? m_stderrFramer : m_stdoutFramer;
    const QList<QByteArray> replies = framer.feed(bytes);
    if (framer.hasPending() || framer.isDiscarding())
        m_framerFlush->start();
    QList<QByteArray> texts;
    for (const QByteArray& raw : replies) {
        const QByteArray text = replyText(raw);
        if (text.isEmpty())
            continue;
        // A backend may answer on standard error; anything else there is a diagnostic and
        // must not end the command in flight.
        if (fromStderr && !text.startsWith('{')) {
            qDebug() << "on err msg"
                     << "   " << forLog(text);
            continue;
        }
        texts.append(text);
    }
    if (!texts.isEmpty())
        emit repliesReceived(texts);
    sendNextQueued();
}

void BackendChannel::flushPartialReplies()
{
    for (ReplyFramer* framer : {&m_stdoutFramer, &m_stderrFramer}) {
        const bool incomplete = framer->hasPending() && !framer->isDiscarding();
        if (incomplete)
            qDebug() << "incomplete reply:" << forLog(replyText(framer->flush()));
        // An oversized object that never closed: listen afresh after the silence.
        framer->clear();
        if (incomplete && m_inFlight >= 0)
            loseCommand(Loss::IncompleteReply);
    }
    sendNextQueued();
}

void BackendChannel::loseCommand(Loss loss)
{
    const int type = m_inFlight;
    m_inFlight = kIdle;
    m_abandonedTimer->stop();
    m_queue.clear();
    emit commandLost(type, loss);
}

void BackendChannel::onFinished()
{
    if (m_stopping || m_givenUp)
        return;
    m_stdoutFramer.clear();
    m_stderrFramer.clear();
    m_settleTimer->stop();
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    while (!m_recentRestarts.isEmpty() && now - m_recentRestarts.first() > kRestartWindowMs)
        m_recentRestarts.removeFirst();
    m_recentRestarts.append(now);
    if (m_recentRestarts.size() > kMaxRestarts) {
        giveUp();
        return;
    }
    if (m_restartAsked)
        m_restartAsked = false;
    else if (m_inFlight >= 0)
        loseCommand(Loss::BackendRestarted);
    m_inFlight = kIdle;
    m_restartTimer->start(m_recentRestarts.size() == 1 ? 0 : kRestartDelayMs);
}

void BackendChannel::restart()
{
    if (m_process->state() == QProcess::NotRunning)
        start();
}

void BackendChannel::giveUp()
{
    if (m_givenUp)
        return;
    m_givenUp = true;
    // The window ends whatever was in flight when it is told.
    m_queue.clear();
    m_inFlight = kIdle;
    m_abandonedTimer->stop();
    m_settleTimer->stop();
    qWarning() << "backend unavailable:" << m_program;
    emit unavailable(m_program);
}

void BackendChannel::stop()
{
    m_stopping = true;
    write(Cmd::monitorStop().toUtf8() + '\n');
    write(Cmd::exitBackend().toUtf8() + '\n');
    // A moment to leave on its own before it is killed.
    m_process->waitForBytesWritten(1000);
    if (!m_process->waitForFinished(1000))
        m_process->kill();
}

void BackendChannel::shutDown()
{
    m_stopping = true;
    m_process->disconnect(this);
    if (m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(1000);
    }
}
