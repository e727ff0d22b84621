#include "pivbundle.h"

#include <openssl/provider.h>

namespace {

Pkcs12Ptr decode(const std::string& content)
{
    const BioPtr bio = readBio(content);
    return Pkcs12Ptr(d2i_PKCS12_bio(bio.get(), nullptr));
}

bool unpack(PKCS12* p12, const std::string& password, PivBundle* bundle)
{
    EVP_PKEY* key = nullptr;
    X509* certificate = nullptr;
    // An empty password lets the parser try both the empty and the absent password.
    if (!PKCS12_parse(p12, password.empty() ? nullptr : password.c_str(), &key, &certificate, nullptr)) {
        return false;
    }
    bundle->key.reset(key);
    bundle->certificate.reset(certificate);
    return true;
}

// Files exported by older systems use RC2 or RC4, which only the legacy provider offers.
bool unpackLegacy(PKCS12* p12, const std::string& password, PivBundle* bundle)
{
    OSSL_PROVIDER* legacy = OSSL_PROVIDER_try_load(nullptr, "legacy", 1);
    if (!legacy) {
        return false;
    }
    const bool unpacked = unpack(p12, password, bundle);
    OSSL_PROVIDER_unload(legacy);
    return unpacked;
}

} // namespace

std::optional<PivBundle> PivBundle::parse(const std::string& content, const std::string& password, std::string* error)
{
    const Pkcs12Ptr p12 = decode(content);
    if (!p12) {
        *error = "The file is neither a certificate nor a PKCS#12 file.";
        return std::nullopt;
    }
    const bool passwordFits = !PKCS12_mac_present(p12.get()) ||
                              PKCS12_verify_mac(p12.get(), password.c_str(), static_cast<int>(password.size())) ||
                              (password.empty() && PKCS12_verify_mac(p12.get(), nullptr, 0));
    if (!passwordFits) {
        *error = "Wrong password for the PKCS#12 file.";
        return std::nullopt;
    }
    PivBundle bundle;
    if (!unpack(p12.get(), password, &bundle) && !unpackLegacy(p12.get(), password, &bundle)) {
        *error = "The PKCS#12 file cannot be decrypted.";
        return std::nullopt;
    }
    return bundle;
}
