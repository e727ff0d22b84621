#pragma once

#include "hex.h"
#include "statemap.h"

#include <cstdint>
#include <optional>
#include <string>

// One OTP slot of the key: how it was configured and what a touch makes it produce.
struct OtpSlot
{
    enum class Mode { Empty, Hotp, StaticPassword, ChallengeResponse };

    // "HOTP", "STATIC_PASSWORD", "CHALLENGE_RESPONSE", the words of "otp put -t".
    static std::optional<Mode> modeFromName(const std::string& name);
    static std::string modeName(Mode mode);

    Mode mode = Mode::Empty;
    std::string name; // the serial number field as hex text, upper case
    Hex::Bytes secret;
    int digits = 6;
    uint64_t counter = 0;

    bool configured() const { return mode != Mode::Empty; }

    // What one touch types: the next HOTP code (the counter moves on) or the static password.
    // Empty for an empty slot and for challenge-response, which types nothing.
    std::string typeOut();
    // The HMAC-SHA1 response to a challenge.
    Hex::Bytes respond(const Hex::Bytes& challenge) const;

    void save(StateMap& state, const std::string& prefix) const;
    // An entry that cannot be read leaves the slot empty.
    static OtpSlot load(const StateMap& state, const std::string& prefix);
};
