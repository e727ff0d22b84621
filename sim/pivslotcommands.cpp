#include "pivslotcommands.h"

#include "pivcertificate.h"
#include "pivfile.h"
#include "pivkey.h"
#include "pivname.h"
#include "pivrequest.h"
#include "protocol.h"

namespace {

std::string shortened(const std::string& text)
{
    return text.size() <= 20 ? text : text.substr(0, 20) + "...";
}

Reply noCertificate(const std::string& slot)
{
    return Reply(Status::NotFound, "Slot " + slot + " holds no certificate.");
}

} // namespace

PivSlotCommands::PivSlotCommands(PivState& state) : m_state(state) {}

Reply PivSlotCommands::generateKey(const CommandLine& command)
{
    Target slot;
    if (auto refused =
            target(command, 2, "piv generate-key <slot> -p <PIN> -k <key> -a <algorithm> <public key file>", &slot)) {
        return *refused;
    }
    const std::string algorithm = command.value("-a");
    if (!PivKey::knownAlgorithm(algorithm)) {
        return Reply(Status::WrongData,
                     "Unknown algorithm " + shortened(algorithm) + ". Use ECCP256, ECCP384, RSA1024 or RSA2048.");
    }
    if (auto refused = verifySecrets(command, true)) {
        return *refused;
    }
    const auto key = PivKey::generate(algorithm);
    if (!key) {
        return Reply(Status::Failed, "The key pair could not be generated.");
    }
    std::string error;
    if (!PivFile::write(command.arguments()[1].text, key->publicPem(), &error)) {
        return Reply(Status::Failed, error);
    }
    slot.slot->keyPem = key->privatePem();
    return Reply::ok();
}

Reply PivSlotCommands::generateCertificate(const CommandLine& command)
{
    Target slot;
    if (auto refused = target(
            command, 2, "piv generate-certificate <slot> -p <PIN> -k <key> <public key file> -s <subject>", &slot)) {
        return *refused;
    }
    std::optional<PivName> name;
    if (auto refused = subject(command, &name)) {
        return *refused;
    }
    if (auto refused = verifySecrets(command, true)) {
        return *refused;
    }
    std::optional<PivKey> key;
    if (auto refused = slotKey(slot, command.arguments()[1].text, &key)) {
        return *refused;
    }
    const auto certificate = PivCertificate::selfSigned(*key, *name);
    if (!certificate) {
        return Reply(Status::Failed, "The certificate could not be signed.");
    }
    slot.slot->certificatePem = certificate->pem();
    return Reply::ok();
}

Reply PivSlotCommands::generateRequest(const CommandLine& command)
{
    Target slot;
    if (auto refused =
            target(command, 3, "piv generate-csr <slot> -p <PIN> <public key file> <CSR file> -s <subject>", &slot)) {
        return *refused;
    }
    std::optional<PivName> name;
    if (auto refused = subject(command, &name)) {
        return *refused;
    }
    if (auto refused = verifySecrets(command, false)) {
        return *refused;
    }
    std::optional<PivKey> key;
    if (auto refused = slotKey(slot, command.arguments()[1].text, &key)) {
        return *refused;
    }
    const auto request = PivRequest::pem(*key, *name);
    if (!request) {
        return Reply(Status::Failed, "The certificate request could not be signed.");
    }
    std::string error;
    if (!PivFile::write(command.arguments()[2].text, *request, &error)) {
        return Reply(Status::Failed, error);
    }
    return Reply::ok();
}

Reply PivSlotCommands::importKey(const CommandLine& command)
{
    return import(command, "piv import-key <slot> -p <PIN> -k <key> [-w <password>] <file>", &PivSlot::keyPem,
                  [](const std::string& content, const std::string& password, std::string* error) {
                      const auto key = PivKey::fromFile(content, password, error);
                      return key ? std::optional(key->privatePem()) : std::nullopt;
                  });
}

Reply PivSlotCommands::importCertificate(const CommandLine& command)
{
    return import(command, "piv import-certificate <slot> -p <PIN> -k <key> [-w <password>] <file>",
                  &PivSlot::certificatePem,
                  [](const std::string& content, const std::string& password, std::string* error) {
                      const auto certificate = PivCertificate::fromFile(content, password, error);
                      return certificate ? std::optional(certificate->pem()) : std::nullopt;
                  });
}

Reply PivSlotCommands::exportCertificate(const CommandLine& command)
{
    Target slot;
    if (auto refused = target(command, 2, "piv export-certificate <slot> <file>", &slot)) {
        return *refused;
    }
    if (slot.slot->certificatePem.empty()) {
        return noCertificate(slot.name);
    }
    std::string error;
    if (!PivFile::write(command.arguments()[1].text, slot.slot->certificatePem, &error)) {
        return Reply(Status::Failed, error);
    }
    return Reply::ok();
}

