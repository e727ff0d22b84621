#include "app/mainwindow.h"

#include "app/commands.h"
#include "ui/dialogmessage.h"
#include "ui/waitingdialog.h"

#include <QDebug>
#include <QMessageBox>

namespace {

// Replies are short; a runaway one is not copied whole into the log, nor laid out whole in a
// message dialog.
constexpr int kMaxLoggedReply = 1024;
constexpr int kMaxShownInfo = 512;

QString shortened(const QString& text, int limit)
{
    return text.size() <= limit ? text : text.left(limit) + QStringLiteral("...");
}

QString forLog(const QString& reply)
{
    if (reply.size() <= kMaxLoggedReply)
        return reply;
    return shortened(reply, kMaxLoggedReply) + QStringLiteral(" (%1 characters)").arg(reply.size());
}

bool isDeviceEvent(quint32 sw)
{
    return sw == 0x80900001u || sw == 0x80900002u || sw == 0x80900003u;
}

} // namespace

void MainWindow::registerHandler(int type, ReplyHandler handler)
{
    m_replyHandlers.insert(type, handler);
}

// Each feature registers the handlers of the command types it sends.
void MainWindow::registerHandlers()
{
    registerDeviceHandlers();
    registerPivHandlers();
    registerFidoHandlers();
    registerOtpHandlers();
}

void MainWindow::setCurrentItemInfo(QString const& info, int index)
{
    qDebug() << "setCurrentItemInfo"
             << "   " << forLog(info) << "indec:" << index;
    const QByteArray bytes = info.toUtf8();
    const char* cursor = bytes.constData();
    m_scratch.clear();
    const JSON_OBJ reply = m_json->Parse(cursor);

    if (isDeviceEvent(reply.SW)) {
        if (m_msgBox) {
            m_msgBox->close();
            m_msgBox->hide();
        }
        if (m_dlgMessage)
            m_dlgMessage->close();
        changeUI_Device(reply);
        return;
    }
    if (index == CmdType::Dropped6 || index == CmdType::Dropped41)
        return;
    const ReplyHandler handler = m_replyHandlers.value(index, &MainWindow::fallbackHandler);
    (this->*handler)(reply);
}

void MainWindow::fallbackHandler(const JSON_OBJ& reply)
{
    if (m_waiting)
        m_waiting->hide();
    showFailure(reply);
}

void MainWindow::showFailure(const JSON_OBJ& reply)
{
    const QString text = reply.INFO.isEmpty() ? QStringLiteral("Other error.Please try again or replug...")
                                              : shortened(QString::fromUtf8(reply.INFO), kMaxShownInfo);
    showMessage(1, QStringLiteral("Warning"), text);
}

bool MainWindow::showMessage(int kind, const QString& title, const QString& text)
{
    if (!m_dlgMessage)
        return false;
    m_dlgMessage->setDialog(this, kind, title, text);
    m_dlgMessage->exec();
    return m_dlgMessage->okPressed;
}

void MainWindow::on_operationTimedout()
{
    qDebug() << "on_operationTimedout()";
    m_isResetting = false;
    m_isSwitching = false;
    showMessage(0, QStringLiteral("Information"), QStringLiteral("Operation time out."));
    if (!g_insreted) {
        JSON_OBJ noKey;
        noKey.SW = 0x80900001u;
        changeUI_Device(noKey);
    }
}
