#pragma once

#include "commandline.h"
#include "pivstate.h"
#include "reply.h"

#include <functional>
#include <optional>
#include <string>

class PivKey;
class PivName;

// The PIV commands that work on one slot: key generation, self-signed certificates, signing
// requests, import, export, delete and reading the certificate. Each checks its words, reads
// its input file and verifies the PIN and management key before it changes anything, and
// writes its output file before the slot changes, so a failure leaves the slot as it was.
class PivSlotCommands
{
public:
    explicit PivSlotCommands(PivState& state);

    Reply generateKey(const CommandLine& command);
    Reply generateCertificate(const CommandLine& command);
    Reply generateRequest(const CommandLine& command);
    Reply importKey(const CommandLine& command);
    Reply importCertificate(const CommandLine& command);
    Reply exportCertificate(const CommandLine& command);
    Reply deleteCertificate(const CommandLine& command);
    Reply readObject(const CommandLine& command);

private:
    struct Target
    {
        std::string name;
        PivSlot* slot = nullptr;
    };
    // The PEM text of what a file holds (file content, password), or nothing with *error set.
    using PemReader = std::function<std::optional<std::string>(const std::string&, const std::string&, std::string*)>;

    // Both imports: the file is read and checked before the secrets are tried, so a wrong file
    // costs no try.
    Reply import(const CommandLine& command, const char* usage, std::string PivSlot::*field, const PemReader& readPem);

    // The slot named by the first argument, with the argument count checked against usage.
    std::optional<Reply> target(const CommandLine& command, size_t arguments, const char* usage, Target* out);
    std::optional<Reply> verifySecrets(const CommandLine& command, bool needsManagementKey);
    // The slot's key, checked against the public key that key generation wrote to path.
    std::optional<Reply> slotKey(const Target& target, const std::string& publicPath, std::optional<PivKey>* key);
    static std::optional<Reply> subject(const CommandLine& command, std::optional<PivName>* name);
    static std::optional<Reply> readFile(const std::string& path, std::string* content);

    PivState& m_state;
};
