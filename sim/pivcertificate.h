#pragma once

#include "pivssl.h"

#include <optional>
#include <string>

class PivKey;
class PivName;

// An X.509 certificate held in a PIV slot.
class PivCertificate
{
public:
    // Valid from now for one year, signed with SHA-256 by the key itself.
    static std::optional<PivCertificate> selfSigned(const PivKey& key, const PivName& subject);
    static std::optional<PivCertificate> fromPem(const std::string& pem);
    // A PEM or DER certificate, or the certificate of a PKCS#12 file opened with the password.
    static std::optional<PivCertificate> fromFile(const std::string& content, const std::string& password,
                                                  std::string* error);
    explicit PivCertificate(X509Ptr certificate) : m_certificate(std::move(certificate)) {}

    std::string pem() const;
    std::string issuer() const;
    std::string subject() const;
    // "2025-06-01 to 2026-06-01" (UTC dates).
    std::string validity() const;

private:
    X509Ptr m_certificate;
};
