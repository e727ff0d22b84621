#pragma once

#include "model.h"
#include "statemap.h"

#include <string>

// The key's own configuration: which applications are on, which transports it offers now,
// and which it will offer after the next re-plug.
struct DeviceState
{
    unsigned applications = 0;
    unsigned transports = 0;
    unsigned nextTransports = 0;

    static DeviceState factory(const Model& model);

    bool hasApplication(unsigned bits) const { return (applications & bits) == bits; }
    bool hasTransport(unsigned bits) const { return (transports & bits) == bits; }

    // "FIDO2U2F+PIV+OPENPGP+OTP+NDEF": FIDO2 and U2F together read as one item.
    std::string applicationText() const;
    // "FIDO+CCID+OTP".
    std::string transportText() const;

    void save(StateMap& state) const;
    // Keeps only bits the model carries, so a hand-edited file cannot make a key impossible.
    void load(const StateMap& state, const Model& model);
};
