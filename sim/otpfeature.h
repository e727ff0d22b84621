#pragma once

#include "feature.h"
#include "key.h"
#include "otpslot.h"

#include <array>
#include <string>

// The OTP application: two slots (one on single-slot models) that type a HOTP code or a
// static password, or answer a challenge; the with-enter flag, read and written through raw
// APDUs ("device send_apdu"); and the keyboard language of models that have one. Writing,
// deleting and resetting slots, and answering a challenge, need a touch. The control command
// "otp touch" is the user pressing the key: it answers with what the key would type.
class OtpFeature : public Feature
{
public:
    explicit OtpFeature(Key& key);

    void addCommands(CommandTable& commands) override;
    void addControls(ControlTable& controls) override;

    void factoryReset() override;
    void save(StateMap& state) const override;
    void load(const StateMap& state) override;
    std::string status() const override;

private:
    using Args = std::vector<std::string>;

    int slotCount() const;
    std::optional<Reply> unavailable() const override;
    // The slot index of an "-s" value, or a failure reply.
    std::optional<Reply> parseSlot(const CommandLine& command, int* index) const;

    Outcome list() const;
    Outcome put(const CommandLine& command);
    Outcome remove(const CommandLine& command);
    Outcome challenge(const CommandLine& command);
    Outcome reset();
    Outcome swap();
    Outcome setLanguage(const CommandLine& command);
    Outcome sendApdu(const CommandLine& command);
    std::string touch(const Args& args);

    Key& m_key;
    std::array<OtpSlot, 2> m_slots;
    bool m_withEnter = false;
    std::string m_language = "EN";
};
