#pragma once

#include "statemap.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

// The fingerprint templates of a key with a sensor, the enrolment in progress, and what the
// next finger on the sensor will do (set from the control channel; by default every sample
// is good and every test matches).
class FidoFingerprints
{
public:
    static constexpr int MaxTemplates = 10;
    static constexpr int SamplesPerTemplate = 4;

    // Sample status as the key reports it, in decimal: good, poor quality, no finger in time,
    // finger not lifted between samples.
    enum class Sample { Good = 0, Poor = 7, NoActivity = 13, NotLifted = 14 };
    enum class Verify { Match, NoMatch, Timeout };

    struct SampleResult
    {
        Sample status;
        int remaining;
    };

    // Template numbers, ascending.
    const std::vector<int>& templates() const { return m_templates; }
    bool full() const { return m_templates.size() >= MaxTemplates; }
    // "Fingerprint 03": the number sits at characters 12 and 13.
    static std::string name(int number);
    // "0x0003", as TEMPLATE_ID carries it.
    static std::string templateId(int number);

    // Starts enrolling into the lowest free number, dropping an unfinished enrolment. Call only
    // when not full.
    void begin();
    std::optional<int> enrolling() const { return m_enrolling; }
    // Takes one sample for the enrolment in progress; the last good one stores the template.
    SampleResult takeSample();
    // The sample status a timed-out finger gives, with the count unchanged.
    SampleResult noFinger() const { return {Sample::NoActivity, m_remaining}; }
    void cancel();

    bool remove(int number);
    void clear();
    // Power-up: an unfinished enrolment is lost.
    void plugged() { cancel(); }

    void queueSample(Sample sample) { m_nextSamples.push_back(sample); }
    void setNextVerify(Verify verify) { m_nextVerify = verify; }
    // The outcome of the next test, back to a match afterwards.
    Verify takeVerify();

    void save(StateMap& state) const;
    void load(const StateMap& state);

private:
    std::vector<int> m_templates;
    std::optional<int> m_enrolling;
    int m_remaining = 0;
    std::deque<Sample> m_nextSamples;
    Verify m_nextVerify = Verify::Match;
};
