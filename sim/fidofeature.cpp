#include "fidofeature.h"

#include "fidostatus.h"
#include "hex.h"
#include "protocol.h"

#include <cstdlib>
#include <map>

namespace {

const char* const ControlUsage =
    "fido clock [+<seconds>] | fido finger good|bad|none|held... | fido verify match|nomatch|timeout | fido seed";

// The PIN option of a command, decoded from the hexadecimal the window sends.
std::optional<std::string> hexOption(const CommandLine& command, const std::string& flag)
{
    const auto text = command.option(flag);
    if (!text || text->empty()) {
        return std::nullopt;
    }
    const auto bytes = Hex::decode(*text);
    if (!bytes) {
        return std::nullopt;
    }
    return std::string(bytes->begin(), bytes->end());
}

Reply badHexPin(const std::string& flag)
{
    return Reply(Status::WrongData, "Option " + flag + " needs the PIN as hexadecimal UTF-8 bytes.");
}

} // namespace

FidoFeature::FidoFeature(Key& key) : m_key(key), m_bio(key, m_pin), m_pluggedAt(std::chrono::steady_clock::now())
{
    factoryReset();
}

void FidoFeature::addCommands(CommandTable& commands)
{
    addGated(commands, "fido", "get_pin_retries", [this](const CommandLine&) { return pinRetries(); });
    addGated(commands, "fido", "set-pin", [this](const CommandLine& command) { return setPin(command); });
    addGated(commands, "fido", "change-pin", [this](const CommandLine& command) { return changePin(command); });
    addGated(commands, "fido", "get-resident-credentials",
             [this](const CommandLine& command) { return listCredentials(command); });
    addGated(commands, "fido", "delete-resident-credential",
             [this](const CommandLine& command) { return deleteCredential(command); });
    addGated(commands, "fido", "reset", [this](const CommandLine&) { return reset(); });
    addGated(commands, "fido", "enrollment-begin", [this](const CommandLine& command) { return m_bio.begin(command); });
    addGated(commands, "fido", "enrollment-next", [this](const CommandLine& command) { return m_bio.next(command); });
    addGated(commands, "fido", "cancel-enrollment",
             [this](const CommandLine& command) { return m_bio.cancel(command); });
    addGated(commands, "fido", "verify-enrollment",
             [this](const CommandLine& command) { return m_bio.verify(command); });
    addGated(commands, "fido", "remove-enrollment",
             [this](const CommandLine& command) { return m_bio.remove(command); });
    addGated(commands, "fido", "enumerate", [this](const CommandLine& command) { return m_bio.enumerate(command); });
}

std::optional<Reply> FidoFeature::unavailable() const
{
    if (!m_key.device().hasApplication(AppFido2)) {
        return Reply(Status::ConditionsNotSatisfied, "The FIDO2 application is switched off on this key.");
    }
    return std::nullopt;
}

Reply FidoFeature::pinRetries() const
{
    Reply reply = m_pin.isSet() ? Reply::ok() : Reply(FidoStatus::PinNotSet, "No FIDO2 PIN is set on this key.");
    return reply.addRow({{"RETRIES", std::to_string(m_pin.retries())}});
}

Reply FidoFeature::setPin(const CommandLine& command)
{
    const auto pin = hexOption(command, "-p");
    if (!pin) {
        return badHexPin("-p");
    }
    return m_pin.set(*pin).value_or(Reply::ok());
}

Reply FidoFeature::changePin(const CommandLine& command)
{
    const auto oldPin = hexOption(command, "-p");
    if (!oldPin) {
        return badHexPin("-p");
    }
    const auto newPin = hexOption(command, "-n");
    if (!newPin) {
        return badHexPin("-n");
    }
    return m_pin.change(*oldPin, *newPin).value_or(Reply::ok());
}

Reply FidoFeature::listCredentials(const CommandLine& command)
{
    if (auto failure = checkHexPin(command)) {
        return *failure;
    }
    if (m_credentials.empty()) {
        return Reply(FidoStatus::NoResidentCredentials, "No resident credential is stored on this key.");
    }
    Reply reply = Reply::ok();
    for (const ResidentCredential& credential : m_credentials.all()) {
        reply.addRow({{"RP_ID", credential.rpId},
                      {"USER_NAME", credential.userName},
                      {"CREDENTIAL_ID", credential.id},
                      {"CREDENTIAL_TYPE", credential.type}});
    }
    return reply;
}

Reply FidoFeature::deleteCredential(const CommandLine& command)
{
    const std::string id = command.value("-i");
    if (id.empty()) {
        return Reply(Status::WrongData, "Option -i needs the credential identifier.");
    }
    if (command.value("-t") != "public-key") {
        return Reply(Status::WrongData, "Option -t needs the credential type public-key.");
    }
    if (auto failure = checkHexPin(command)) {
        return *failure;
    }
    if (!m_credentials.remove(id)) {
        return Reply(FidoStatus::NoResidentCredentials, "No resident credential has this identifier.");
    }
    return Reply::ok();
}

