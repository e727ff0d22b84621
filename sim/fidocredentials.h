#pragma once

#include "statemap.h"

#include <string>
#include <vector>

// One discoverable credential as the key lists it.
struct ResidentCredential
{
    std::string rpId;
    std::string userName;
    std::string id; // lower-case hexadecimal
    std::string type;
};

// The resident credentials of the FIDO2 application, in the order they were made.
class FidoCredentials
{
public:
    const std::vector<ResidentCredential>& all() const { return m_credentials; }
    bool empty() const { return m_credentials.empty(); }

    // Adds the sample credentials a used key carries (sites the owner signed up at), each
    // once; their identifiers depend on the key's serial, as real ones depend on the key.
    void seed(const std::string& serial);
    // False when no credential has this identifier.
    bool remove(const std::string& id);
    void clear() { m_credentials.clear(); }

    void save(StateMap& state) const;
    void load(const StateMap& state);

private:
    bool contains(const std::string& id) const;

    std::vector<ResidentCredential> m_credentials;
};
