#include "otpslot.h"

#include "otpcodec.h"

namespace {

const std::pair<OtpSlot::Mode, const char*> ModeNames[] = {
    {OtpSlot::Mode::Hotp, "HOTP"},
    {OtpSlot::Mode::StaticPassword, "STATIC_PASSWORD"},
    {OtpSlot::Mode::ChallengeResponse, "CHALLENGE_RESPONSE"},
};

} // namespace

std::optional<OtpSlot::Mode> OtpSlot::modeFromName(const std::string& name)
{
    for (const auto& [mode, text] : ModeNames) {
        if (name == text) {
            return mode;
        }
    }
    return std::nullopt;
}

std::string OtpSlot::modeName(Mode mode)
{
    for (const auto& [known, text] : ModeNames) {
        if (known == mode) {
            return text;
        }
    }
    return "EMPTY";
}

std::string OtpSlot::typeOut()
{
    switch (mode) {
    case Mode::Hotp:
        return OtpCodec::hotp(secret, counter++, digits);
    case Mode::StaticPassword:
        return std::string(secret.begin(), secret.end());
    case Mode::Empty:
    case Mode::ChallengeResponse:
        break;
    }
    return {};
}

Hex::Bytes OtpSlot::respond(const Hex::Bytes& challenge) const
{
    return OtpCodec::hmacSha1(secret, challenge);
}

void OtpSlot::save(StateMap& state, const std::string& prefix) const
{
    state.set(prefix + "mode", modeName(mode));
    if (!configured()) {
        return;
    }
    state.set(prefix + "name", name);
    state.set(prefix + "secret", Hex::encode(secret));
    state.setInt(prefix + "digits", digits);
    state.set(prefix + "counter", std::to_string(counter));
}

OtpSlot OtpSlot::load(const StateMap& state, const std::string& prefix)
{
    OtpSlot slot;
    const auto mode = modeFromName(state.get(prefix + "mode"));
    const auto secret = Hex::decode(state.get(prefix + "secret"));
    const long long digits = state.getInt(prefix + "digits", 6);
    const long long counter = state.getInt(prefix + "counter", 0);
    if (!mode || !secret || secret->empty() || (digits != 6 && digits != 8) || counter < 0) {
        return slot;
    }
    slot.mode = *mode;
    slot.name = Hex::upperCase(state.get(prefix + "name"));
    slot.secret = *secret;
    slot.digits = static_cast<int>(digits);
    slot.counter = static_cast<uint64_t>(counter);
    return slot;
}
