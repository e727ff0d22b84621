#include "pivstate.h"

#include "pivcertificate.h"
#include "pivkey.h"

const char* const PivState::FactoryPin = "80417326";
const char* const PivState::FactoryPuk = "80417326";
const char* const PivState::FactoryManagementKey = "7E3D0C41F58B29D6B1C48E2F7D0B5C63D6E1F4C8072B3B5E";

bool PivSlot::knownPolicy(const std::string& policy)
{
    return policy == "NEVER" || policy == "ALWAYS" || policy == "CACHED";
}

PivState::PivState()
    : m_pin("PIN", FactoryPin, false), m_puk("PUK", FactoryPuk, false),
      m_managementKey("management key", FactoryManagementKey, true)
{
    factoryReset();
}

PivSlot* PivState::slot(const std::string& name)
{
    const auto it = m_slots.find(name);
    return it == m_slots.end() ? nullptr : &it->second;
}

void PivState::factoryReset()
{
    m_pin.factoryReset();
    m_puk.factoryReset();
    m_managementKey.factoryReset();
    m_slots = {{"9a", {}}, {"9c", {}}, {"9d", {}}, {"9e", {}}};
    m_cachedTime = FactoryCachedTime;
}

void PivState::save(StateMap& state) const
{
    m_pin.save(state, "piv.pin");
    m_puk.save(state, "piv.puk");
    m_managementKey.save(state, "piv.management_key");
    state.setInt("piv.cached_time", m_cachedTime);
    for (const auto& [name, slot] : m_slots) {
        const std::string prefix = "piv.slot." + name + ".";
        state.set(prefix + "key", slot.keyPem);
        state.set(prefix + "certificate", slot.certificatePem);
        state.set(prefix + "bio_policy", slot.bioPolicy);
    }
}

// A damaged entry (hand-edited file) leaves that part as on a new key.
void PivState::load(const StateMap& state)
{
    m_pin.load(state, "piv.pin");
    m_puk.load(state, "piv.puk");
    m_managementKey.load(state, "piv.management_key");
    const long long cachedTime = state.getInt("piv.cached_time", FactoryCachedTime);
    m_cachedTime = cachedTime >= 1 && cachedTime <= 255 ? static_cast<int>(cachedTime) : FactoryCachedTime;
    for (auto& [name, slot] : m_slots) {
        const std::string prefix = "piv.slot." + name + ".";
        const std::string keyPem = state.get(prefix + "key");
        const std::string certificatePem = state.get(prefix + "certificate");
        const std::string policy = state.get(prefix + "bio_policy");
        slot.keyPem = PivKey::fromPrivatePem(keyPem) ? keyPem : std::string();
        slot.certificatePem = PivCertificate::fromPem(certificatePem) ? certificatePem : std::string();
        slot.bioPolicy = PivSlot::knownPolicy(policy) ? policy : PivSlot().bioPolicy;
    }
}

std::string PivState::status() const
{
    std::string keys;
    std::string certificates;
    for (const auto& [name, slot] : m_slots) {
        if (!slot.keyPem.empty()) {
            keys += (keys.empty() ? "" : ",") + name;
        }
        if (!slot.certificatePem.empty()) {
            certificates += (certificates.empty() ? "" : ",") + name;
        }
    }
    return "piv_pin_retries=" + std::to_string(m_pin.retriesLeft()) +
           " piv_puk_retries=" + std::to_string(m_puk.retriesLeft()) +
           " piv_key_retries=" + std::to_string(m_managementKey.retriesLeft()) +
           " piv_keys=" + (keys.empty() ? "none" : keys) +
           " piv_certificates=" + (certificates.empty() ? "none" : certificates);
}
