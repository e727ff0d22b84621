#pragma once

#include "commandtable.h"
#include "controltable.h"
#include "statemap.h"

#include <optional>
#include <string>

// One application area of the simulated key (device, FIDO, PIV, OTP). A feature owns its
// state, adds its backend commands and control commands, and saves its own section of the
// state file. Handlers that need a touch return Outcome::afterTouch.
class Feature
{
public:
    virtual ~Feature() = default;

    virtual void addCommands(CommandTable& commands) = 0;
    virtual void addControls(ControlTable&) {}

    // The key is new (first start, or replaced by one of another model).
    virtual void factoryReset() {}
    // The key was plugged in: power-up, volatile state is gone.
    virtual void plugged() {}

    virtual void save(StateMap&) const {}
    virtual void load(const StateMap&) {}

    // Words added to the control channel's "status" reply, "name=value" separated by blanks.
    virtual std::string status() const { return {}; }

protected:
    // Why the key refuses this feature's commands now (application missing or switched off).
    virtual std::optional<Reply> unavailable() const { return std::nullopt; }
    // Adds a command that answers with the refusal of unavailable(), when there is one, instead
    // of running the handler.
    void addGated(CommandTable& commands, const std::string& app, const std::string& op, CommandTable::Handler handler);
};
