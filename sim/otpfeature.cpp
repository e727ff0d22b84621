#include "otpfeature.h"

#include "hex.h"
#include "protocol.h"

#include <algorithm>

namespace {

// A slot holds a 20-byte HMAC key; a static password up to 32 characters.
constexpr size_t MaxSecretBytes = 20;
constexpr size_t MaxPasswordBytes = 32;
constexpr size_t MaxNameBytes = 32;
constexpr size_t MaxChallengeBytes = 64;

const char* const EnterMarker = "<enter>";

Reply touchTimeout()
{
    return Reply(Status::OtpTouchTimeout, "Touch time out.");
}

Reply wrongData(const std::string& info)
{
    return Reply(Status::WrongData, info);
}

bool printable(const Hex::Bytes& bytes)
{
    for (uint8_t byte : bytes) {
        if (byte < 0x20 || byte > 0x7E) {
            return false;
        }
    }
    return true;
}

// The secret of "otp put -k": hex of an HMAC key, or of a static password's characters.
std::optional<Reply> readSecret(const std::optional<std::string>& text, OtpSlot& slot)
{
    const auto bytes = text ? Hex::decode(*text) : std::nullopt;
    if (!bytes || bytes->empty()) {
        return wrongData("Option -k needs the secret as an even number of hex digits.");
    }
    if (slot.mode == OtpSlot::Mode::StaticPassword) {
        if (bytes->size() > MaxPasswordBytes || !printable(*bytes)) {
            return wrongData("A static password has 1 to 32 printable characters.");
        }
    } else if (bytes->size() > MaxSecretBytes) {
        return wrongData("A secret key has at most 40 hex digits.");
    }
    slot.secret = *bytes;
    return std::nullopt;
}

// Reads the configuration of "otp put" into slot; a failure reply when it is not valid.
std::optional<Reply> readConfig(const CommandLine& command, OtpSlot& slot)
{
    const auto mode = OtpSlot::modeFromName(command.value("-t"));
    if (!mode) {
        return wrongData("Option -t needs HOTP, STATIC_PASSWORD or CHALLENGE_RESPONSE.");
    }
    slot.mode = *mode;
    if (command.value("-a") != "SHA1") {
        return wrongData("Option -a needs SHA1, the only hash this key offers.");
    }
    if (const auto failure = readSecret(command.option("-k"), slot)) {
        return failure;
    }
    if (slot.mode == OtpSlot::Mode::Hotp) {
        const std::string digits = command.value("-d");
        if (digits != "6" && digits != "8") {
            return wrongData("Option -d needs 6 or 8 digits for HOTP.");
        }
        slot.digits = digits == "6" ? 6 : 8;
    }
    const auto name = command.option("-n");
    const auto nameBytes = name ? Hex::decode(*name) : std::nullopt;
    if (!nameBytes || nameBytes->size() > MaxNameBytes) {
        return wrongData("Option -n needs the serial number as hex digits, at most 64.");
    }
    slot.name = Hex::upperCase(*name);
    return std::nullopt;
}

} // namespace

OtpFeature::OtpFeature(Key& key) : m_key(key) {}

void OtpFeature::addCommands(CommandTable& commands)
{
    addGated(commands, "otp", "list", [this](const CommandLine&) { return list(); });
    addGated(commands, "otp", "put", [this](const CommandLine& command) { return put(command); });
    addGated(commands, "otp", "delete", [this](const CommandLine& command) { return remove(command); });
    addGated(commands, "otp", "challenge", [this](const CommandLine& command) { return challenge(command); });
    addGated(commands, "otp", "reset", [this](const CommandLine&) { return reset(); });
    addGated(commands, "otp", "swap", [this](const CommandLine&) { return swap(); });
    addGated(commands, "otp", "set_language", [this](const CommandLine& command) { return setLanguage(command); });
    // Not gated: a malformed APDU is refused before the key is asked.
    commands.add("device", "send_apdu", [this](const CommandLine& command) { return sendApdu(command); });
}

void OtpFeature::addControls(ControlTable& controls)
{
    controls.add("otp",
                 "otp touch <1|2> [challenge hex]  press slot 1 (short) or 2 (long): what the key types, "
                 "or its response to the challenge",
                 [this](const Args& args) { return touch(args); });
}

void OtpFeature::factoryReset()
{
    m_slots = {};
    m_withEnter = false;
    m_language = "EN";
}

