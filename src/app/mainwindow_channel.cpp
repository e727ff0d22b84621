#include "app/mainwindow.h"

#include "app/commands.h"
#include "app/debugfile.h"
#include "app/logmask.h"
#include "support/hex.h"
#include "ui/waitingdialog.h"

#include <QDebug>
#include <QTimer>

#include <cerrno>
#include <ctime>

namespace {

const char kDebugFile[] = "/tmp/KV_Log_QT.txt";

QString replyText(const QByteArray& raw)
{
    QByteArray bytes = raw.trimmed();
    const int nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    return QString::fromUtf8(bytes);
}

} // namespace

void MainWindow::cmdSend(QString arguments, int index)
{
    if (!Cmd::isSafeLine(arguments)) {
        // A line break would smuggle a second command into the backend's input.
        qWarning() << "refused command line with a line break, type" << index;
        if (m_waiting)
            m_waiting->hide();
        return;
    }
    if (!m_cmdLock.tryLock()) {
        if (m_waiting)
            m_waiting->hide();
        closeFingerprintDialog();
        qDebug() << "lock failed";
        return;
    }
    if (index == CmdType::FidoDeleteCredential) {
        if (m_waiting)
            m_waiting->show(this, QStringLiteral("Deleting, please wait ..."));
        QString hexPin;
        Str2HexStr(m_fidoPin, hexPin);
        arguments += QStringLiteral(" -p ") + hexPin;
    }
    g_currItem = index;
    qDebug() << "cmdSend====" << index;
    qDebug() << maskSecrets(arguments);
    // The backend reads UTF-8 whatever this machine's locale.
    writeToBackend(arguments.toUtf8() + '\n');
}

void MainWindow::on_read_msg()
{
    readChannel(QProcess::StandardOutput);
}

void MainWindow::on_read_err()
{
    readChannel(QProcess::StandardError);
}

void MainWindow::readChannel(QProcess::ProcessChannel channel)
{
    const bool fromStderr = channel == QProcess::StandardError;
    const QByteArray bytes = fromStderr ? m_process->readAllStandardError() : m_process->readAllStandardOutput();
    ReplyFramer& framer = fromStderr ? m_stderrFramer : m_stdoutFramer;
    const QList<QByteArray> replies = framer.feed(bytes);
    // The command stays in flight while its reply is still arriving in pieces.
    if (!replies.isEmpty() || !framer.hasPending())
        releaseCommandLock();
    if (framer.hasPending() || framer.isDiscarding())
        m_framerFlush->start();
    dispatchFramed(replies, fromStderr);
}

void MainWindow::flushPartialReplies()
{
    for (ReplyFramer* framer : {&m_stdoutFramer, &m_stderrFramer}) {
        if (framer->isDiscarding()) {
            // An oversized object that never closed: listen afresh after the silence.
            framer->clear();
            continue;
        }
        if (!framer->hasPending())
            continue;
        releaseCommandLock();
        dispatchFramed({framer->flush()}, framer == &m_stderrFramer);
    }
}

void MainWindow::releaseCommandLock()
{
    m_cmdLock.tryLock();
    m_cmdLock.unlock();
}

void MainWindow::dispatchFramed(const QList<QByteArray>& replies, bool fromStderr)
{
    for (const QByteArray& raw : replies) {
        const QString text = replyText(raw);
        if (fromStderr)
            qDebug() << "on err msg"
                     << "   " << text;
        if (!text.isEmpty())
            setCurrentItemInfo(text, g_currItem);
    }
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
