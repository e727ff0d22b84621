#pragma once

// The pages of "contentPage" that the PIV feature shows.
namespace PivPage {
constexpr int Main = 6;
constexpr int Certificate = 7;
// Being on this page is what makes the generation chain run the macOS pairing set-up.
constexpr int Pairing = 8;
constexpr int Policy = 9;
} // namespace PivPage

namespace PivPairing {
// The subject of both certificates the macOS set-up generates.
constexpr char kSubject[] = "PIV Authentication";
} // namespace PivPairing
