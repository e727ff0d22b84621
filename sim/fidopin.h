#pragma once

#include "reply.h"
#include "statemap.h"

#include <optional>
#include <string>

// The FIDO2 PIN: only a digest of it is kept, as on the key, with the retry counter that
// counts wrong PINs down to a block. PINs are UTF-8 bytes; the checks return the failure
// reply, or nothing when the operation went through.
class FidoPin
{
public:
    static constexpr int MaxRetries = 8;
    static constexpr size_t MinCodePoints = 4;
    static constexpr size_t MaxBytes = 63;

    bool isSet() const { return !m_digest.empty(); }
    bool blocked() const { return isSet() && m_retries == 0; }
    int retries() const { return m_retries; }

    std::optional<Reply> set(const std::string& pin);
    std::optional<Reply> change(const std::string& oldPin, const std::string& newPin);
    // Checks the PIN for an operation that needs it: a wrong one costs a retry, a right one
    // gives all retries back.
    std::optional<Reply> verify(const std::string& pin);
    void clear();

    void save(StateMap& state) const;
    void load(const StateMap& state);

private:
    static std::optional<Reply> policyViolation(const std::string& pin);
    static std::string digest(const std::string& pin);

    std::string m_digest;
    int m_retries = MaxRetries;
};
