#include "pivsecret.h"

#include "hex.h"
#include "protocol.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <cctype>

namespace {

std::string capitalised(std::string text)
{
    if (!text.empty()) {
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    }
    return text;
}

} // namespace

PivSecret::PivSecret(std::string name, std::string factoryValue, bool hexadecimal)
    : m_name(std::move(name)), m_factoryValue(std::move(factoryValue)), m_hexadecimal(hexadecimal)
{
    factoryReset();
}

std::optional<Reply> PivSecret::verify(const std::string& given, bool triesInStatus)
{
    if (blocked()) {
        return refusal(triesInStatus);
    }
    const std::string candidate = normalised(given);
    const bool right =
        candidate.size() == m_value.size() && CRYPTO_memcmp(candidate.data(), m_value.data(), m_value.size()) == 0;
    if (right) {
        m_retries = MaxRetries;
        return std::nullopt;
    }
    --m_retries;
    return refusal(triesInStatus);
}

Reply PivSecret::refusal(bool triesInStatus) const
{
    const uint32_t status =
        triesInStatus ? Status::WrongSecret | static_cast<uint32_t>(m_retries) : Status::SecurityNotSatisfied;
    if (blocked()) {
        return Reply(status, capitalised(m_name) + " is blocked. Reset PIV to use it again.");
    }
    return Reply(status, "Wrong " + m_name + ", " + std::to_string(m_retries) + " tries left.");
}

void PivSecret::change(const std::string& value)
{
    m_value = normalised(value);
    m_retries = MaxRetries;
}

void PivSecret::factoryReset()
{
    change(m_factoryValue);
}

std::string PivSecret::normalised(const std::string& value) const
{
    return m_hexadecimal ? Hex::upperCase(value) : value;
}

void PivSecret::save(StateMap& state, const std::string& prefix) const
{
    state.set(prefix, m_value);
    state.setInt(prefix + ".retries", m_retries);
}

void PivSecret::load(const StateMap& state, const std::string& prefix)
{
    if (state.has(prefix)) {
        m_value = normalised(state.get(prefix));
    }
    m_retries = static_cast<int>(std::clamp<long long>(state.getInt(prefix + ".retries", MaxRetries), 0, MaxRetries));
}