void OtpFeature::save(StateMap& state) const
{
    for (size_t i = 0; i < m_slots.size(); ++i) {
        m_slots[i].save(state, "otp.slot." + std::to_string(i) + ".");
    }
    state.setBool("otp.with_enter", m_withEnter);
    state.set("otp.language", m_language);
}

void OtpFeature::load(const StateMap& state)
{
    for (size_t i = 0; i < m_slots.size(); ++i) {
        m_slots[i] =
            static_cast<int>(i) < slotCount() ? OtpSlot::load(state, "otp.slot." + std::to_string(i) + ".") : OtpSlot();
    }
    m_withEnter = state.getBool("otp.with_enter", false);
    m_language = state.get("otp.language") == "FR" ? "FR" : "EN";
}

std::string OtpFeature::status() const
{
    if (slotCount() == 0) {
        return {};
    }
    std::string out;
    for (int i = 0; i < slotCount(); ++i) {
        const OtpSlot& slot = m_slots[static_cast<size_t>(i)];
        out += "otp_slot" + std::to_string(i + 1) + "=" + (slot.configured() ? OtpSlot::modeName(slot.mode) : "empty") +
               " ";
    }
    return out + "otp_enter=" + (m_withEnter ? "on" : "off") + " otp_language=" + m_language;
}

int OtpFeature::slotCount() const
{
    return std::min(m_key.model().otpSlots, static_cast<int>(m_slots.size()));
}

std::optional<Reply> OtpFeature::unavailable() const
{
    if (slotCount() == 0) {
        return Reply(Status::NotFound, "This key has no OTP application.");
    }
    if (!m_key.device().hasApplication(AppOtp)) {
        return Reply(Status::NotFound, "The OTP application is switched off.");
    }
    return std::nullopt;
}

std::optional<Reply> OtpFeature::parseSlot(const CommandLine& command, int* index) const
{
    const std::string text = command.value("-s");
    if (text != "0" && text != "1") {
        return wrongData("Option -s needs the slot: 0 (short touch) or 1 (long touch).");
    }
    *index = text == "0" ? 0 : 1;
    if (*index >= slotCount()) {
        return wrongData("This key has only one OTP slot.");
    }
    return std::nullopt;
}

Outcome OtpFeature::list() const
{
    // The window shows the second slot when the list names slot_2.
    Reply reply = Reply::ok(slotCount() == 2 ? "slot_1 slot_2" : "slot_1");
    for (int i = 0; i < slotCount(); ++i) {
        const OtpSlot& slot = m_slots[static_cast<size_t>(i)];
        if (slot.configured()) {
            reply.addRow({{"slot", std::to_string(i)},
                          {"type", OtpSlot::modeName(slot.mode)},
                          {"hash", "SHA1"},
                          {"name", slot.name}});
        }
    }
    return reply;
}

Outcome OtpFeature::put(const CommandLine& command)
{
    int index = 0;
    if (const auto failure = parseSlot(command, &index)) {
        return *failure;
    }
    OtpSlot slot;
    if (const auto failure = readConfig(command, slot)) {
        return *failure;
    }
    return Outcome::afterTouch(touchTimeout(), [this, index, slot] {
        m_slots[static_cast<size_t>(index)] = slot;
        return Reply::ok();
    });
}

Outcome OtpFeature::remove(const CommandLine& command)
{
    int index = 0;
    if (const auto failure = parseSlot(command, &index)) {
        return *failure;
    }
    const OtpSlot& slot = m_slots[static_cast<size_t>(index)];
    if (!slot.configured()) {
        return wrongData("Slot " + std::to_string(index + 1) + " is empty.");
    }
    const auto name = command.option("-n");
    if (!name || Hex::upperCase(*name) != slot.name) {
        return wrongData("Option -n does not name the configuration of slot " + std::to_string(index + 1) + ".");
    }
    return Outcome::afterTouch(touchTimeout(), [this, index] {
        m_slots[static_cast<size_t>(index)] = OtpSlot();
        return Reply::ok();
    });
}

// Every challenge-response slot is written with "Require touch": the window's box for it is
// always on, so "otp put" carries no word for it.
Outcome OtpFeature::challenge(const CommandLine& command)
{
    int index = 0;
    if (const auto failure = parseSlot(command, &index)) {
        return *failure;
    }
    const OtpSlot& slot = m_slots[static_cast<size_t>(index)];
    if (slot.mode != OtpSlot::Mode::ChallengeResponse) {
        return wrongData("Slot " + std::to_string(index + 1) + " is " +
                         (slot.configured() ? "not a challenge-response slot." : "empty."));
    }
    const auto challenge = Hex::decode(command.value("-c"));
    if (!challenge || challenge->empty() || challenge->size() > MaxChallengeBytes) {
        return wrongData("Option -c needs the challenge as hex digits, 1 to 64 bytes.");
    }
    return Outcome::afterTouch(touchTimeout(), [response = Hex::encode(slot.respond(*challenge))] {
        return Reply::ok().addRow({{"RESPONSE", response}});
    });
}