Reply PivSlotCommands::deleteCertificate(const CommandLine& command)
{
    Target slot;
    if (auto refused = target(command, 1, "piv delete-certificate <slot> -p <PIN> -k <key>", &slot)) {
        return *refused;
    }
    if (auto refused = verifySecrets(command, true)) {
        return *refused;
    }
    if (slot.slot->certificatePem.empty()) {
        return noCertificate(slot.name);
    }
    // As on a real key, the key pair stays in the slot.
    slot.slot->certificatePem.clear();
    return Reply::ok();
}

Reply PivSlotCommands::readObject(const CommandLine& command)
{
    Target slot;
    if (auto refused = target(command, 1, "piv read-object <slot>", &slot)) {
        return *refused;
    }
    const auto certificate = PivCertificate::fromPem(slot.slot->certificatePem);
    if (!certificate) {
        return noCertificate(slot.name);
    }
    // "SBJECT" is the name the GUI reads.
    return Reply::ok().addRow(
        {{"ISSUER", certificate->issuer()}, {"SBJECT", certificate->subject()}, {"VALIDITY", certificate->validity()}});
}

Reply PivSlotCommands::import(const CommandLine& command, const char* usage, std::string PivSlot::*field,
                              const PemReader& readPem)
{
    Target slot;
    std::string content;
    if (auto refused = target(command, 2, usage, &slot)) {
        return *refused;
    }
    if (auto refused = readFile(command.arguments()[1].text, &content)) {
        return *refused;
    }
    std::string error;
    const auto pem = readPem(content, command.value("-w"), &error);
    if (!pem) {
        return Reply(Status::WrongData, error);
    }
    if (auto refused = verifySecrets(command, true)) {
        return *refused;
    }
    slot.slot->*field = *pem;
    return Reply::ok();
}

std::optional<Reply> PivSlotCommands::target(const CommandLine& command, size_t arguments, const char* usage,
                                             Target* out)
{
    if (command.arguments().size() != arguments) {
        return Reply(Status::WrongData, std::string("Usage: ") + usage + ". Paths go between double quotes.");
    }
    out->name = command.arguments()[0].text;
    out->slot = m_state.slot(out->name);
    if (!out->slot) {
        return Reply(Status::WrongData, "Unknown slot " + shortened(out->name) + ". Slots are 9a, 9c, 9d and 9e.");
    }
    return std::nullopt;
}

std::optional<Reply> PivSlotCommands::verifySecrets(const CommandLine& command, bool needsManagementKey)
{
    const std::string pin = command.value("-p");
    if (pin.empty()) {
        return Reply(Status::WrongData, "Option -p needs the PIV PIN.");
    }
    const std::string managementKey = command.value("-k");
    if (needsManagementKey && managementKey.empty()) {
        return Reply(Status::WrongData, "Option -k needs the management key.");
    }
    if (auto refused = m_state.pin().verify(pin, false)) {
        return refused;
    }
    if (needsManagementKey) {
        return m_state.managementKey().verify(managementKey, true);
    }
    return std::nullopt;
}

std::optional<Reply> PivSlotCommands::slotKey(const Target& target, const std::string& publicPath,
                                              std::optional<PivKey>* key)
{
    *key = PivKey::fromPrivatePem(target.slot->keyPem);
    if (!*key) {
        return Reply(Status::NotFound, "Slot " + target.name + " holds no key. Generate one first.");
    }
    std::string error;
    const auto content = PivFile::readOwn(publicPath, &error);
    if (!content) {
        return Reply(Status::Failed, error);
    }
    const auto publicKey = PivKey::fromPublicPem(*content);
    if (!publicKey) {
        return Reply(Status::WrongData, publicPath + " holds no public key.");
    }
    if (!(*key)->samePublicKey(*publicKey)) {
        return Reply(Status::WrongData,
                     "The public key in " + publicPath + " is not the key of slot " + target.name + ".");
    }
    return std::nullopt;
}

std::optional<Reply> PivSlotCommands::subject(const CommandLine& command, std::optional<PivName>* name)
{
    std::string error;
    *name = PivName::parse(command.value("-s"), &error);
    if (!*name) {
        return Reply(Status::WrongData, error);
    }
    return std::nullopt;
}

std::optional<Reply> PivSlotCommands::readFile(const std::string& path, std::string* content)
{
    std::string error;
    const auto text = PivFile::read(path, &error);
    if (!text) {
        return Reply(Status::Failed, error);
    }
    *content = *text;
    return std::nullopt;
}
