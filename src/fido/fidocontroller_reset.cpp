// Resetting the FIDO2 application, across a re-plug when the key asks for one. The reset is
// only ever resent to the key it was asked for.

#include "fido/fidocontroller.h"

#include "app/commands.h"
#include "app/programstate.h"
#include "support/protocol.h"
#include "ui/dialogmessage.h"

#include <QDebug>

namespace {

// The key accepts a reset only shortly after power-up.
constexpr quint32 kNotAllowed = 0x30;

const char kTouchPrompt[] = "  Please touch your VELMORA FIDO Security Key ... ";
const char kReplugPrompt[] = "Remove and re-insert your VELMORA FIDO Security Key ...";

} // namespace

void FidoController::reset()
{
    if (!m_host.askQuestion(QStringLiteral("Reset FIDO"),
                            QStringLiteral("All FIDO related credentials will be removed, continue ? ")))
        return;
    m_resetKey = m_host.keyIdentity();
    sendFidoReset();
}

void FidoController::sendFidoReset()
{
    m_resetPhase = ResetPhase::AwaitingTouch;
    // Hiding first restarts the busy panel's 60 seconds.
    m_host.hideBusy();
    m_host.showBusy(QLatin1String(kTouchPrompt));
    m_host.send(Cmd::fidoReset(), CmdType::FidoReset);
}

void FidoController::onFidoResetReply(const JSON_OBJ& reply)
{
    m_fidoPin.clear();
    if (reply.SW == kNotAllowed) {
        // The device events continue the flow: the re-inserted key is checked, then reset.
        m_resetPhase = ResetPhase::AwaitingReplug;
        m_host.hideBusy();
        m_host.showBusy(QLatin1String(kReplugPrompt));
        return;
    }
    endFidoReset();
    m_host.hideBusy();
    if (reply.SW == Status::Success) {
        isfidoHavePin = false;
        setFidoPinButtons(false);
        m_host.showMessage(DialogMessage::Information, QStringLiteral("Success"),
                           QStringLiteral("Reset successfully."));
    } else {
        m_host.showFailure(reply);
    }
}

void FidoController::endFidoReset()
{
    m_resetPhase = ResetPhase::Idle;
    m_resetKey.clear();
}

// A key came back while the reset waits for the re-plug: ask who it is before resetting it.
void FidoController::keyReturned()
{
    if (m_resetPhase != ResetPhase::AwaitingReplug)
        return;
    m_resetPhase = ResetPhase::CheckingKey;
    m_host.send(Cmd::deviceInfo(), CmdType::DeviceInfo);
}

// The details of the re-inserted key: the same key is reset, another one is left alone.
bool FidoController::keyChecked(const QString& identity)
{
    if (m_resetPhase != ResetPhase::CheckingKey)
        return false;
    if (!identity.isEmpty() && identity == m_resetKey) {
        sendFidoReset();
        return true;
    }
    qDebug() << "reset not resent: another key was inserted";
    m_host.forgetOperationState();
    m_host.showMessage(
        DialogMessage::Warning, QStringLiteral("Warning"),
        QStringLiteral("This is not the key that was being reset, so it was not reset.\nTo reset this key, "
                       "start the reset again."));
    return false;
}

// The key was pulled while the reset was in the key's hands: whatever the key did is unknown.
bool FidoController::interruptedByRemoval()
{
    if (m_resetPhase != ResetPhase::AwaitingTouch && m_resetPhase != ResetPhase::CheckingKey)
        return false;
    m_host.abandonCommand();
    m_host.forgetOperationState();
    return true;
}

void FidoController::reportInterruption()
{
    m_host.showMessage(
        DialogMessage::Warning, QStringLiteral("Warning"),
        QStringLiteral("The key was removed before the reset was confirmed.\nIt may not have been reset. "
                       "Please insert it and check."));
}
