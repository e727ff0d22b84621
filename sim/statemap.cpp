#include "statemap.h"

#include <cassert>
#include <cstdlib>
#include <sstream>

namespace {

const char* const Header = "kvman-sim state 1";

std::string escape(const std::string& value)
{
    std::string out;
    for (char c : value) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> unescape(const std::string& value)
{
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            out += value[i];
            continue;
        }
        if (++i == value.size()) {
            return std::nullopt;
        }
        const char c = value[i];
        if (c != '\\' && c != 'n' && c != 'r') {
            return std::nullopt;
        }
        out += c == 'n' ? '\n' : c == 'r' ? '\r' : '\\';
    }
    return out;
}

[[maybe_unused]] bool validKey(const std::string& key)
{
    return !key.empty() && key.find_first_of("=\n\r") == std::string::npos;
}

} // namespace

void StateMap::set(const std::string& key, const std::string& value)
{
    assert(validKey(key));
    m_entries[key] = value;
}

void StateMap::setInt(const std::string& key, long long value)
{
    set(key, std::to_string(value));
}

void StateMap::setBool(const std::string& key, bool value)
{
    set(key, value ? "1" : "0");
}

bool StateMap::has(const std::string& key) const
{
    return m_entries.count(key) != 0;
}

std::string StateMap::get(const std::string& key, const std::string& fallback) const
{
    const auto it = m_entries.find(key);
    return it == m_entries.end() ? fallback : it->second;
}

long long StateMap::getInt(const std::string& key, long long fallback) const
{
    const auto it = m_entries.find(key);
    if (it == m_entries.end() || it->second.empty()) {
        return fallback;
    }
    char* end = nullptr;
    const long long value = std::strtoll(it->second.c_str(), &end, 10);
    return *end == '\0' ? value : fallback;
}

bool StateMap::getBool(const std::string& key, bool fallback) const
{
    const std::string value = get(key);
    return value == "1" ? true : value == "0" ? false : fallback;
}

std::string StateMap::serialise() const
{
    std::string out = std::string(Header) + "\n";
    for (const auto& [key, value] : m_entries) {
        out += key + "=" + escape(value) + "\n";
    }
    return out;
}

std::optional<StateMap> StateMap::parse(const std::string& text)
{
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != Header) {
        return std::nullopt;
    }
    StateMap map;
    while (std::getline(in, line)) {
        const size_t equals = line.find('=');
        if (line.empty()) {
            continue;
        }
        if (equals == std::string::npos || equals == 0) {
            return std::nullopt;
        }
        auto value = unescape(line.substr(equals + 1));
        if (!value) {
            return std::nullopt;
        }
        map.m_entries[line.substr(0, equals)] = *value;
    }
    return map;
}
