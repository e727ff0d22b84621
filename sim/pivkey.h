#pragma once

#include "pivssl.h"

#include <optional>
#include <string>

// A key pair held in a PIV slot, or a public key alone. Only the algorithms a PIV slot takes
// are accepted: RSA 1024 and 2048, ECC P-256 and P-384.
class PivKey
{
public:
    // Algorithm names as on the command line: "RSA1024", "RSA2048", "ECCP256", "ECCP384".
    static bool knownAlgorithm(const std::string& algorithm);
    static std::optional<PivKey> generate(const std::string& algorithm);

    static std::optional<PivKey> fromPrivatePem(const std::string& pem);
    static std::optional<PivKey> fromPublicPem(const std::string& pem);
    // A PEM private key file (encrypted ones with the password), or a PKCS#12 file.
    static std::optional<PivKey> fromFile(const std::string& content, const std::string& password, std::string* error);
    explicit PivKey(PkeyPtr key) : m_key(std::move(key)) {}

    EVP_PKEY* get() const { return m_key.get(); }
    // "RSA2048", "ECCP256", ...; empty for a key no slot can hold.
    std::string algorithm() const;
    std::string privatePem() const;
    std::string publicPem() const;
    bool samePublicKey(const PivKey& other) const;

private:
    PkeyPtr m_key;
};
