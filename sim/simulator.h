#pragma once

#include "commandlog.h"
#include "commandtable.h"
#include "controltable.h"
#include "key.h"
#include "output.h"
#include "statefile.h"
#include "touch.h"

#include <optional>
#include <string>

// The backend side of the simulated key: answers command lines, reports keys coming and going
// while monitoring, and holds what the control channel drives (presence, touch, a forced
// failure). Every command line gets exactly one reply, except "monitor stop" and "exit".
class Simulator
{
public:
    // log and stateFile may be null.
    Simulator(Key& key, Output& output, CommandLog* log, StateFile* stateFile);

    CommandTable& commands() { return m_commands; }
    ControlTable& controls() { return m_controls; }

    // Adds the features' commands and control commands; call once the key has all features.
    void addFeatureCommands();

    void handleLine(const std::string& line);
    // Runs one control line; what it changed in the key is saved at once.
    std::string handleControl(const std::string& line);
    void handleOverlongLine();

    // A touch is awaited: further command lines wait until it is resolved.
    bool busy() const { return m_touch.pending(); }
    // "exit" was received or the GUI went away.
    bool finished() const { return m_finished || m_output.broken(); }

    int keyCount() const { return m_keys; }
    // Changes how many keys are present and reports the change while monitoring.
    void setKeyCount(int keys);

    Touch& touch() { return m_touch; }
    // Ends the waiting touch request; false when none was waiting.
    bool resolveTouch(bool touched);

    // The next command that talks to the key answers with this reply instead.
    void forceFailure(std::optional<Reply> reply) { m_forcedFailure = std::move(reply); }

    // How the next command that talks to the key goes wrong: it gets no reply at all, or the
    // simulator dies without one (a backend that hangs or crashes mid-command).
    enum class Misbehaviour { None, Hang, Die };
    void misbehave(Misbehaviour misbehaviour) { m_misbehaviour = misbehaviour; }

    // Replaces the key by a new one of another model (only sensible while unplugged).
    void replaceKey(const Model& model);

    std::string status() const;
    // Writes the key to the state file, when there is one.
    void saveState();

private:
    void addCoreCommands();
    void startMonitoring();
    std::optional<Reply> refusal(const CommandLine& command, const CommandTable::Entry* entry);
    void perform(const Outcome& outcome);
    void answer(const Reply& reply);

    Key& m_key;
    Output& m_output;
    CommandLog* m_log;
    StateFile* m_stateFile;
    CommandTable m_commands;
    ControlTable m_controls;
    Touch m_touch;
    std::optional<Reply> m_forcedFailure;
    Misbehaviour m_misbehaviour = Misbehaviour::None;
    int m_keys = 1;
    bool m_monitoring = false;
    bool m_finished = false;
};
