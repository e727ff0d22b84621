#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Hex text and the OATH computations behind the OTP slots: HMAC-SHA1 (RFC 2104) and the
// HOTP code derived from it (RFC 4226).
namespace OtpCodec {

using Bytes = std::vector<uint8_t>;

// Empty for an odd length or a character that is not a hex digit (either case).
std::optional<Bytes> fromHex(const std::string& text);
std::string toHex(const Bytes& bytes);
std::string upperCase(std::string text);

Bytes hmacSha1(const Bytes& key, const Bytes& data);
// The decimal code for one counter value, 6 or 8 digits with leading zeros.
std::string hotp(const Bytes& key, uint64_t counter, int digits);

} // namespace OtpCodec
