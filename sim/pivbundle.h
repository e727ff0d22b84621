#pragma once

#include "pivssl.h"

#include <optional>
#include <string>

// The contents of a PKCS#12 (.pfx, .p12) file: a private key and its certificate.
class PivBundle
{
public:
    // Empty with *error set when the file is not PKCS#12 or the password is wrong.
    static std::optional<PivBundle> parse(const std::string& content, const std::string& password, std::string* error);

    PkeyPtr key;
    X509Ptr certificate;
};
