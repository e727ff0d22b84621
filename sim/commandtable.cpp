#include "commandtable.h"

#include <cassert>

namespace {

std::string nameOf(const std::string& app, const std::string& op)
{
    return op.empty() ? app : app + " " + op;
}

} // namespace

void CommandTable::add(const std::string& app, const std::string& op, Handler handler, Needs needs)
{
    const bool inserted = m_entries.emplace(nameOf(app, op), Entry{std::move(handler), needs}).second;
    assert(inserted && "command registered twice");
    (void)inserted;
}

const CommandTable::Entry* CommandTable::find(const std::string& app, const std::string& op) const
{
    const auto it = m_entries.find(nameOf(app, op));
    return it == m_entries.end() ? nullptr : &it->second;
}

bool CommandTable::knowsApplication(const std::string& app) const
{
    const auto it = m_entries.lower_bound(app);
    return it != m_entries.end() && (it->first == app || it->first.rfind(app + " ", 0) == 0);
}

std::vector<std::string> CommandTable::names() const
{
    std::vector<std::string> result;
    for (const auto& entry : m_entries) {
        result.push_back(entry.first);
    }
    return result;
}