Outcome OtpFeature::reset()
{
    return Outcome::afterTouch(touchTimeout(), [this] {
        m_slots = {};
        return Reply::ok();
    });
}

Outcome OtpFeature::swap()
{
    if (slotCount() < 2) {
        return Reply(Status::NotSupported, "This key has only one OTP slot.");
    }
    std::swap(m_slots[0], m_slots[1]);
    return Reply::ok();
}

Outcome OtpFeature::setLanguage(const CommandLine& command)
{
    if (!m_key.model().keyboardLanguage) {
        return Reply(Status::NotSupported, "This key has no keyboard language setting.");
    }
    const std::string code = command.value("-c");
    if (code != "EN" && code != "FR") {
        return wrongData("Option -c needs EN or FR.");
    }
    m_language = code;
    return Reply::ok();
}

// Only the with-enter setting is reachable this way: read 80E3 0500, write 80E1 0501 with
// one data byte.
Outcome OtpFeature::sendApdu(const CommandLine& command)
{
    const auto apdu = Hex::decode(command.value("-c"));
    if (!apdu || apdu->size() < 4) {
        return wrongData("Option -c needs a command APDU as hex digits, at least 4 bytes.");
    }
    if (const auto refused = unavailable()) {
        return *refused;
    }
    const Hex::Bytes& bytes = *apdu;
    if (bytes[0] != 0x80) {
        return Reply(Status::ClassNotSupported, "Class not supported.");
    }
    if (bytes[1] == 0xE3) {
        if (bytes[2] != 0x05 || bytes[3] != 0x00) {
            return Reply(Status::WrongParameters, "Incorrect parameters P1 P2.");
        }
        return Reply::ok(m_withEnter ? "01" : "00");
    }
    if (bytes[1] == 0xE1) {
        if (bytes[2] != 0x05 || bytes[3] != 0x01) {
            return Reply(Status::WrongParameters, "Incorrect parameters P1 P2.");
        }
        if (bytes.size() != 6 || bytes[4] != 0x01 || bytes[5] > 0x01) {
            return wrongData("The with-enter setting takes one byte, 00 or 01.");
        }
        m_withEnter = bytes[5] == 0x01;
        return Reply::ok();
    }
    return Reply(Status::UnknownCommand, "Instruction not supported.");
}

std::string OtpFeature::touch(const Args& args)
{
    const std::string usage = "usage: otp touch <1|2> [challenge hex]";
    if (args.size() < 2 || args.size() > 3 || args[0] != "touch" || (args[1] != "1" && args[1] != "2")) {
        return ControlTable::error(usage);
    }
    const int index = args[1] == "1" ? 0 : 1;
    if (const auto refused = unavailable()) {
        return ControlTable::error(refused->info());
    }
    if (index >= slotCount()) {
        return ControlTable::error("this key has only one OTP slot");
    }
    OtpSlot& slot = m_slots[static_cast<size_t>(index)];
    if (!slot.configured()) {
        return ControlTable::error("slot " + args[1] + " is empty");
    }
    if (slot.mode == OtpSlot::Mode::ChallengeResponse) {
        const auto challenge = args.size() == 3 ? Hex::decode(args[2]) : std::nullopt;
        if (!challenge || challenge->size() > MaxChallengeBytes) {
            return ControlTable::error("slot " + args[1] + " answers a challenge: give it as hex, at most 64 bytes");
        }
        return ControlTable::ok(Hex::encode(slot.respond(*challenge)));
    }
    if (args.size() == 3) {
        return ControlTable::error("slot " + args[1] + " types without a challenge");
    }
    if (!m_key.device().hasTransport(TransportOtp)) {
        return ControlTable::error("the OTP keyboard transport is off: nothing is typed");
    }
    // The with-enter setting belongs to slot 1, the only slot the window offers it for.
    const bool enter = m_withEnter && index == 0;
    return ControlTable::ok(slot.typeOut() + (enter ? EnterMarker : ""));
}
