#pragma once

#include <cstdint>

// Status codes of the FIDO2 application. The backend passes the authenticator's CTAP2 codes
// through in "SW"; 0xF0 is its own code for an empty credential store.
namespace FidoStatus {
constexpr uint32_t InvalidCommand = 0x01;    // no fingerprint sensor on this model
constexpr uint32_t FpDatabaseFull = 0x17;    // every template slot is taken
constexpr uint32_t InvalidOption = 0x2C;     // unknown template
constexpr uint32_t NoCredentials = 0x2E;     // nothing enrolled to verify against
constexpr uint32_t UserActionTimeout = 0x2F; // no touch or finger in time
constexpr uint32_t NotAllowed = 0x30;        // reset too long after power-up, PIN already set, ...
constexpr uint32_t PinInvalid = 0x31;
constexpr uint32_t PinBlocked = 0x32;
constexpr uint32_t PinNotSet = 0x35;
constexpr uint32_t PinPolicyViolation = 0x37;
constexpr uint32_t UvInvalid = 0x3F; // the finger matches no template
constexpr uint32_t NoResidentCredentials = 0xF0;
} // namespace FidoStatus
