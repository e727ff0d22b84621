#pragma once

#include <cstdint>

// Status words of the PIV commands besides the shared ones in status.h. Wrong secrets answer
// 0x63CX or 0x6982 (see PivSecret).
namespace PivStatus {
// ISO 7816 "authentication method blocked"; the GUI reads it as a touch that never came.
constexpr uint32_t TouchTimeout = 0x6983;
constexpr uint32_t NotSupported = 0x6A81;
// The slot holds no key or certificate, or the key has no PIV application.
constexpr uint32_t NotFound = 0x6A82;
// No precise diagnosis: a file could not be read or written, or libcrypto failed.
constexpr uint32_t Failed = 0x6F00;
} // namespace PivStatus