Outcome FidoFeature::reset()
{
    if (pluggedFor() > std::chrono::seconds(ResetWindowSeconds)) {
        return Reply(FidoStatus::NotAllowed, "The key allows a reset only within " +
                                                 std::to_string(ResetWindowSeconds) +
                                                 " seconds of being plugged in. Remove and re-insert it, then "
                                                 "reset at once.");
    }
    return Outcome::afterTouch(
        Reply(FidoStatus::UserActionTimeout, "The key was not touched in time. Nothing was reset."), [this] {
            wipe();
            return Reply::ok();
        });
}

void FidoFeature::wipe()
{
    m_pin.clear();
    m_credentials.clear();
    m_bio.fingerprints().clear();
}

std::optional<Reply> FidoFeature::checkHexPin(const CommandLine& command)
{
    const auto pin = hexOption(command, "-p");
    if (!pin) {
        return badHexPin("-p");
    }
    return m_pin.verify(*pin);
}

std::chrono::steady_clock::duration FidoFeature::pluggedFor() const
{
    return std::chrono::steady_clock::now() - m_pluggedAt;
}

void FidoFeature::factoryReset()
{
    wipe();
    m_credentials.seed(m_key.model().serial);
}

void FidoFeature::plugged()
{
    m_pluggedAt = std::chrono::steady_clock::now();
    m_bio.fingerprints().plugged();
}

void FidoFeature::save(StateMap& state) const
{
    m_pin.save(state);
    m_credentials.save(state);
    m_bio.fingerprints().save(state);
}

void FidoFeature::load(const StateMap& state)
{
    // A state file from before the key had FIDO2 keeps the factory state.
    if (!state.has("fido.pin_retries")) {
        return;
    }
    m_pin.load(state);
    m_credentials.load(state);
    m_bio.fingerprints().load(state);
}

std::string FidoFeature::status() const
{
    const auto enrolling = m_bio.fingerprints().enrolling();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(pluggedFor()).count();
    return std::string("fido_pin=") + (m_pin.isSet() ? "set" : "none") +
           " fido_retries=" + std::to_string(m_pin.retries()) +
           " fido_credentials=" + std::to_string(m_credentials.all().size()) +
           " fingerprints=" + std::to_string(m_bio.fingerprints().templates().size()) +
           " enrolling=" + (enrolling ? FidoFingerprints::templateId(*enrolling) : "none") +
           " plugged_seconds=" + std::to_string(seconds);
}

void FidoFeature::addControls(ControlTable& controls)
{
    controls.add("fido",
                 std::string(ControlUsage) + "  age the plug time, plan the next samples or test, re-add "
                                             "the sample credentials",
                 [this](const Args& args) { return control(args); });
}

std::string FidoFeature::control(const Args& args)
{
    const std::string what = args.empty() ? std::string() : args.front();
    const Args rest = args.empty() ? Args() : Args(args.begin() + 1, args.end());
    if (what == "clock") {
        return clock(rest);
    }
    if (what == "finger") {
        return finger(rest);
    }
    if (what == "verify") {
        return nextVerify(rest);
    }
    if (what == "seed" && rest.empty()) {
        m_credentials.seed(m_key.model().serial);
        return ControlTable::ok("fido_credentials=" + std::to_string(m_credentials.all().size()));
    }
    return ControlTable::error(std::string("usage: ") + ControlUsage);
}

std::string FidoFeature::clock(const Args& args)
{
    if (args.size() > 1) {
        return ControlTable::error("usage: fido clock [+<seconds>]");
    }
    if (args.size() == 1) {
        const std::string digits = args[0].rfind('+', 0) == 0 ? args[0].substr(1) : args[0];
        if (digits.empty() || digits.size() > 6 || digits.find_first_not_of("0123456789") != std::string::npos) {
            return ControlTable::error("usage: fido clock [+<seconds>]");
        }
        m_pluggedAt -= std::chrono::seconds(std::atoi(digits.c_str()));
    }
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(pluggedFor()).count();
    return ControlTable::ok("plugged_seconds=" + std::to_string(seconds));
}

std::string FidoFeature::finger(const Args& args)
{
    using Sample = FidoFingerprints::Sample;
    static const std::map<std::string, Sample> names = {
        {"good", Sample::Good}, {"bad", Sample::Poor}, {"none", Sample::NoActivity}, {"held", Sample::NotLifted}};
    std::vector<Sample> samples;
    for (const std::string& arg : args) {
        const auto it = names.find(arg);
        if (it == names.end()) {
            return ControlTable::error("usage: fido finger good|bad|none|held...");
        }
        samples.push_back(it->second);
    }
    if (samples.empty()) {
        return ControlTable::error("usage: fido finger good|bad|none|held...");
    }
    for (Sample sample : samples) {
        m_bio.fingerprints().queueSample(sample);
    }
    return ControlTable::ok("queued " + std::to_string(samples.size()));
}

std::string FidoFeature::nextVerify(const Args& args)
{
    using Verify = FidoFingerprints::Verify;
    static const std::map<std::string, Verify> names = {
        {"match", Verify::Match}, {"nomatch", Verify::NoMatch}, {"timeout", Verify::Timeout}};
    const auto it = args.size() == 1 ? names.find(args[0]) : names.end();
    if (it == names.end()) {
        return ControlTable::error("usage: fido verify match|nomatch|timeout");
    }
    m_bio.fingerprints().setNextVerify(it->second);
    return ControlTable::ok("next verify " + it->first);
}
