#include "simulator.h"

#include "protocol.h"

#include <cstdlib>
#include <utility>

namespace {

uint32_t presenceStatus(int keys)
{
    return keys == 0 ? Status::NoKey : keys == 1 ? Status::OneKey : Status::SeveralKeys;
}

std::string shortened(const std::string& text)
{
    return text.size() <= 40 ? text : text.substr(0, 40) + "...";
}

} // namespace

Simulator::Simulator(Key& key, Output& output, CommandLog* log, StateFile* stateFile)
    : m_key(key), m_output(output), m_log(log), m_stateFile(stateFile)
{
    addCoreCommands();
}

void Simulator::addFeatureCommands()
{
    for (const auto& feature : m_key.features()) {
        feature->addCommands(m_commands);
        feature->addControls(m_controls);
    }
}

void Simulator::addCoreCommands()
{
    using Needs = CommandTable::Needs;
    m_commands.add(
        "monitor", "start",
        [this](const CommandLine&) {
            startMonitoring();
            return Outcome::none();
        },
        Needs::Nothing);
    m_commands.add(
        "monitor", "stop",
        [this](const CommandLine&) {
            m_monitoring = false;
            return Outcome::none();
        },
        Needs::Nothing);
    m_commands.add(
        "exit", "",
        [this](const CommandLine&) {
            m_finished = true;
            return Outcome::none();
        },
        Needs::Nothing);
}

void Simulator::startMonitoring()
{
    m_monitoring = true;
    answer(Reply(presenceStatus(m_keys)));
    if (m_keys == 1) {
        const DeviceState& device = m_key.device();
        answer(Reply::ok().addRow({{"TRANSPORT", device.transportText()}, {"APPLICATION", device.applicationText()}}));
    }
}

void Simulator::handleLine(const std::string& line)
{
    if (m_log) {
        m_log->append(line);
    }
    std::string error;
    const auto command = CommandLine::parse(line, &error);
    if (!command) {
        answer(Reply(Status::WrongData, "Malformed command line: " + error + "."));
        return;
    }
    const CommandTable::Entry* entry = m_commands.find(command->app(), command->op());
    if (const auto refused = refusal(*command, entry)) {
        answer(*refused);
        return;
    }
    if (entry->needs != CommandTable::Needs::Nothing && m_misbehaviour != Misbehaviour::None) {
        if (std::exchange(m_misbehaviour, Misbehaviour::None) == Misbehaviour::Die) {
            std::_Exit(3);
        }
        return;
    }
    perform(entry->handler(*command));
    saveState();
}

std::string Simulator::handleControl(const std::string& line)
{
    const std::string reply = m_controls.run(line);
    saveState();
    return reply;
}

void Simulator::handleOverlongLine()
{
    answer(Reply(Status::WrongData, "Command line too long."));
}

std::optional<Reply> Simulator::refusal(const CommandLine& command, const CommandTable::Entry* entry)
{
    if (command.words().empty()) {
        return Reply(Status::UnknownCommand, "Empty command line.");
    }
    if (!entry) {
        const std::string app = shortened(command.app());
        const std::string op = shortened(command.op());
        if (!m_commands.knowsApplication(command.app())) {
            return Reply(Status::UnknownCommand, "Unknown command: " + app + (op.empty() ? "" : " " + op) + ".");
        }
        if (op.empty()) {
            return Reply(Status::UnknownCommand, "Missing operation after " + app + ".");
        }
        return Reply(Status::UnknownCommand, "Unknown " + app + " operation: " + op + ".");
    }
    if (entry->needs == CommandTable::Needs::Nothing) {
        return std::nullopt;
    }
    if (m_keys == 0) {
        return Reply(Status::Failed, "No security key is present.");
    }
    if (m_keys > 1) {
        return Reply(Status::Failed, "Several security keys are present. Leave only one plugged in.");
    }
    return std::exchange(m_forcedFailure, std::nullopt);
}

void Simulator::perform(const Outcome& outcome)
{
    if (outcome.waitsForTouch()) {
        if (const auto reply = m_touch.request(outcome.reply(), outcome.onTouch())) {
            answer(*reply);
        }
    } else if (outcome.hasReply()) {
        answer(outcome.reply());
    }
}

void Simulator::answer(const Reply& reply)
{
    m_output.write(reply);
}

void Simulator::saveState()
{
    if (m_stateFile) {
        StateMap state;
        m_key.save(state);
        m_stateFile->save(state);
    }
}

void Simulator::setKeyCount(int keys)
{
    const int before = m_keys;
    if (keys == before) {
        return;
    }
    m_keys = keys;
    if (before == 0) {
        m_key.plugged();
        saveState();
    }
    if (m_monitoring) {
        answer(Reply(presenceStatus(keys)));
    }
    // The operation waiting for a touch cannot finish without its key.
    if (keys == 0 && m_touch.cancel()) {
        answer(Reply(Status::Failed, "The security key was removed."));
    }
}

bool Simulator::resolveTouch(bool touched)
{
    const auto reply = m_touch.resolve(touched);
    if (!reply) {
        return false;
    }
    answer(*reply);
    saveState();
    return true;
}

void Simulator::replaceKey(const Model& model)
{
    m_key.becomeNew(model);
    saveState();
}

std::string Simulator::status() const
{
    return "keys=" + std::to_string(m_keys) + " monitor=" + (m_monitoring ? "on" : "off") + " " + m_key.status() +
           " touch=" + Touch::modeName(m_touch.mode()) + " touch_pending=" + (m_touch.pending() ? "yes" : "no") +
           " fail=" + (m_forcedFailure ? m_forcedFailure->statusText() : "none");
}
