#pragma once

#include "feature.h"
#include "key.h"
#include "pivslotcommands.h"
#include "pivstate.h"

#include <optional>

// The PIV application: PIN, PUK and management key, reset, the four key slots and, on keys
// with a fingerprint sensor, the biometric policy. Its commands need the application switched
// on and the CCID transport, over which PIV travels.
class PivFeature : public Feature
{
public:
    explicit PivFeature(Key& key);

    void addCommands(CommandTable& commands) override;
    void factoryReset() override { m_state.factoryReset(); }
    void save(StateMap& state) const override { m_state.save(state); }
    void load(const StateMap& state) override { m_state.load(state); }
    std::string status() const override { return m_state.status(); }

private:
    std::optional<Reply> unavailable() const override;
    std::optional<Reply> withoutSensor() const;

    Reply changePinOrPuk(const CommandLine& command, const std::string& flag, PivSecret& secret);
    Reply changeManagementKey(const CommandLine& command);
    Outcome reset();
    Reply hasFingerprint() const;
    Reply setBioPolicy(const CommandLine& command);
    Outcome setCachedTime(const CommandLine& command);

    Key& m_key;
    PivState m_state;
    PivSlotCommands m_slots;
};
