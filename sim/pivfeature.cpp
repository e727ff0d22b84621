#include "pivfeature.h"

#include "protocol.h"

namespace {

bool allDigits(const std::string& text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// PIN and PUK: 6 to 8 digits, as the PIV application stores them.
bool validPin(const std::string& text)
{
    return allDigits(text) && text.size() >= 6 && text.size() <= 8;
}

bool validManagementKey(const std::string& text)
{
    return text.size() == 48 && text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

} // namespace

PivFeature::PivFeature(Key& key) : m_key(key), m_slots(m_state) {}

void PivFeature::addCommands(CommandTable& commands)
{
    addGated(commands, "piv", "change-pin",
             [this](const CommandLine& command) { return changePinOrPuk(command, "-P", m_state.pin()); });
    addGated(commands, "piv", "change-puk",
             [this](const CommandLine& command) { return changePinOrPuk(command, "-p", m_state.puk()); });
    addGated(commands, "piv", "change-management-key",
             [this](const CommandLine& command) { return changeManagementKey(command); });
    addGated(commands, "piv", "reset", [this](const CommandLine&) { return reset(); });
    addGated(commands, "piv", "generate-key",
             [this](const CommandLine& command) { return m_slots.generateKey(command); });
    addGated(commands, "piv", "generate-certificate",
             [this](const CommandLine& command) { return m_slots.generateCertificate(command); });
    addGated(commands, "piv", "generate-csr",
             [this](const CommandLine& command) { return m_slots.generateRequest(command); });
    addGated(commands, "piv", "import-key", [this](const CommandLine& command) { return m_slots.importKey(command); });
    addGated(commands, "piv", "import-certificate",
             [this](const CommandLine& command) { return m_slots.importCertificate(command); });
    addGated(commands, "piv", "export-certificate",
             [this](const CommandLine& command) { return m_slots.exportCertificate(command); });
    addGated(commands, "piv", "delete-certificate",
             [this](const CommandLine& command) { return m_slots.deleteCertificate(command); });
    addGated(commands, "piv", "read-object",
             [this](const CommandLine& command) { return m_slots.readObject(command); });
    addGated(commands, "piv", "has_fingerprint", [this](const CommandLine&) { return hasFingerprint(); });
    addGated(commands, "piv", "set_biopolicy", [this](const CommandLine& command) { return setBioPolicy(command); });
    addGated(commands, "piv", "set_cachedtime", [this](const CommandLine& command) { return setCachedTime(command); });
}

std::optional<Reply> PivFeature::unavailable() const
{
    if (!m_key.model().carries(AppPiv)) {
        return Reply(Status::NotFound, "This key has no PIV application.");
    }
    if (!m_key.device().hasApplication(AppPiv)) {
        return Reply(Status::NotFound, "The PIV application is switched off on this key.");
    }
    if (!m_key.device().hasTransport(TransportCcid)) {
        return Reply(Status::Failed, "PIV needs the CCID transport, which is switched off on this key.");
    }
    return std::nullopt;
}

std::optional<Reply> PivFeature::withoutSensor() const
{
    if (m_key.model().fingerprint) {
        return std::nullopt;
    }
    return Reply(Status::NotSupported, "This key has no fingerprint sensor.");
}

// The PIN (current one under -P) and the PUK (under -p) change alike.
Reply PivFeature::changePinOrPuk(const CommandLine& command, const std::string& flag, PivSecret& secret)
{
    const std::string current = command.value(flag);
    const std::string next = command.value("-n");
    if (current.empty()) {
        return Reply(Status::WrongData, "Option " + flag + " needs the current " + secret.name() + ".");
    }
    if (!validPin(next)) {
        return Reply(Status::WrongData, "The new " + secret.name() + " must be 6 to 8 digits.");
    }
    if (auto refused = secret.verify(current, true)) {
        return *refused;
    }
    secret.change(next);
    return Reply::ok();
}

// The PIN is verified first and, when wrong, answered with 0x6982 so that the GUI does not
// mistake it for a wrong management key (which alone answers 0x63CX here).
Reply PivFeature::changeManagementKey(const CommandLine& command)
{
    const std::string pin = command.value("-p");
    const std::string current = command.value("-k");
    const std::string next = command.value("-n");
    if (pin.empty()) {
        return Reply(Status::WrongData, "Option -p needs the PIV PIN.");
    }
    if (current.empty()) {
        return Reply(Status::WrongData, "Option -k needs the current management key.");
    }
    if (!validManagementKey(next)) {
        return Reply(Status::WrongData, "The new management key must be 48 hexadecimal digits.");
    }
    if (auto refused = m_state.pin().verify(pin, false)) {
        return *refused;
    }
    if (auto refused = m_state.managementKey().verify(current, true)) {
        return *refused;
    }
    m_state.managementKey().change(next);
    return Reply::ok();
}

// Resetting wipes every slot, so the key asks for a touch first, whatever the state of the
// PIN and PUK (a key whose secrets are forgotten can still be reset).
Outcome PivFeature::reset()
{
    return Outcome::afterTouch(Reply(Status::PivTouchTimeout, "Touch time out. PIV was not reset."), [this] {
        m_state.factoryReset();
        return Reply::ok();
    });
}

// "1" when a fingerprint is enrolled. The templates live in the sensor, which the FIDO2
// application manages; PIV reads them from the key's memory.
Reply PivFeature::hasFingerprint() const
{
    StateMap memory;
    m_key.save(memory);
    const bool enrolled = m_key.model().fingerprint && !memory.get("fido.fingerprints").empty();
    return Reply::ok(enrolled ? "1" : "0");
}

Reply PivFeature::setBioPolicy(const CommandLine& command)
{
    if (auto refused = withoutSensor()) {
        return *refused;
    }
    if (command.arguments().size() != 1) {
        return Reply(Status::WrongData, "Usage: piv set_biopolicy <slot> --bio-policy NEVER|ALWAYS|CACHED.");
    }
    PivSlot* slot = m_state.slot(command.arguments()[0].text);
    if (!slot) {
        return Reply(Status::WrongData, "Unknown slot. Slots are 9a, 9c, 9d and 9e.");
    }
    const std::string policy = command.value("--bio-policy");
    if (!PivSlot::knownPolicy(policy)) {
        return Reply(Status::WrongData, "Option --bio-policy needs NEVER, ALWAYS or CACHED.");
    }
    slot->bioPolicy = policy;
    return Reply::ok();
}

// The new cache time only takes effect after a fingerprint is presented.
Outcome PivFeature::setCachedTime(const CommandLine& command)
{
    if (auto refused = withoutSensor()) {
        return *refused;
    }
    const std::string text = command.value("-t");
    const int seconds = allDigits(text) && text.size() <= 3 ? std::stoi(text) : 0;
    if (seconds < 1 || seconds > 255) {
        return Reply(Status::WrongData, "Option -t needs the cache time in seconds, 1 to 255.");
    }
    return Outcome::afterTouch(Reply(Status::PivTouchTimeout, "No fingerprint was presented in time."),
                               [this, seconds] {
                                   m_state.setCachedTime(seconds);
                                   return Reply::ok();
                               });
}
