#include "feature.h"

void Feature::addGated(CommandTable& commands, const std::string& app, const std::string& op,
                       CommandTable::Handler handler)
{
    commands.add(app, op, [this, handler = std::move(handler)](const CommandLine& command) -> Outcome {
        if (const auto refused = unavailable()) {
            return *refused;
        }
        return handler(command);
    });
}
