// Changing the PIN, the PUK and the management key, and resetting the PIV application.

#include "piv/pivcontroller.h"

#include "app/commands.h"
#include "support/protocol.h"
#include "ui/dialogmessage.h"

namespace {

constexpr quint32 kTwoTriesLeft = Status::WrongSecret + 2;
constexpr quint32 kOneTryLeft = Status::WrongSecret + 1;
constexpr quint32 kBlocked = Status::WrongSecret;
constexpr quint32 kResetTouchTimeout = Status::PivTouchTimeout;

} // namespace

void PivController::changePin()
{
    const QMap<QString, QString> input = m_host.askNewPins(QStringLiteral("pivchangepin"));
    if (input.isEmpty() || !m_host.confirmLastTry(LastTryGuard::Secret::PivPin))
        return;
    m_host.send(Cmd::pivChangePin(input.value(QStringLiteral("old")), input.value(QStringLiteral("new"))),
                CmdType::PivChangePin);
}

void PivController::changePuk()
{
    const QMap<QString, QString> input = m_host.askNewPins(QStringLiteral("pivchangepuk"));
    if (input.isEmpty() || !m_host.confirmLastTry(LastTryGuard::Secret::PivPuk))
        return;
    m_host.send(Cmd::pivChangePuk(input.value(QStringLiteral("old")), input.value(QStringLiteral("new"))),
                CmdType::PivChangePuk);
}

void PivController::changeManagementKey()
{
    m_pivPin = m_host.askPin(QStringLiteral("PIV PIN:"));
    if (!m_pivPin.isEmpty() && m_host.confirmLastTry(LastTryGuard::Secret::PivPin)) {
        const QMap<QString, QString> input = m_host.askNewPins(QStringLiteral("changeManKey"));
        if (!input.isEmpty())
            m_host.send(Cmd::pivChangeManagementKey(m_pivPin, input.value(QStringLiteral("old")),
                                                    input.value(QStringLiteral("new"))),
                        CmdType::PivChangeManagementKey);
    }
    // The PIN is needed for this one line only.
    m_pivPin.clear();
}

void PivController::reset()
{
    if (!m_host.showMessage(DialogMessage::Question, QStringLiteral("Reset PIV"),
                            QStringLiteral("All PIV related certificate will be removed, continue? ")))
        return;
    m_host.showBusy(QStringLiteral("Please touch your VELMORA FIDO Security Key, if necessary..."));
    m_host.send(Cmd::pivReset(), CmdType::PivReset);
}

void PivController::onPivChangePinReply(const JSON_OBJ& reply)
{
    if (reply.SW == Status::Success)
        m_host.showMessage(DialogMessage::Information, QStringLiteral("Success"),
                           QStringLiteral("Change PIN successfully."));
    else
        m_host.showFailure(reply);
}

void PivController::onPivChangePukReply(const JSON_OBJ& reply)
{
    if (reply.SW == Status::Success)
        m_host.showMessage(DialogMessage::Information, QStringLiteral("Success"),
                           QStringLiteral("Change PUK successfully."));
    else
        showPivVerifyFailure(reply, QStringLiteral("PUK"), QStringLiteral("PUK is blocked."));
}

void PivController::onPivChangeManagementKeyReply(const JSON_OBJ& reply)
{
    if (reply.SW == Status::Success)
        m_host.showMessage(DialogMessage::Information, QStringLiteral("Success"),
                           QStringLiteral("Change management key successfully."));
    else
        showPivVerifyFailure(reply, QStringLiteral("management key"), QStringLiteral("Management key is blocked."));
}

// The ISO 7816-4 "verification failed, X tries left" words have texts of their own for X = 2, 1, 0.
void PivController::showPivVerifyFailure(const JSON_OBJ& reply, const QString& secret, const QString& blockedText)
{
    const QString warning = QStringLiteral("Warning");
    const QString wrong = QStringLiteral("Verify failed. Wrong current ") + secret;
    switch (reply.SW) {
    case kTwoTriesLeft:
        m_host.showMessage(DialogMessage::Warning, warning, wrong + QStringLiteral(",2 tries left."));
        break;
    case kOneTryLeft:
        m_host.showMessage(DialogMessage::Warning, warning, wrong + QStringLiteral(",1 tries left."));
        break;
    case kBlocked:
        m_host.showMessage(DialogMessage::Warning, warning, blockedText);
        break;
    default:
        m_host.showFailure(reply);
    }
}

void PivController::onPivResetReply(const JSON_OBJ& reply)
{
    m_host.hideBusy();
    if (reply.SW == Status::Success) {
        m_host.showMessage(DialogMessage::Information, QStringLiteral("Success"),
                           QStringLiteral("Reset successfully."));
        piv_getinfo();
    } else if (reply.SW == kResetTouchTimeout) {
        m_host.showMessage(DialogMessage::Warning, QStringLiteral("Warning"), QStringLiteral("Touch time out."));
    } else {
        m_host.showFailure(reply);
    }
}
