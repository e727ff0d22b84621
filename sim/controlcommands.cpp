#include "controlcommands.h"

#include <algorithm>
#include <cstdlib>

ControlCommands::ControlCommands(Simulator& simulator) : m_simulator(simulator) {}

void ControlCommands::addTo(ControlTable& controls)
{
    controls.add("plug", "plug              the key is plugged in (a power-up)",
                 [this](const Args&) { return presence(std::max(1, m_simulator.keyCount())); });
    controls.add("unplug", "unplug            every key is removed", [this](const Args&) { return presence(0); });
    controls.add("second", "second            a second key is plugged in next to this one",
                 [this](const Args&) { return presence(2); });
    controls.add("single", "single            the second key is removed",
                 [this](const Args&) { return presence(std::min(1, m_simulator.keyCount())); });
    controls.add("touch", "touch [auto|never|manual|timeout]  give the awaited touch, or set how touches come",
                 [this](const Args& args) { return touch(args); });
    controls.add("fail", "fail <SW hex> [INFO...] | fail off  the next key command answers with this status",
                 [this](const Args& args) { return fail(args); });
    controls.add("misbehave", "misbehave hang|die|off  the next key command gets no reply, or the simulator dies",
                 [this](const Args& args) { return misbehave(args); });
    controls.add("model", "model <name>      replace the unplugged key by a new one of this model",
                 [this](const Args& args) { return model(args); });
    controls.add("status", "status            show the state",
                 [this](const Args&) { return ControlTable::ok(m_simulator.status()); });
    controls.add("help", "help              list the control commands",
                 [this, &controls](const Args&) { return help(controls); });
}

std::string ControlCommands::presence(int keys)
{
    m_simulator.setKeyCount(keys);
    return ControlTable::ok("keys=" + std::to_string(m_simulator.keyCount()));
}

std::string ControlCommands::touch(const Args& args)
{
    if (args.empty()) {
        return m_simulator.resolveTouch(true) ? ControlTable::ok("touched")
                                              : ControlTable::error("nothing waits for a touch");
    }
    if (args.size() == 1 && args[0] == "timeout") {
        return m_simulator.resolveTouch(false) ? ControlTable::ok("timed out")
                                               : ControlTable::error("nothing waits for a touch");
    }
    const auto mode = args.size() == 1 ? Touch::modeFromName(args[0]) : std::nullopt;
    if (!mode) {
        return ControlTable::error("usage: touch [auto|never|manual|timeout]");
    }
    m_simulator.touch().setMode(*mode);
    return ControlTable::ok("touch " + Touch::modeName(*mode));
}

std::string ControlCommands::fail(const Args& args)
{
    if (args.size() == 1 && args[0] == "off") {
        m_simulator.forceFailure(std::nullopt);
        return ControlTable::ok("fail off");
    }
    const bool hex = !args.empty() && !args[0].empty() && args[0].size() <= 8 &&
                     args[0].find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
    if (!hex) {
        return ControlTable::error("usage: fail <SW hex> [INFO...] | fail off");
    }
    std::string info;
    for (size_t i = 1; i < args.size(); ++i) {
        info += (i > 1 ? " " : "") + args[i];
    }
    const Reply reply(static_cast<uint32_t>(std::strtoul(args[0].c_str(), nullptr, 16)), info);
    m_simulator.forceFailure(reply);
    return ControlTable::ok("next key command answers " + reply.statusText());
}

std::string ControlCommands::misbehave(const Args& args)
{
    static const std::pair<const char*, Simulator::Misbehaviour> kinds[] = {
        {"hang", Simulator::Misbehaviour::Hang},
        {"die", Simulator::Misbehaviour::Die},
        {"off", Simulator::Misbehaviour::None},
    };
    for (const auto& [name, kind] : kinds) {
        if (args.size() == 1 && args[0] == name) {
            m_simulator.misbehave(kind);
            return ControlTable::ok(std::string("misbehave ") + name);
        }
    }
    return ControlTable::error("usage: misbehave hang|die|off");
}

std::string ControlCommands::model(const Args& args)
{
    const Model* model = args.size() == 1 ? Model::find(args[0]) : nullptr;
    if (!model) {
        std::string names;
        for (const Model& known : Model::all()) {
            names += " " + known.module;
        }
        return ControlTable::error("usage: model <name>, one of" + names);
    }
    if (m_simulator.keyCount() != 0) {
        return ControlTable::error("unplug the key first");
    }
    m_simulator.replaceKey(*model);
    return ControlTable::ok("model " + model->module);
}

std::string ControlCommands::help(const ControlTable& controls) const
{
    std::string out;
    for (const std::string& usage : controls.usages()) {
        out += (out.empty() ? "" : "; ") + usage.substr(0, usage.find("  "));
    }
    return ControlTable::ok(out);
}
