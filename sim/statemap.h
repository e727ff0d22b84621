#pragma once

#include <map>
#include <optional>
#include <string>

// The key's persistent memory as flat "section.name" = text entries. Each feature writes its
// own section ("device.", "fido.", ...), so features add state without touching the others.
class StateMap
{
public:
    void set(const std::string& key, const std::string& value);
    void setInt(const std::string& key, long long value);
    void setBool(const std::string& key, bool value);

    bool has(const std::string& key) const;
    std::string get(const std::string& key, const std::string& fallback = {}) const;
    long long getInt(const std::string& key, long long fallback) const;
    bool getBool(const std::string& key, bool fallback) const;

    // Text form: a header line, then one "key=value" line per entry, with backslash, line
    // feed and carriage return in values escaped.
    std::string serialise() const;
    static std::optional<StateMap> parse(const std::string& text);

private:
    std::map<std::string, std::string> m_entries;
};
