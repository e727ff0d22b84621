#pragma once

#include "reply.h"
#include "statemap.h"

#include <optional>
#include <string>

// One PIV secret (the PIN, the PUK or the management key) with its retry counter. Three
// wrong tries in a row block it, a right one restores the counter; only a reset unblocks.
class PivSecret
{
public:
    static constexpr int MaxRetries = 3;

    // name: "PIN", "PUK" or "management key", used in the reply texts. A hexadecimal secret
    // compares without regard to letter case.
    PivSecret(std::string name, std::string factoryValue, bool hexadecimal);

    // Nothing when given is right; otherwise the refusal, after counting the wrong try.
    // triesInStatus: answer 0x63CX (X tries left, 0x63C0 blocked), as the change commands
    // of this secret do; otherwise 0x6982 with the same text.
    std::optional<Reply> verify(const std::string& given, bool triesInStatus);

    void change(const std::string& value);
    void factoryReset();

    const std::string& name() const { return m_name; }
    int retriesLeft() const { return m_retries; }
    bool blocked() const { return m_retries == 0; }

    void save(StateMap& state, const std::string& prefix) const;
    void load(const StateMap& state, const std::string& prefix);

private:
    std::string normalised(const std::string& value) const;
    Reply refusal(bool triesInStatus) const;

    std::string m_name;
    std::string m_factoryValue;
    bool m_hexadecimal;
    std::string m_value;
    int m_retries = MaxRetries;
};
