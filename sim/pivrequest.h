#pragma once

#include <optional>
#include <string>

class PivKey;
class PivName;

// A PKCS#10 certificate signing request for a slot's key, signed with SHA-256 by that key.
class PivRequest
{
public:
    // The request as PEM, or nothing when it cannot be signed.
    static std::optional<std::string> pem(const PivKey& key, const PivName& subject);
};
