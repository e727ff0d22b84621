#pragma once

#include "commandline.h"
#include "fidofingerprints.h"
#include "fidopin.h"
#include "key.h"
#include "outcome.h"

// The fingerprint commands of the FIDO2 application: enrolment sample by sample, cancel,
// test, remove and list. Every sample and test waits for a finger on the sensor, which is the
// key's touch sensor: the touch setting of the control channel decides whether it comes.
class FidoBio
{
public:
    FidoBio(Key& key, FidoPin& pin);

    FidoFingerprints& fingerprints() { return m_fingerprints; }
    const FidoFingerprints& fingerprints() const { return m_fingerprints; }

    Outcome begin(const CommandLine& command);
    Outcome next(const CommandLine& command);
    Reply cancel(const CommandLine& command);
    Outcome verify(const CommandLine& command);
    Reply remove(const CommandLine& command);
    Reply enumerate(const CommandLine& command);

private:
    std::optional<Reply> noSensor() const;
    std::optional<Reply> checkTypedPin(const std::optional<std::string>& pin);
    Outcome sample(bool first);
    Reply sampleReply(const FidoFingerprints::SampleResult& result, int number, bool first) const;

    Key& m_key;
    FidoPin& m_pin;
    FidoFingerprints m_fingerprints;
};
