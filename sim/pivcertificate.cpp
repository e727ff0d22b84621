#include "pivcertificate.h"

#include "pivbundle.h"
#include "pivkey.h"
#include "pivname.h"

#include <openssl/bn.h>
#include <openssl/pem.h>
#include <openssl/rand.h>

#include <cstdio>
#include <ctime>

namespace {

constexpr int ValidityDays = 365;

// A random positive serial number of 16 bytes, as RFC 5280 recommends.
bool setRandomSerial(X509* certificate)
{
    unsigned char bytes[16];
    if (RAND_bytes(bytes, sizeof bytes) != 1) {
        return false;
    }
    bytes[0] = static_cast<unsigned char>((bytes[0] & 0x7F) | 0x01);
    BIGNUM* number = BN_bin2bn(bytes, sizeof bytes, nullptr);
    const bool done = number && BN_to_ASN1_INTEGER(number, X509_get_serialNumber(certificate));
    BN_free(number);
    return done;
}

std::string dateText(const ASN1_TIME* time)
{
    struct tm parts = {};
    if (!ASN1_TIME_to_tm(time, &parts)) {
        return "?";
    }
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday);
    return text;
}

} // namespace

std::optional<PivCertificate> PivCertificate::selfSigned(const PivKey& key, const PivName& subject)
{
    X509Ptr certificate(X509_new());
    const bool built =
        certificate && X509_set_version(certificate.get(), X509_VERSION_3) && setRandomSerial(certificate.get()) &&
        X509_gmtime_adj(X509_getm_notBefore(certificate.get()), 0) &&
        X509_time_adj_ex(X509_getm_notAfter(certificate.get()), ValidityDays, 0, nullptr) &&
        X509_set_subject_name(certificate.get(), subject.get()) &&
        X509_set_issuer_name(certificate.get(), subject.get()) && X509_set_pubkey(certificate.get(), key.get()) &&
        X509_sign(certificate.get(), key.get(), EVP_sha256()) > 0;
    if (!built) {
        return std::nullopt;
    }
    return PivCertificate(std::move(certificate));
}

std::optional<PivCertificate> PivCertificate::fromPem(const std::string& pem)
{
    const BioPtr bio = readBio(pem);
    X509Ptr certificate(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
    if (!certificate) {
        return std::nullopt;
    }
    return PivCertificate(std::move(certificate));
}

std::optional<PivCertificate> PivCertificate::fromFile(const std::string& content, const std::string& password,
                                                       std::string* error)
{
    if (content.find("-----BEGIN CERTIFICATE-----") != std::string::npos) {
        auto certificate = fromPem(content);
        if (!certificate) {
            *error = "The PEM certificate in the file is damaged.";
        }
        return certificate;
    }
    const auto* der = reinterpret_cast<const unsigned char*>(content.data());
    X509Ptr certificate(d2i_X509(nullptr, &der, static_cast<long>(content.size())));
    if (certificate) {
        return PivCertificate(std::move(certificate));
    }
    auto bundle = PivBundle::parse(content, password, error);
    if (!bundle) {
        return std::nullopt;
    }
    if (!bundle->certificate) {
        *error = "The PKCS#12 file holds no certificate.";
        return std::nullopt;
    }
    return PivCertificate(std::move(bundle->certificate));
}

std::string PivCertificate::pem() const
{
    const BioPtr bio = writeBio();
    if (!PEM_write_bio_X509(bio.get(), m_certificate.get())) {
        return {};
    }
    return bioText(bio.get());
}

std::string PivCertificate::issuer() const
{
    return PivName::text(X509_get_issuer_name(m_certificate.get()));
}

std::string PivCertificate::subject() const
{
    return PivName::text(X509_get_subject_name(m_certificate.get()));
}

std::string PivCertificate::validity() const
{
    return dateText(X509_get0_notBefore(m_certificate.get())) + " to " +
           dateText(X509_get0_notAfter(m_certificate.get()));
}
