#pragma once

#include "pivssl.h"

#include <optional>
#include <string>

// A certificate subject as typed: "CN=x,O=y", "/CN=x/O=y", or a bare name taken as the common
// name. A backslash keeps the next character as part of the value.
class PivName
{
public:
    static std::optional<PivName> parse(const std::string& text, std::string* error);

    X509_NAME* get() const { return m_name.get(); }

    // "CN=x,O=y", in the order of the certificate.
    static std::string text(const X509_NAME* name);

private:
    explicit PivName(X509NamePtr name) : m_name(std::move(name)) {}

    X509NamePtr m_name;
};
