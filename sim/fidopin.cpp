#include "fidopin.h"

#include "fidostatus.h"
#include "hex.h"

#include <openssl/evp.h>

namespace {

Reply blockedReply()
{
    return Reply(FidoStatus::PinBlocked,
                 "The FIDO2 PIN is blocked after too many wrong PINs. Reset FIDO2 to use the key "
                 "again; this erases its credentials and fingerprints.");
}

Reply notSetReply()
{
    return Reply(FidoStatus::PinNotSet, "No FIDO2 PIN is set on this key.");
}

// Unicode code points of valid UTF-8, or nothing for invalid UTF-8.
std::optional<size_t> codePoints(const std::string& text)
{
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++count) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80           ? 1
                              : (lead >> 5) == 0x6  ? 2
                              : (lead >> 4) == 0xE  ? 3
                              : (lead >> 3) == 0x1E ? 4
                                                    : 0;
        if (length == 0 || i + length > text.size()) {
            return std::nullopt;
        }
        for (size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return std::nullopt;
            }
        }
        i += length;
    }
    return count;
}

} // namespace

std::optional<Reply> FidoPin::set(const std::string& pin)
{
    if (isSet()) {
        return Reply(FidoStatus::NotAllowed, "A FIDO2 PIN is already set. Change it instead.");
    }
    if (auto violation = policyViolation(pin)) {
        return violation;
    }
    m_digest = digest(pin);
    m_retries = MaxRetries;
    return std::nullopt;
}

std::optional<Reply> FidoPin::change(const std::string& oldPin, const std::string& newPin)
{
    if (auto failure = verify(oldPin)) {
        return failure;
    }
    if (auto violation = policyViolation(newPin)) {
        return violation;
    }
    m_digest = digest(newPin);
    return std::nullopt;
}

std::optional<Reply> FidoPin::verify(const std::string& pin)
{
    if (!isSet()) {
        return notSetReply();
    }
    if (blocked()) {
        return blockedReply();
    }
    if (digest(pin) == m_digest) {
        m_retries = MaxRetries;
        return std::nullopt;
    }
    if (--m_retries == 0) {
        return blockedReply();
    }
    return Reply(FidoStatus::PinInvalid, "Wrong FIDO2 PIN. " + std::to_string(m_retries) +
                                             (m_retries == 1 ? " attempt" : " attempts") +
                                             " left before the PIN is blocked.");
}

void FidoPin::clear()
{
    m_digest.clear();
    m_retries = MaxRetries;
}

void FidoPin::save(StateMap& state) const
{
    state.set("fido.pin", m_digest);
    state.setInt("fido.pin_retries", m_retries);
}

void FidoPin::load(const StateMap& state)
{
    const std::string saved = state.get("fido.pin");
    const bool wellFormed = saved.size() == 32 && Hex::decode(saved);
    m_digest = wellFormed ? saved : std::string();
    const long long retries = state.getInt("fido.pin_retries", MaxRetries);
    m_retries = retries < 0 || retries > MaxRetries ? MaxRetries : static_cast<int>(retries);
}

std::optional<Reply> FidoPin::policyViolation(const std::string& pin)
{
    // The key pads the PIN with zero bytes, so a zero byte inside would cut it short.
    if (pin.find('\0') != std::string::npos) {
        return Reply(FidoStatus::PinPolicyViolation, "The PIN must not contain a zero byte.");
    }
    const auto length = codePoints(pin);
    if (!length) {
        return Reply(FidoStatus::PinPolicyViolation, "The PIN is not valid UTF-8 text.");
    }
    if (*length < MinCodePoints) {
        return Reply(FidoStatus::PinPolicyViolation,
                     "The PIN is too short: at least " + std::to_string(MinCodePoints) + " characters.");
    }
    if (pin.size() > MaxBytes) {
        return Reply(FidoStatus::PinPolicyViolation,
                     "The PIN is too long: at most " + std::to_string(MaxBytes) + " bytes.");
    }
    return std::nullopt;
}

std::string FidoPin::digest(const std::string& pin)
{
    // As the key stores it: the first 16 bytes of SHA-256 of the PIN.
    unsigned char hash[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(pin.data(), pin.size(), hash, &size, EVP_sha256(), nullptr);
    return Hex::encode(hash, 16);
}
