#pragma once

#include "feature.h"
#include "key.h"

// The key's own commands: its details ("monitor deviceinfo") and switching applications and
// transports. A transport change only takes effect at the next plug, as on the real key.
class DeviceFeature : public Feature
{
public:
    explicit DeviceFeature(Key& key);

    void addCommands(CommandTable& commands) override;

private:
    Reply deviceInfo() const;
    Reply setApplications(const CommandLine& command);
    Reply setTransports(const CommandLine& command);

    Key& m_key;
};
