#pragma once

#include "simulator.h"

#include <string>
#include <vector>

// The control channel's own commands: plug, unplug, a second key, touch, forced failures,
// model, status, help. Features add theirs through Feature::addControls.
class ControlCommands
{
public:
    explicit ControlCommands(Simulator& simulator);

    void addTo(ControlTable& controls);

private:
    using Args = std::vector<std::string>;

    std::string presence(int keys);
    std::string touch(const Args& args);
    std::string fail(const Args& args);
    std::string misbehave(const Args& args);
    std::string model(const Args& args);
    std::string help(const ControlTable& controls) const;

    Simulator& m_simulator;
};
