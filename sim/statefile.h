#pragma once

#include "statemap.h"

#include <optional>
#include <string>

// The optional file that keeps a simulated key across restarts. Saving writes a temporary
// file next to it and renames it over the old one, so a crash never leaves half a key.
class StateFile
{
public:
    explicit StateFile(std::string path);

    // Empty when the file is missing, unreadable or not a state file.
    std::optional<StateMap> load() const;
    // Writes only when the content changed since the last save.
    bool save(const StateMap& state);

private:
    std::string m_path;
    std::string m_lastText;
};
