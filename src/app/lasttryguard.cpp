#include "app/lasttryguard.h"

#include "app/commands.h"
#include "support/protocol.h"

namespace {

// CTAP2 codes the backend passes through for a wrong and a blocked FIDO2 PIN.
constexpr quint32 kFidoPinInvalid = 0x31;
constexpr quint32 kFidoPinBlocked = 0x32;
// The low nibble of a wrong PIV secret's status word counts the tries left.
constexpr quint32 kTriesMask = 0x0F;
constexpr quint32 kWrongSecretMask = ~kTriesMask;

bool sendsFidoPin(int type)
{
    switch (type) {
    case CmdType::FidoChangePin:
    case CmdType::FidoListCredentials:
    case CmdType::FidoDeleteCredential:
    case CmdType::FidoEnrollBegin:
    case CmdType::FidoRemoveEnrollment:
        return true;
    default:
        return false;
    }
}

} // namespace

void LastTryGuard::noteReply(int type, const JSON_OBJ& reply)
{
    if (type == CmdType::FidoPinRetries && reply.SW == Status::Success) {
        for (const TextMap& map : reply.DATA)
            if (map.contains("RETRIES"))
                m_triesLeft.insert(Secret::FidoPin, map.value("RETRIES").toInt());
    } else if (sendsFidoPin(type)) {
        noteFidoPinUse(reply.SW);
    } else if (type == CmdType::PivChangePin) {
        notePivVerify(Secret::PivPin, reply.SW);
    } else if (type == CmdType::PivChangePuk) {
        notePivVerify(Secret::PivPuk, reply.SW);
    } else if (type == CmdType::FidoReset && reply.SW == Status::Success) {
        m_triesLeft.remove(Secret::FidoPin);
    } else if (type == CmdType::PivReset && reply.SW == Status::Success) {
        m_triesLeft.remove(Secret::PivPin);
        m_triesLeft.remove(Secret::PivPuk);
    }
}

// A right PIN gives every try back; how many that is, only the key knows.
void LastTryGuard::noteFidoPinUse(quint32 status)
{
    if (status == kFidoPinInvalid && m_triesLeft.contains(Secret::FidoPin))
        m_triesLeft[Secret::FidoPin] -= 1;
    else if (status == kFidoPinBlocked)
        m_triesLeft.insert(Secret::FidoPin, 0);
    else if (status == Status::Success)
        m_triesLeft.remove(Secret::FidoPin);
}

void LastTryGuard::notePivVerify(Secret secret, quint32 status)
{
    if ((status & kWrongSecretMask) == Status::WrongSecret)
        m_triesLeft.insert(secret, static_cast<int>(status & kTriesMask));
    else if (status == Status::Success)
        m_triesLeft.remove(secret);
}

void LastTryGuard::forgetAll()
{
    m_triesLeft.clear();
}

bool LastTryGuard::isLastTry(Secret secret) const
{
    return m_triesLeft.value(secret, -1) == 1;
}

QString LastTryGuard::title(Secret secret)
{
    switch (secret) {
    case Secret::FidoPin:
        return QStringLiteral("Last FIDO2 PIN try");
    case Secret::PivPin:
        return QStringLiteral("Last PIV PIN try");
    default:
        return QStringLiteral("Last PUK try");
    }
}

QString LastTryGuard::question(Secret secret)
{
    switch (secret) {
    case Secret::FidoPin:
        return QStringLiteral("The key has one FIDO2 PIN try left. If this PIN is wrong, FIDO2 is blocked until "
                              "it is reset, which deletes every credential on the key. Continue?");
    case Secret::PivPin:
        return QStringLiteral("The key has one PIV PIN try left. If this PIN is wrong, the PIV PIN is blocked "
                              "and only the PUK can unblock it. Continue?");
    default:
        return QStringLiteral("The key has one PUK try left. If this PUK is wrong, the PUK is blocked and with it "
                              "the only way to unblock the PIV PIN; then only a PIV reset helps. Continue?");
    }
}
