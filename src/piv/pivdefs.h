#pragma once

namespace PivPairing {
// The subject of both certificates the macOS set-up generates.
constexpr char kSubject[] = "PIV Authentication";
} // namespace PivPairing
