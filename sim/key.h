#pragma once

#include "devicestate.h"
#include "feature.h"
#include "model.h"
#include "statemap.h"

#include <memory>
#include <string>
#include <vector>

// The simulated key: its model, its device configuration and its features' state.
// Presence (plugged or not) belongs to the Simulator, not to the key.
class Key
{
public:
    explicit Key(const Model& model);

    const Model& model() const { return *m_model; }
    DeviceState& device() { return m_device; }
    const DeviceState& device() const { return m_device; }

    void addFeature(std::unique_ptr<Feature> feature);
    const std::vector<std::unique_ptr<Feature>>& features() const { return m_features; }

    // Turns this into a factory-fresh key of the given model.
    void becomeNew(const Model& model);
    // Power-up: transports chosen before apply now, features drop volatile state.
    void plugged();

    void save(StateMap& state) const;
    // False when the map does not name a known model; the key is then left unchanged.
    bool load(const StateMap& state);

    std::string status() const;

private:
    const Model* m_model;
    DeviceState m_device;
    std::vector<std::unique_ptr<Feature>> m_features;
};
