#pragma once

#include <cstdint>

// Status words the simulated key answers with, as the GUI reads them from "SW".
namespace Status {
constexpr uint32_t Success = 0x9000;
constexpr uint32_t NoKey = 0x80900001;
constexpr uint32_t OneKey = 0x80900002;
constexpr uint32_t SeveralKeys = 0x80900003;
constexpr uint32_t WrongData = 0x6A80;
constexpr uint32_t NotInstalled = 0x6A82;
constexpr uint32_t UnknownCommand = 0x6D00;
constexpr uint32_t KeyUnreachable = 0x6F00;
} // namespace Status
