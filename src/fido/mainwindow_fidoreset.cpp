// Resetting the FIDO2 application, across a re-plug when the key asks for one. The reset is
// only ever resent to the key it was asked for.

#include "app/mainwindow.h"

#include "app/commands.h"
#include "support/protocol.h"
#include "ui/dialogmessage.h"
#include "ui/waitingdialog.h"

#include <QDebug>

namespace {

// The key accepts a reset only shortly after power-up.
constexpr quint32 kNotAllowed = 0x30;

const char kTouchPrompt[] = "  Please touch your VELMORA FIDO Security Key ... ";
const char kReplugPrompt[] = "Remove and re-insert your VELMORA FIDO Security Key ...";

} // namespace

void MainWindow::on_reset_clicked()
{
    if (!askQuestion(QStringLiteral("Reset FIDO"),
                     QStringLiteral("All FIDO related credentials will be removed, continue ? ")))
        return;
    m_isResetting = true;
    m_resetKey = m_keyIdentity;
    sendFidoReset();
}

void MainWindow::on_reset1_clicked()
{
    on_reset_clicked();
}

void MainWindow::sendFidoReset()
{
    m_resetPhase = ResetPhase::AwaitingTouch;
    // Hiding first restarts the busy panel's 60 seconds.
    m_waiting->hide();
    m_waiting->show(this, QLatin1String(kTouchPrompt));
    cmdSend(Cmd::fidoReset(), CmdType::FidoReset);
}

void MainWindow::onFidoResetReply(const JSON_OBJ& reply)
{
    m_fidoPin.clear();
    if (reply.SW == kNotAllowed) {
        // The device events continue the flow: the re-inserted key is checked, then reset.
        m_resetPhase = ResetPhase::AwaitingReplug;
        m_waiting->hide();
        m_waiting->show(this, QLatin1String(kReplugPrompt));
        return;
    }
    endFidoReset();
    m_waiting->hide();
    if (reply.SW == Status::Success) {
        isfidoHavePin = false;
        setFidoPinButtons(false);
        showMessage(DialogMessage::Information, QStringLiteral("Success"), QStringLiteral("Reset successfully."));
    } else {
        showFailure(reply);
    }
}

void MainWindow::endFidoReset()
{
    m_isResetting = false;
    m_resetPhase = ResetPhase::Idle;
    m_resetKey.clear();
}

// A key came back while the reset waits for the re-plug: ask who it is before resetting it.
void MainWindow::checkReinsertedKey()
{
    m_resetPhase = ResetPhase::CheckingKey;
    cmdSend(Cmd::deviceInfo(), CmdType::DeviceInfo);
}

// The details of the re-inserted key: the same key is reset, another one is left alone.
bool MainWindow::continueFidoReset(const QString& identity)
{
    if (m_resetPhase != ResetPhase::CheckingKey)
        return false;
    if (!identity.isEmpty() && identity == m_resetKey) {
        sendFidoReset();
        return true;
    }
    qDebug() << "reset not resent: another key was inserted";
    forgetOperationState();
    showMessage(DialogMessage::Warning, QStringLiteral("Warning"),
                QStringLiteral("This is not the key that was being reset, so it was not reset.\nTo reset this key, "
                               "start the reset again."));
    return false;
}

// The key was pulled while the reset was in the key's hands: whatever the key did is unknown.
bool MainWindow::fidoResetInterrupted()
{
    if (m_resetPhase != ResetPhase::AwaitingTouch && m_resetPhase != ResetPhase::CheckingKey)
        return false;
    m_channel->abandonCommand();
    forgetOperationState();
    return true;
}

void MainWindow::showResetInterrupted()
{
    showMessage(DialogMessage::Warning, QStringLiteral("Warning"),
                QStringLiteral("The key was removed before the reset was confirmed.\nIt may not have been reset. "
                               "Please insert it and check."));
}
