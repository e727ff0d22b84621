#include "app/mainwindow.h"

#include "app/commands.h"
#include "app/debugfile.h"
#include "support/hex.h"
#include "ui/waitingdialog.h"

#include <QDebug>
#include <QTimer>

#include <cerrno>
#include <ctime>

namespace {

const char kDebugFile[] = "/tmp/KV_Log_QT.txt";

} // namespace

void MainWindow::cmdSend(QString arguments, int index)
{
    if (index == CmdType::FidoDeleteCredential) {
        if (m_waiting)
            m_waiting->show(this, QStringLiteral("Deleting, please wait ..."));
        QString hexPin;
        Str2HexStr(m_fidoPin, hexPin);
        arguments += QStringLiteral(" -p ") + hexPin;
    }
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

void MainWindow::onChannelReply(const QString& text)
{
    dispatchReply(text, std::nullopt);
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
