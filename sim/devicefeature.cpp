#include "devicefeature.h"

#include "protocol.h"

#include <cstdlib>

namespace {

// Digits only (the GUI writes QString::number), at most 8 so the value always fits.
std::optional<unsigned> parseNumber(const std::optional<std::string>& text, int base)
{
    if (!text || text->empty() || text->size() > 8) {
        return std::nullopt;
    }
    const std::string digits = base == 10 ? "0123456789" : "0123456789abcdefABCDEF";
    if (text->find_first_not_of(digits) != std::string::npos) {
        return std::nullopt;
    }
    return static_cast<unsigned>(std::strtoul(text->c_str(), nullptr, base));
}

std::string applicationNames(unsigned mask)
{
    const std::pair<unsigned, const char*> names[] = {{AppFido2, "FIDO2"},     {AppU2f, "U2F"},   {AppPiv, "PIV"},
                                                      {AppOpenPgp, "OPENPGP"}, {AppNdef, "NDEF"}, {AppOtp, "OTP"}};
    std::string out;
    for (const auto& [bit, name] : names) {
        if (mask & bit) {
            out += (out.empty() ? "" : ", ") + std::string(name);
        }
    }
    return out;
}

std::string transportNames(unsigned mask)
{
    DeviceState state;
    state.transports = mask;
    return state.transportText();
}

} // namespace

DeviceFeature::DeviceFeature(Key& key) : m_key(key) {}

void DeviceFeature::addCommands(CommandTable& commands)
{
    commands.add("monitor", "deviceinfo", [this](const CommandLine&) { return deviceInfo(); });
    commands.add("device", "set_application", [this](const CommandLine& command) { return setApplications(command); });
    commands.add("device", "set_transport", [this](const CommandLine& command) { return setTransports(command); });
}

Reply DeviceFeature::deviceInfo() const
{
    const Model& model = m_key.model();
    const DeviceState& device = m_key.device();
    return Reply::ok().addRow({{"NAME", model.name},
                               {"PID", model.pidVid},
                               {"COS_VERSION", model.version},
                               {"SERIAL_NUMBER", model.serial},
                               {"MODULE", model.module},
                               {"TRANSPORT", device.transportText()},
                               {"APPLICATION", device.applicationText()}});
}

Reply DeviceFeature::setApplications(const CommandLine& command)
{
    const auto mask = parseNumber(command.option("-s"), 10);
    if (!mask) {
        return Reply(Status::WrongData, "Option -s needs the application mask as a decimal number.");
    }
    if (*mask & ~unsigned(AllApps)) {
        return Reply(Status::WrongData, "Unknown application bits in mask " + std::to_string(*mask) + ".");
    }
    if (*mask == 0) {
        return Reply(Status::WrongData, "At least one application must stay enabled.");
    }
    const unsigned missing = *mask & ~m_key.model().applications;
    if (missing) {
        return Reply(Status::NotFound, "Application not installed on this key: " + applicationNames(missing) + ".");
    }
    m_key.device().applications = *mask;
    return Reply::ok();
}

Reply DeviceFeature::setTransports(const CommandLine& command)
{
    const auto mask = parseNumber(command.option("-s"), 16);
    if (!mask) {
        return Reply(Status::WrongData, "Option -s needs the transport mask as a hexadecimal number.");
    }
    if ((*mask & ~unsigned(AllTransports)) || *mask == 0) {
        return Reply(Status::WrongData, "Transport mask must combine 10 (OTP), 20 (FIDO) and 40 (CCID).");
    }
    const unsigned missing = *mask & ~m_key.model().transports;
    if (missing) {
        return Reply(Status::NotFound, "Transport not available on this key: " + transportNames(missing) + ".");
    }
    m_key.device().nextTransports = *mask;
    return Reply::ok("Remove and re-insert the key to use the new transports.");
}
