#include "key.h"

#include <cstdio>

namespace {

std::string hexMask(unsigned mask)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", mask);
    return text;
}

} // namespace

Key::Key(const Model& model) : m_model(&model), m_device(DeviceState::factory(model)) {}

void Key::addFeature(std::unique_ptr<Feature> feature)
{
    m_features.push_back(std::move(feature));
}

void Key::becomeNew(const Model& model)
{
    m_model = &model;
    m_device = DeviceState::factory(model);
    for (const auto& feature : m_features) {
        feature->factoryReset();
    }
}

void Key::plugged()
{
    m_device.transports = m_device.nextTransports;
    for (const auto& feature : m_features) {
        feature->plugged();
    }
}

void Key::save(StateMap& state) const
{
    state.set("key.model", m_model->module);
    m_device.save(state);
    for (const auto& feature : m_features) {
        feature->save(state);
    }
}

bool Key::load(const StateMap& state)
{
    const Model* model = Model::find(state.get("key.model"));
    if (!model) {
        return false;
    }
    becomeNew(*model);
    m_device.load(state, *model);
    for (const auto& feature : m_features) {
        feature->load(state);
    }
    return true;
}

std::string Key::status() const
{
    std::string out = "model=" + m_model->module + " applications=" + hexMask(m_device.applications) +
                      " transports=" + hexMask(m_device.transports) +
                      " next_transports=" + hexMask(m_device.nextTransports);
    for (const auto& feature : m_features) {
        const std::string words = feature->status();
        if (!words.empty()) {
            out += " " + words;
        }
    }
    return out;
}
