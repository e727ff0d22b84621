#include "app/mainwindow.h"

#include "app/commands.h"
#include "app/logmask.h"
#include "device/devicecontroller.h"
#include "fido/fidocontroller.h"
#include "otp/otpcontroller.h"
#include "piv/pivcontroller.h"
#include "support/protocol.h"
#include "ui/dialogmessage.h"
#include "ui/waitingdialog.h"

#include <QDebug>

namespace {

// Replies are short; a runaway one is not copied whole into the log, nor laid out whole in a
// message dialog.
constexpr int kMaxLoggedReply = 1024;
constexpr int kMaxShownInfo = 512;

QString shortened(const QString& text, int limit)
{
    return text.size() <= limit ? text : text.left(limit) + QStringLiteral("...");
}

// Only replies naming people are read whole, to be summarised; of the others only what is logged
// is converted.
QString forLog(const QByteArray& reply, int type)
{
    if (replyNamesPeople(type))
        return shortened(replyForLog(QString::fromUtf8(reply), type), kMaxLoggedReply);
    if (reply.size() <= kMaxLoggedReply)
        return QString::fromUtf8(reply);
    return QString::fromUtf8(reply.left(kMaxLoggedReply)) + QStringLiteral("... (%1 bytes)").arg(reply.size());
}

bool isDeviceEvent(quint32 sw)
{
    return sw == Status::NoKey || sw == Status::OneKey || sw == Status::SeveralKeys;
}

} // namespace

void MainWindow::registerHandler(int type, ReplyHandler handler)
{
    m_replyHandlers.insert(type, std::move(handler));
}

// Each feature registers the handlers of the command types it sends.
void MainWindow::registerHandlers()
{
    m_device->registerHandlers();
    m_piv->registerHandlers();
    m_fido->registerHandlers();
    m_otp->registerHandlers();
}

void MainWindow::setCurrentItemInfo(QString const& info, int index)
{
    dispatchReply(info.toUtf8(), index);
}

// `type` is given by callers that know which command a text answers; the channel's replies
// are matched with the command in flight only once they are known not to be device events.
void MainWindow::dispatchReply(const QByteArray& info, std::optional<int> type)
{
    qDebug() << "setCurrentItemInfo"
             << "   " << forLog(info, type.value_or(m_channel->currentType()))
             << "indec:" << type.value_or(m_channel->currentType());
    const char* cursor = info.constData();
    const JSON_OBJ reply = m_json->Parse(cursor);

    if (isDeviceEvent(reply.SW)) {
        if (m_dlgMessage)
            m_dlgMessage->close();
        m_otp->closeCheck();
        // What was learned about the key goes with it.
        if (reply.SW == Status::NoKey) {
            m_lastTry.forgetAll();
            m_keyReport.forgetAll();
        }
        m_device->changeUI_Device(reply);
        return;
    }
    const int index = type ? *type : m_channel->completeCommand();
    g_currItem = m_channel->currentType();
    if (index == BackendChannel::kAbandoned || index == CmdType::Dropped6 || index == CmdType::Dropped41)
        return;
    m_lastTry.noteReply(index, reply);
    m_keyReport.noteReply(index, reply);
    const ReplyHandler handler = m_replyHandlers.value(index);
    if (handler)
        handler(reply);
    else
        fallbackHandler(reply);
}

void MainWindow::fallbackHandler(const JSON_OBJ& reply)
{
    if (m_waiting)
        m_waiting->hide();
    showFailure(reply);
}

void MainWindow::showFailure(const JSON_OBJ& reply, const QString& consequence)
{
    QString text = reply.INFO.isEmpty() ? QStringLiteral("Other error.Please try again or replug...")
                                        : shortened(QString::fromUtf8(reply.INFO), kMaxShownInfo);
    if (!consequence.isEmpty())
        text += QLatin1Char('\n') + consequence;
    showMessage(DialogMessage::Warning, QStringLiteral("Warning"), text);
}

