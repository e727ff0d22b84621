#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Hexadecimal text as the command lines and the state file carry bytes: OTP secrets and
// names, FIDO2 PINs, digests, credential identifiers and the PIV management key.
namespace Hex {

using Bytes = std::vector<uint8_t>;

// Empty for an odd length or a character that is not a hex digit (either case).
std::optional<Bytes> decode(const std::string& text);
// Two lower-case digits a byte.
std::string encode(const uint8_t* data, size_t size);
std::string encode(const Bytes& bytes);
// Hex text compares without regard to letter case; these bring it to one case.
std::string upperCase(std::string text);
std::string lowerCase(std::string text);

} // namespace Hex
