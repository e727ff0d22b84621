#pragma once

// The pages of the window's "contentPage", by index.
namespace Page {
enum : int {
    Home = 0,
    NoKey = 1,
    Transports = 2,
    FidoWithSensor = 3,
    Fido = 4,
    Fingerprints = 5,
    Piv = 6,
    PivCertificate = 7,
    // Being on this page is what makes the generation chain run the macOS pairing set-up.
    PivPairing = 8,
    PivPolicy = 9,
    Otp = 10,
    OtpConfiguration = 11,
    Applications = 12,
    About = 13,
};
} // namespace Page
