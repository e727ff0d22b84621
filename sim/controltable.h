#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

// Commands of the control channel, one text line each, answered with one line that starts
// with "ok" or "error". Features may add their own (for example to pick a finger).
class ControlTable
{
public:
    using Handler = std::function<std::string(const std::vector<std::string>& args)>;

    void add(const std::string& name, const std::string& usage, Handler handler);

    // Runs one control line and returns its reply line (without the line end).
    std::string run(const std::string& line) const;
    // One usage text per command, in name order.
    std::vector<std::string> usages() const;

    static std::string ok(const std::string& text = {});
    static std::string error(const std::string& text);

private:
    struct Entry
    {
        std::string usage;
        Handler handler;
    };
    std::map<std::string, Entry> m_entries;
};
