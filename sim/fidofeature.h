#pragma once

#include "fidobio.h"
#include "fidocredentials.h"
#include "fidopin.h"
#include "key.h"

#include <chrono>

// The FIDO2 application: PIN, resident credentials, fingerprints (on models with a sensor)
// and the reset, which the key only accepts shortly after power-up and with a touch.
class FidoFeature : public Feature
{
public:
    static constexpr int ResetWindowSeconds = 10;

    explicit FidoFeature(Key& key);

    void addCommands(CommandTable& commands) override;
    void addControls(ControlTable& controls) override;
    void factoryReset() override;
    void plugged() override;
    void save(StateMap& state) const override;
    void load(const StateMap& state) override;
    std::string status() const override;

private:
    using Args = std::vector<std::string>;

    std::optional<Reply> unavailable() const override;

    Reply pinRetries() const;
    Reply setPin(const CommandLine& command);
    Reply changePin(const CommandLine& command);
    Reply listCredentials(const CommandLine& command);
    Reply deleteCredential(const CommandLine& command);
    Outcome reset();
    void wipe();
    std::optional<Reply> checkHexPin(const CommandLine& command);
    std::chrono::steady_clock::duration pluggedFor() const;

    std::string control(const Args& args);
    std::string clock(const Args& args);
    std::string finger(const Args& args);
    std::string nextVerify(const Args& args);

    Key& m_key;
    FidoPin m_pin;
    FidoCredentials m_credentials;
    FidoBio m_bio;
    std::chrono::steady_clock::time_point m_pluggedAt;
};
