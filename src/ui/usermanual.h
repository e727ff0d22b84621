#pragma once

// The maker's online user manual, opened by the About page.
inline constexpr char kUserManualUrl[] = "https://www.velmora.com/support/security-key-manager/user-manual";
