#include "pivkey.h"

#include "pivbundle.h"

#include <openssl/core_names.h>
#include <openssl/pem.h>

#include <cstring>

namespace {

// Hands the password to the PEM reader; never lets it fall back to asking on a terminal.
int passwordCallback(char* buffer, int size, int, void* userData)
{
    const auto* password = static_cast<const std::string*>(userData);
    if (password->size() > static_cast<size_t>(size)) {
        return -1;
    }
    std::memcpy(buffer, password->data(), password->size());
    return static_cast<int>(password->size());
}

bool isPem(const std::string& content)
{
    return content.find("-----BEGIN ") != std::string::npos;
}

} // namespace

bool PivKey::knownAlgorithm(const std::string& algorithm)
{
    return algorithm == "RSA1024" || algorithm == "RSA2048" || algorithm == "ECCP256" || algorithm == "ECCP384";
}

std::optional<PivKey> PivKey::generate(const std::string& algorithm)
{
    EVP_PKEY* key = nullptr;
    if (algorithm == "RSA1024" || algorithm == "RSA2048") {
        key = EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", static_cast<size_t>(algorithm == "RSA1024" ? 1024 : 2048));
    } else if (algorithm == "ECCP256" || algorithm == "ECCP384") {
        key = EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", algorithm == "ECCP256" ? "P-256" : "P-384");
    }
    if (!key) {
        return std::nullopt;
    }
    return PivKey(PkeyPtr(key));
}

std::optional<PivKey> PivKey::fromPrivatePem(const std::string& pem)
{
    const BioPtr bio = readBio(pem);
    const std::string noPassword;
    PkeyPtr key(PEM_read_bio_PrivateKey(bio.get(), nullptr, passwordCallback, const_cast<std::string*>(&noPassword)));
    if (!key) {
        return std::nullopt;
    }
    return PivKey(std::move(key));
}

std::optional<PivKey> PivKey::fromPublicPem(const std::string& pem)
{
    const BioPtr bio = readBio(pem);
    PkeyPtr key(PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr));
    if (!key) {
        return std::nullopt;
    }
    return PivKey(std::move(key));
}

std::optional<PivKey> PivKey::fromFile(const std::string& content, const std::string& password, std::string* error)
{
    std::optional<PivKey> key;
    if (isPem(content)) {
        const BioPtr bio = readBio(content);
        PkeyPtr read(
            PEM_read_bio_PrivateKey(bio.get(), nullptr, passwordCallback, const_cast<std::string*>(&password)));
        if (!read) {
            *error = "The file holds no private key, or its password is wrong.";
            return std::nullopt;
        }
        key = PivKey(std::move(read));
    } else {
        auto bundle = PivBundle::parse(content, password, error);
        if (!bundle) {
            return std::nullopt;
        }
        if (!bundle->key) {
            *error = "The PKCS#12 file holds no private key.";
            return std::nullopt;
        }
        key = PivKey(std::move(bundle->key));
    }
    if (key->algorithm().empty()) {
        *error = "The key is not one a PIV slot can hold (RSA 1024 or 2048, ECC P-256 or P-384).";
        return std::nullopt;
    }
    return key;
}

std::string PivKey::algorithm() const
{
    const int bits = EVP_PKEY_get_bits(m_key.get());
    if (EVP_PKEY_is_a(m_key.get(), "RSA")) {
        return bits == 1024 ? "RSA1024" : bits == 2048 ? "RSA2048" : "";
    }
    if (EVP_PKEY_is_a(m_key.get(), "EC")) {
        char group[64] = {};
        size_t length = 0;
        if (!EVP_PKEY_get_utf8_string_param(m_key.get(), OSSL_PKEY_PARAM_GROUP_NAME, group, sizeof group, &length)) {
            return {};
        }
        const std::string name = group;
        return name == "prime256v1" ? "ECCP256" : name == "secp384r1" ? "ECCP384" : "";
    }
    return {};
}

std::string PivKey::privatePem() const
{
    const BioPtr bio = writeBio();
    if (!PEM_write_bio_PrivateKey(bio.get(), m_key.get(), nullptr, nullptr, 0, nullptr, nullptr)) {
        return {};
    }
    return bioText(bio.get());
}

std::string PivKey::publicPem() const
{
    const BioPtr bio = writeBio();
    if (!PEM_write_bio_PUBKEY(bio.get(), m_key.get())) {
        return {};
    }
    return bioText(bio.get());
}

bool PivKey::samePublicKey(const PivKey& other) const
{
    return EVP_PKEY_eq(m_key.get(), other.m_key.get()) == 1;
}
