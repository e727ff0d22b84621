#pragma once

#include "pivsecret.h"
#include "statemap.h"

#include <map>
#include <string>

// What one PIV slot holds. Key and certificate are kept as PEM text, as they are saved.
struct PivSlot
{
    std::string keyPem;
    std::string certificatePem;
    std::string bioPolicy = "NEVER";

    // NEVER, ALWAYS or CACHED.
    static bool knownPolicy(const std::string& policy);
};

// The PIV application's memory: the three secrets, the four slots and the fingerprint cache
// time. The factory secrets are the ones the GUI's "Use Default" fills in.
class PivState
{
public:
    static const char* const FactoryPin;
    static const char* const FactoryPuk;
    static const char* const FactoryManagementKey;
    static constexpr int FactoryCachedTime = 30;

    PivState();

    // Null for a name that is not one of 9a, 9c, 9d, 9e.
    PivSlot* slot(const std::string& name);

    PivSecret& pin() { return m_pin; }
    PivSecret& puk() { return m_puk; }
    PivSecret& managementKey() { return m_managementKey; }
    void setCachedTime(int seconds) { m_cachedTime = seconds; }

    void factoryReset();
    void save(StateMap& state) const;
    void load(const StateMap& state);
    std::string status() const;

private:
    PivSecret m_pin;
    PivSecret m_puk;
    PivSecret m_managementKey;
    std::map<std::string, PivSlot> m_slots;
    int m_cachedTime = FactoryCachedTime;
};
