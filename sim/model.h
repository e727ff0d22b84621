#pragma once

#include "protocol.h"

#include <string>
#include <vector>

// One hardware model of the key: what it is and what it carries. A fresh key of a model has
// every application and transport it carries switched on.
struct Model
{
    std::string module;  // "R15", the GUI's device model text
    std::string name;    // shown on the home page
    std::string pidVid;  // "PID&VID" text
    std::string version; // "1.0.00" makes the GUI hide the version line
    std::string serial;  // "00000000" makes the GUI hide the serial line
    unsigned transports;
    unsigned applications;
    bool fingerprint;
    int otpSlots;
    bool keyboardLanguage;

    bool carries(unsigned applicationBits) const { return (applications & applicationBits) == applicationBits; }

    static const std::vector<Model>& all();
    // Null for an unknown module name.
    static const Model* find(const std::string& module);
    static const Model& defaultModel();
};
