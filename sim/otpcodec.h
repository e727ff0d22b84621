#pragma once

#include "hex.h"

#include <cstdint>
#include <string>

// The OATH computations behind the OTP slots: HMAC-SHA1 (RFC 2104) and the HOTP code derived
// from it (RFC 4226).
namespace OtpCodec {

Hex::Bytes hmacSha1(const Hex::Bytes& key, const Hex::Bytes& data);
// The decimal code for one counter value, 6 or 8 digits with leading zeros.
std::string hotp(const Hex::Bytes& key, uint64_t counter, int digits);

} // namespace OtpCodec
