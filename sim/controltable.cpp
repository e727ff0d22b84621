#include "controltable.h"

#include <cassert>
#include <sstream>

void ControlTable::add(const std::string& name, const std::string& usage, Handler handler)
{
    const bool inserted = m_entries.emplace(name, Entry{usage, std::move(handler)}).second;
    assert(inserted && "control command registered twice");
    (void)inserted;
}

std::string ControlTable::run(const std::string& line) const
{
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    if (words.empty()) {
        return error("empty control command");
    }
    const auto it = m_entries.find(words.front());
    if (it == m_entries.end()) {
        return error("unknown control command " + words.front() + " (try help)");
    }
    words.erase(words.begin());
    return it->second.handler(words);
}

std::vector<std::string> ControlTable::usages() const
{
    std::vector<std::string> result;
    for (const auto& entry : m_entries) {
        result.push_back(entry.second.usage);
    }
    return result;
}

std::string ControlTable::ok(const std::string& text)
{
    return text.empty() ? "ok" : "ok " + text;
}

std::string ControlTable::error(const std::string& text)
{
    return "error " + text;
}
