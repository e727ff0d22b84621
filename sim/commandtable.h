#pragma once

#include "commandline.h"
#include "outcome.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

// The backend commands the simulator understands, keyed by application and operation
// ("fido" "reset", "exit" ""). Each feature of the key adds its own.
class CommandTable
{
public:
    using Handler = std::function<Outcome(const CommandLine&)>;

    // Whether a command talks to the key: such commands fail while no single key is present,
    // and a forced failure status answers them.
    enum class Needs { Nothing, Key };

    struct Entry
    {
        Handler handler;
        Needs needs;
    };

    void add(const std::string& app, const std::string& op, Handler handler, Needs needs = Needs::Key);

    const Entry* find(const std::string& app, const std::string& op) const;
    bool knowsApplication(const std::string& app) const;
    std::vector<std::string> names() const;

private:
    std::map<std::string, Entry> m_entries;
};
