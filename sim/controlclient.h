#pragma once

#include <optional>
#include <string>

// The person's end of the control channel: `kvman-sim --control <socket> <words...>`.
class ControlClient
{
public:
    // Sends one control line and returns the reply line; empty with *error set on failure.
    static std::optional<std::string> request(const std::string& path, const std::string& line, std::string* error);
};
