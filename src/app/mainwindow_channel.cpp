#include "app/mainwindow.h"

#include "app/commands.h"
#include "app/debugfile.h"
#include "support/protocol.h"
#include "ui/waitingdialog.h"

#include <QDebug>
#include <QTimer>

#include <cerrno>
#include <ctime>

namespace {

const char kDebugFile[] = "/tmp/KV_Log_QT.txt";
// Presence events are a few bytes; anything longer is not looked at twice.
constexpr int kMaxEventText = 64;

// The presence event a text carries, 0 when it is something else.
quint32 presenceEvent(const QByteArray& text)
{
    if (text.size() > kMaxEventText)
        return 0;
    const char* cursor = text.constData();
    const quint32 sw = JSON().Parse(cursor).SW;
    return sw == Status::NoKey || sw == Status::OneKey || sw == Status::SeveralKeys ? sw : 0;
}

} // namespace

void MainWindow::cmdSend(QString arguments, int index)
{
    switch (m_channel->send(arguments, index)) {
    case BackendChannel::SendResult::Sent:
    case BackendChannel::SendResult::Queued:
        break;
    case BackendChannel::SendResult::Busy:
        endOperation(OperationEnd::ChannelBusy);
        break;
    case BackendChannel::SendResult::Unavailable:
        endOperation(OperationEnd::BackendUnavailable);
        break;
    case BackendChannel::SendResult::Unsafe:
        endOperation(OperationEnd::UnsafeText);
        break;
    }
}

// A flood of presence events in one read: of each run of events only the first removal (it ends
// whatever the key was doing) and the last event (how things stand now) are handled.
void MainWindow::onChannelReplies(const QList<QByteArray>& texts)
{
    bool removalHandled = false;
    for (int i = 0; i < texts.size(); ++i) {
        const quint32 event = presenceEvent(texts.at(i));
        if (!event) {
            removalHandled = false;
            dispatchReply(texts.at(i), std::nullopt);
            continue;
        }
        const bool last = i + 1 == texts.size() || !presenceEvent(texts.at(i + 1));
        const bool firstRemoval = event != Status::OneKey && !removalHandled;
        if (last || firstRemoval)
            dispatchReply(texts.at(i), std::nullopt);
        removalHandled = removalHandled || firstRemoval;
        if (last)
            removalHandled = false;
    }
}

void MainWindow::onCommandLost(int type, BackendChannel::Loss loss)
{
    qDebug() << "command lost, type" << type;
    endOperation(loss == BackendChannel::Loss::BackendRestarted ? OperationEnd::BackendRestarted
                                                                : OperationEnd::IncompleteReply);
}

QString MainWindow::executeLinuxCmd(QString strCmd)
{
    QProcess process;
    process.start(QStringLiteral("/bin/bash"), QStringList{QStringLiteral("-c"), strCmd}, QIODevice::ReadWrite);
    process.waitForFinished(30000);
    process.waitForReadyRead(30000);
    QByteArray out = process.readAllStandardOutput();
    const int nul = out.indexOf('\0');
    if (nul >= 0)
        out.truncate(nul);
    process.close();
    return QString::fromUtf8(out);
}

QString MainWindow::runShellCommand(const QString& command)
{
    return executeLinuxCmd(command);
}

void MainWindow::qSleep(int ms)
{
    timespec ts{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) == -1 && errno == EINTR) {
    }
}

void MainWindow::save_to_file_debug(QString text)
{
    DebugFile(QString::fromLatin1(kDebugFile)).replace(text.toUtf8());
}
