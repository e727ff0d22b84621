#include "fidocredentials.h"

#include "hex.h"

#include <algorithm>
#include <openssl/evp.h>

namespace {

const char* const PublicKey = "public-key";

std::string credentialId(const std::string& rpId, const std::string& userName, const std::string& serial)
{
    const std::string seed = serial + "/" + rpId + "/" + userName;
    unsigned char hash[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(seed.data(), seed.size(), hash, &size, EVP_sha256(), nullptr);
    return Hex::encode(hash, size);
}

std::string entry(size_t index, const char* field)
{
    return "fido.credential." + std::to_string(index) + "." + field;
}

} // namespace

void FidoCredentials::seed(const std::string& serial)
{
    const std::pair<const char*, const char*> samples[] = {
        {"github.com", "m.keller"},
        {"github.com", "mkeller-work"},
        {"google.com", "maria.keller@gmail.com"},
        {"login.microsoft.com", "m.keller@contoso.com"},
        {"webauthn.io", "mkeller-test"},
    };
    for (const auto& [rpId, userName] : samples) {
        const std::string id = credentialId(rpId, userName, serial);
        if (!contains(id)) {
            m_credentials.push_back({rpId, userName, id, PublicKey});
        }
    }
}

bool FidoCredentials::remove(const std::string& id)
{
    const std::string wanted = Hex::lowerCase(id);
    const auto it = std::find_if(m_credentials.begin(), m_credentials.end(),
                                 [&wanted](const ResidentCredential& credential) { return credential.id == wanted; });
    if (it == m_credentials.end()) {
        return false;
    }
    m_credentials.erase(it);
    return true;
}

void FidoCredentials::save(StateMap& state) const
{
    state.setInt("fido.credentials", static_cast<long long>(m_credentials.size()));
    for (size_t i = 0; i < m_credentials.size(); ++i) {
        const ResidentCredential& credential = m_credentials[i];
        state.set(entry(i, "rp"), credential.rpId);
        state.set(entry(i, "user"), credential.userName);
        state.set(entry(i, "id"), credential.id);
        state.set(entry(i, "type"), credential.type);
    }
}

void FidoCredentials::load(const StateMap& state)
{
    m_credentials.clear();
    const long long count = state.getInt("fido.credentials", 0);
    for (long long i = 0; i < count && state.has(entry(i, "id")); ++i) {
        const std::string id = Hex::lowerCase(state.get(entry(i, "id")));
        // Identifiers travel as one word on command lines.
        if (id.empty() || id.find_first_not_of("0123456789abcdef") != std::string::npos || contains(id)) {
            continue;
        }
        m_credentials.push_back(
            {state.get(entry(i, "rp")), state.get(entry(i, "user")), id, state.get(entry(i, "type"), PublicKey)});
    }
}

bool FidoCredentials::contains(const std::string& id) const
{
    return std::any_of(m_credentials.begin(), m_credentials.end(),
                       [&id](const ResidentCredential& credential) { return credential.id == id; });
}
