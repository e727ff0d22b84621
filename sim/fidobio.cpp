#include "fidobio.h"

#include "fidostatus.h"
#include "protocol.h"

#include <cstdlib>

namespace {

// These PINs travel as typed and may hold blanks, so the PIN is cut from the raw line: all
// that follows " -p ", up to the last occurrence of `until` (or the end of the line).
std::optional<std::string> typedPin(const std::string& raw, const std::string& until)
{
    const std::string line = !raw.empty() && raw.back() == '\r' ? raw.substr(0, raw.size() - 1) : raw;
    const std::string marker = " -p ";
    const size_t start = line.find(marker);
    if (start == std::string::npos) {
        return std::nullopt;
    }
    const size_t end = until.empty() ? line.size() : line.rfind(until);
    if (end == std::string::npos || end < start + marker.size()) {
        return std::nullopt;
    }
    return line.substr(start + marker.size(), end - start - marker.size());
}

// A template number as "0002", "2" or "0x0002".
std::optional<int> templateNumber(std::string text)
{
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) {
        text.pop_back();
    }
    if (text.rfind("0x", 0) == 0) {
        text.erase(0, 2);
    }
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return std::nullopt;
    }
    return static_cast<int>(std::strtol(text.c_str(), nullptr, 16));
}

std::string sampleInfo(FidoFingerprints::Sample sample, int remaining, int number)
{
    using Sample = FidoFingerprints::Sample;
    switch (sample) {
    case Sample::Good:
        return remaining == 0 ? FidoFingerprints::name(number) + " is enrolled." : std::string();
    case Sample::Poor:
        return "The sample was of poor quality. Place the finger again.";
    case Sample::NoActivity:
        return "No finger was placed on the sensor in time.";
    case Sample::NotLifted:
        return "The finger was not lifted off the sensor between samples.";
    }
    return {};
}

} // namespace

FidoBio::FidoBio(Key& key, FidoPin& pin) : m_key(key), m_pin(pin) {}

Outcome FidoBio::begin(const CommandLine& command)
{
    if (auto refused = noSensor()) {
        return *refused;
    }
    if (auto failure = checkTypedPin(typedPin(command.raw(), {}))) {
        return *failure;
    }
    if (m_fingerprints.full()) {
        return Reply(FidoStatus::FpDatabaseFull, "All " + std::to_string(FidoFingerprints::MaxTemplates) +
                                                     " fingerprint places are taken. Delete a fingerprint first.");
    }
    m_fingerprints.begin();
    return sample(true);
}

Outcome FidoBio::next(const CommandLine& command)
{
    if (auto refused = noSensor()) {
        return *refused;
    }
    const auto number = templateNumber(command.value("-i"));
    if (!number) {
        return Reply(Status::WrongData, "Option -i needs the template identifier as four hexadecimal digits.");
    }
    const auto enrolling = m_fingerprints.enrolling();
    if (!enrolling) {
        return Reply(FidoStatus::NotAllowed, "No fingerprint enrolment is in progress. Begin a new one.");
    }
    if (*number != *enrolling) {
        return Reply(FidoStatus::InvalidOption, "Template " + FidoFingerprints::templateId(*number) +
                                                    " is not being enrolled; " +
                                                    FidoFingerprints::templateId(*enrolling) + " is.");
    }
    return sample(false);
}

Reply FidoBio::cancel(const CommandLine&)
{
    if (auto refused = noSensor()) {
        return *refused;
    }
    m_fingerprints.cancel();
    return Reply::ok();
}

Outcome FidoBio::verify(const CommandLine&)
{
    if (auto refused = noSensor()) {
        return *refused;
    }
    if (m_fingerprints.templates().empty()) {
        return Reply(FidoStatus::NoCredentials, "No fingerprint is enrolled on this key.");
    }
    const Reply timedOut(FidoStatus::UserActionTimeout, "No finger was placed on the sensor in time.");
    const FidoFingerprints::Verify planned = m_fingerprints.takeVerify();
    if (planned == FidoFingerprints::Verify::Timeout) {
        return timedOut;
    }
    return Outcome::afterTouch(timedOut, [planned] {
        return planned == FidoFingerprints::Verify::Match
                   ? Reply::ok()
                   : Reply(FidoStatus::UvInvalid, "The finger does not match any enrolled fingerprint.");
    });
}

Reply FidoBio::remove(const CommandLine& command)
{
    if (auto refused = noSensor()) {
        return *refused;
    }
    const std::string raw = command.raw();
    const size_t index = raw.rfind(" -i ");
    const auto number = index == std::string::npos ? std::nullopt : templateNumber(raw.substr(index + 4));
    if (!number) {
        return Reply(Status::WrongData, "Option -i needs the template identifier as four hexadecimal digits.");
    }
    if (auto failure = checkTypedPin(typedPin(raw, " -i "))) {
        return *failure;
    }
    if (!m_fingerprints.remove(*number)) {
        return Reply(FidoStatus::InvalidOption,
                     "No fingerprint is enrolled as template " + FidoFingerprints::templateId(*number) + ".");
    }
    return Reply::ok();
}

Reply FidoBio::enumerate(const CommandLine&)
{
    if (auto refused = noSensor()) {
        return *refused;
    }
    Reply reply = Reply::ok();
    for (int number : m_fingerprints.templates()) {
        reply.addRow(
            {{"TEMPLATE_ID", FidoFingerprints::templateId(number)}, {"TEMP_NAME", FidoFingerprints::name(number)}});
    }
    return reply;
}

std::optional<Reply> FidoBio::noSensor() const
{
    if (m_key.model().fingerprint) {
        return std::nullopt;
    }
    return Reply(FidoStatus::InvalidCommand, "This key has no fingerprint sensor.");
}

std::optional<Reply> FidoBio::checkTypedPin(const std::optional<std::string>& pin)
{
    if (!pin || pin->empty()) {
        return Reply(Status::WrongData, "Option -p needs the FIDO2 PIN.");
    }
    return m_pin.verify(*pin);
}

// Only the reply to the first sample names the template, as the key answers.
Outcome FidoBio::sample(bool first)
{
    const int number = *m_fingerprints.enrolling();
    return Outcome::afterTouch(sampleReply(m_fingerprints.noFinger(), number, first), [this, number, first] {
        return sampleReply(m_fingerprints.takeSample(), number, first);
    });
}

Reply FidoBio::sampleReply(const FidoFingerprints::SampleResult& result, int number, bool first) const
{
    Reply::Row row;
    if (first) {
        row.emplace_back("TEMPLATE_ID", FidoFingerprints::templateId(number));
    }
    row.emplace_back("STATUS", std::to_string(static_cast<int>(result.status)));
    row.emplace_back("REMAINING", std::to_string(result.remaining));
    return Reply::ok(sampleInfo(result.status, result.remaining, number)).addRow(std::move(row));
}
