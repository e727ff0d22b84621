#include "fidofingerprints.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>

std::string FidoFingerprints::name(int number)
{
    char text[32];
    std::snprintf(text, sizeof text, "Fingerprint %02d", number);
    return text;
}

std::string FidoFingerprints::templateId(int number)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%04x", number);
    return text;
}

void FidoFingerprints::begin()
{
    int number = 1;
    while (std::find(m_templates.begin(), m_templates.end(), number) != m_templates.end()) {
        ++number;
    }
    m_enrolling = number;
    m_remaining = SamplesPerTemplate;
}

FidoFingerprints::SampleResult FidoFingerprints::takeSample()
{
    Sample sample = Sample::Good;
    if (!m_nextSamples.empty()) {
        sample = m_nextSamples.front();
        m_nextSamples.pop_front();
    }
    if (sample != Sample::Good || !m_enrolling) {
        return {sample, m_remaining};
    }
    if (--m_remaining == 0) {
        m_templates.insert(std::lower_bound(m_templates.begin(), m_templates.end(), *m_enrolling), *m_enrolling);
        m_enrolling.reset();
    }
    return {sample, m_remaining};
}

void FidoFingerprints::cancel()
{
    m_enrolling.reset();
    m_remaining = 0;
}

bool FidoFingerprints::remove(int number)
{
    const auto it = std::find(m_templates.begin(), m_templates.end(), number);
    if (it == m_templates.end()) {
        return false;
    }
    m_templates.erase(it);
    return true;
}

void FidoFingerprints::clear()
{
    m_templates.clear();
    cancel();
}

FidoFingerprints::Verify FidoFingerprints::takeVerify()
{
    const Verify verify = m_nextVerify;
    m_nextVerify = Verify::Match;
    return verify;
}

void FidoFingerprints::save(StateMap& state) const
{
    std::string numbers;
    for (int number : m_templates) {
        numbers += (numbers.empty() ? "" : ",") + std::to_string(number);
    }
    state.set("fido.fingerprints", numbers);
}

void FidoFingerprints::load(const StateMap& state)
{
    clear();
    std::istringstream in(state.get("fido.fingerprints"));
    for (std::string word; std::getline(in, word, ',');) {
        const int number = std::atoi(word.c_str());
        const bool fresh = std::find(m_templates.begin(), m_templates.end(), number) == m_templates.end();
        if (number >= 1 && number <= MaxTemplates && fresh && !full()) {
            m_templates.push_back(number);
        }
    }
    std::sort(m_templates.begin(), m_templates.end());
}