bool MainWindow::showMessage(int kind, const QString& title, const QString& text)
{
    if (!m_dlgMessage)
        return false;
    if (m_dlgMessage->isVisible()) {
        if (kind == DialogMessage::Question) {
            // A question needs its answer now: it gets a dialog of its own.
            DialogMessage question(this, m_scale);
            question.setDialog(this, kind, title, text);
            question.exec();
            return question.okPressed;
        }
        // The open dialog (perhaps a question) keeps its text and its answer.
        m_pendingMessages.append({kind, title, text});
        return true;
    }
    m_dlgMessage->setDialog(this, kind, title, text);
    m_dlgMessage->exec();
    const bool answer = m_dlgMessage->okPressed;
    showPendingMessages();
    return answer;
}

bool MainWindow::askQuestion(const QString& title, const QString& text)
{
    return showMessage(DialogMessage::Question, title, text);
}

bool MainWindow::confirmLastTry(LastTryGuard::Secret secret)
{
    return !m_lastTry.isLastTry(secret) || askQuestion(LastTryGuard::title(secret), LastTryGuard::question(secret));
}

void MainWindow::showPendingMessages()
{
    while (!m_pendingMessages.isEmpty() && !m_dlgMessage->isVisible()) {
        const PendingMessage next = m_pendingMessages.takeFirst();
        m_dlgMessage->setDialog(this, next.kind, next.title, next.text);
        m_dlgMessage->exec();
    }
}

void MainWindow::on_operationTimedout()
{
    qDebug() << "on_operationTimedout()";
    endOperation(OperationEnd::TimedOut);
}

void MainWindow::forgetOperationState()
{
    if (m_waiting)
        m_waiting->hide();
    g_currItem = m_channel->currentType();
    m_fido->forgetOperation();
    m_device->forgetOperation();
    m_piv->forgetOperation();
    closeFingerprintDialog();
    m_otp->forgetOperation();
}

void MainWindow::endOperation(OperationEnd why)
{
    if (why == OperationEnd::TimedOut)
        m_channel->abandonAndRestart();
    forgetOperationState();
    if (why == OperationEnd::TimedOut)
        showMessage(DialogMessage::Information, QStringLiteral("Information"), operationEndText(why));
    else
        showMessage(DialogMessage::Warning, QStringLiteral("Warning"), operationEndText(why));
    if (why == OperationEnd::TimedOut && !g_insreted)
        m_device->keyRemoved(Status::NoKey);
}

QString MainWindow::operationEndText(OperationEnd why) const
{
    const QString notConfirmed =
        QStringLiteral("\nThe key did not confirm the operation. Please check the key and try again.");
    switch (why) {
    case OperationEnd::TimedOut:
        return QStringLiteral("Operation time out.") + notConfirmed;
    case OperationEnd::ChannelBusy:
        return QStringLiteral(
            "Another operation is still running.\nNothing was sent. Please wait for it to finish, then "
            "try again.");
    case OperationEnd::BackendRestarted:
        return QStringLiteral("The key manager backend stopped and was restarted.") + notConfirmed;
    case OperationEnd::IncompleteReply:
        return QStringLiteral("The answer of the key manager backend was cut off.") + notConfirmed;
    case OperationEnd::BackendUnavailable:
        return QStringLiteral("The key manager backend is not available, nothing was sent to the key:\n") +
               m_channel->program();
    case OperationEnd::UnsafeText:
        return QStringLiteral("A line break can't be sent to the key.\nNothing was sent. Please enter the text "
                              "without line breaks.");
    }
    return QString();
}

void MainWindow::send(const QString& line, int type)
{
    cmdSend(line, type);
}

void MainWindow::abandonCommand()
{
    m_channel->abandonCommand();
}

void MainWindow::showBusy(const QString& text)
{
    m_waiting->show(this, text);
}

void MainWindow::hideBusy()
{
    m_waiting->hide();
}

void MainWindow::highlightMenu(int page)
{
    setBtnStyleSheet(page);
}

QWidget* MainWindow::dialogParent()
{
    return this;
}
