#pragma once

#include <cstdint>

// What the window and the backend (and kvman-sim) agree on, in one place for both and for the
// tests. Status words as the window reads them from "SW": ISO 7816 words and the backend's
// presence events. FIDO2 commands pass CTAP2 codes instead (sim/fidostatus.h).
namespace Status {
constexpr uint32_t Success = 0x9000;
// A wrong PIV secret, with the tries left in the last digit; 0x63C0 once it is blocked.
constexpr uint32_t WrongSecret = 0x63C0;
// "Security status not satisfied": a wrong or blocked PIV PIN on a command that does not
// change the PIN, so the GUI never reads it as a wrong management key.
constexpr uint32_t SecurityNotSatisfied = 0x6982;
// "Authentication method blocked": PIV's answer when no touch or finger came in time.
constexpr uint32_t PivTouchTimeout = 0x6983;
// "Reference data not usable": OTP's answer when no touch came in time.
constexpr uint32_t OtpTouchTimeout = 0x6984;
// "Conditions of use not satisfied": every FIDO2 command while FIDO2 is switched off.
constexpr uint32_t ConditionsNotSatisfied = 0x6985;
constexpr uint32_t WrongData = 0x6A80;
constexpr uint32_t NotSupported = 0x6A81;
// An application the key lacks or has switched off, or a PIV slot without key or certificate.
constexpr uint32_t NotFound = 0x6A82;
constexpr uint32_t WrongParameters = 0x6A86;
constexpr uint32_t UnknownCommand = 0x6D00;
constexpr uint32_t ClassNotSupported = 0x6E00;
// "No precise diagnosis": no single key present, the key removed while an operation waited,
// or a file or libcrypto failure.
constexpr uint32_t Failed = 0x6F00;
// Presence events of "monitor start".
constexpr uint32_t NoKey = 0x80900001;
constexpr uint32_t OneKey = 0x80900002;
constexpr uint32_t SeveralKeys = 0x80900003;
} // namespace Status

// Application bits, as in "device set_application -s" and the GUI's application mask.
enum AppBit : unsigned {
    AppFido2 = 0x01,
    AppU2f = 0x02,
    AppPiv = 0x04,
    AppOpenPgp = 0x08,
    AppNdef = 0x10,
    AppOtp = 0x20,
    AllApps = 0x3F,
};

// Transport bits, as in "device set_transport -s".
enum TransportBit : unsigned {
    TransportOtp = 0x10,
    TransportFido = 0x20,
    TransportCcid = 0x40,
    AllTransports = 0x70,
};
