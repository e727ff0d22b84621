#include "devicestate.h"

#include <vector>

namespace {

std::string joined(const std::vector<std::string>& items)
{
    std::string out;
    for (const std::string& item : items) {
        out += (out.empty() ? "" : "+") + item;
    }
    return out;
}

} // namespace

DeviceState DeviceState::factory(const Model& model)
{
    return DeviceState{model.applications, model.transports, model.transports};
}

std::string DeviceState::applicationText() const
{
    std::vector<std::string> items;
    if (hasApplication(AppFido2 | AppU2f)) {
        items.push_back("FIDO2U2F");
    } else if (hasApplication(AppFido2)) {
        items.push_back("FIDO2");
    } else if (hasApplication(AppU2f)) {
        items.push_back("U2F");
    }
    const std::pair<unsigned, const char*> others[] = {
        {AppPiv, "PIV"}, {AppOpenPgp, "OPENPGP"}, {AppOtp, "OTP"}, {AppNdef, "NDEF"}};
    for (const auto& [bit, name] : others) {
        if (hasApplication(bit)) {
            items.push_back(name);
        }
    }
    return joined(items);
}

std::string DeviceState::transportText() const
{
    std::vector<std::string> items;
    const std::pair<unsigned, const char*> names[] = {
        {TransportFido, "FIDO"}, {TransportCcid, "CCID"}, {TransportOtp, "OTP"}};
    for (const auto& [bit, name] : names) {
        if (hasTransport(bit)) {
            items.push_back(name);
        }
    }
    return joined(items);
}

void DeviceState::save(StateMap& state) const
{
    state.setInt("device.applications", applications);
    state.setInt("device.transports", transports);
    state.setInt("device.next_transports", nextTransports);
}

void DeviceState::load(const StateMap& state, const Model& model)
{
    const DeviceState fresh = factory(model);
    applications = static_cast<unsigned>(state.getInt("device.applications", fresh.applications)) & model.applications;
    transports = static_cast<unsigned>(state.getInt("device.transports", fresh.transports)) & model.transports;
    nextTransports =
        static_cast<unsigned>(state.getInt("device.next_transports", fresh.nextTransports)) & model.transports;
}
