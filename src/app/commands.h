#pragma once

#include <QString>

// The command types: each names one request and selects the handler of its reply.
namespace CmdType {
enum : int {
    Startup = 0,
    FidoSetPin = 1,
    FidoChangePin = 2,
    FidoListCredentials = 3,
    FidoDeleteCredential = 4,
    FidoPinRetries = 5,
    Dropped6 = 6,
    FidoReset = 8,
    FidoEnrollBegin = 9,
    FidoEnrollNext = 10,
    FidoRemoveEnrollment = 12,
    FidoEnumerate = 13,
    FidoCancelEnrollment = 14,
    FidoVerifyEnrollment = 15,
    PivChangePin = 16,
    PivChangePuk = 17,
    PivChangeManagementKey = 18,
    PivReset = 19,
    PivImportKey = 20,
    PivImportCertificate = 21,
    PivGenerateKey = 22,
    PivGenerateCertificate = 23,
    PivGenerateCsr = 24,
    PivDeleteCertificate = 25,
    PivExportCertificate = 26,
    PivReadObject = 27,
    PivHasFingerprint = 28,
    PivSetBioPolicy = 29,
    PivSetCachedTime = 30,
    OtpPut = 31,
    OtpList = 32,
    OtpDelete = 33,
    OtpChallenge = 34,
    OtpReset = 35,
    OtpSwap = 36,
    OtpSetLanguage = 37,
    OtpReadWithEnter = 38,
    OtpWriteWithEnter = 39,
    DeviceSetApplication = 40,
    Dropped41 = 41,
    DeviceSetTransport = 42,
    DeviceInfo = 51,
    Count = 52
};
}

// Every command line the window sends, each text written once. The blanks are part of the
// backend's language: several lines begin with a blank or hold two in a row.
namespace Cmd {

QString monitorStart();
QString monitorStop();
QString exitBackend();

QString fidoSetPin(const QString& newPin);
QString fidoChangePin(const QString& oldPin, const QString& newPin);
QString fidoListCredentials(const QString& pin);
// Without its PIN: the channel appends " -p " and the remembered PIN.
QString fidoDeleteCredential(const QString& credentialId, const QString& credentialType);
QString fidoPinRetriesFromMenu();
QString fidoPinRetriesFromRefresh();
QString fidoReset();
QString fidoEnrollBegin(const QString& pin);
QString fidoEnrollNext(const QString& templateId);
QString fidoRemoveEnrollment(const QString& pin, int templateNumber);
QString fidoEnumerate();
QString fidoCancelEnrollment();
QString fidoVerifyEnrollment();

QString pivChangePin(const QString& oldPin, const QString& newPin);
QString pivChangePuk(const QString& oldPuk, const QString& newPuk);
QString pivChangeManagementKey(const QString& pin, const QString& oldKey, const QString& newKey);
QString pivReset();
QString pivImportKey(const QString& slot, const QString& pin, const QString& managementKey, const QString& password,
                     const QString& file);
QString pivImportCertificate(const QString& slot, const QString& pin, const QString& managementKey,
                             const QString& password, const QString& file);
// publicKeyFile: where the key generation leaves the public key for the certificate or request.
QString pivGenerateKey(const QString& slot, const QString& pin, const QString& managementKey, const QString& algorithm,
                       const QString& publicKeyFile);
QString pivGenerateCertificate(const QString& slot, const QString& pin, const QString& managementKey,
                               const QString& publicKeyFile, const QString& subject);
QString pivGenerateCsr(const QString& slot, const QString& pin, const QString& publicKeyFile, const QString& csrFile,
                       const QString& subject);
QString pivDeleteCertificate(const QString& slot, const QString& pin, const QString& managementKey);
QString pivExportCertificate(const QString& slot, const QString& file);
QString pivReadObject(const QString& slot);
QString pivHasFingerprint();
QString pivSetBioPolicy(const QString& slot, const QString& policy);
QString pivSetCachedTime(int seconds);

// digits is 0 for the modes that take none.
QString otpPut(int slot, const QString& key, const QString& hash, const QString& mode, int digits, const QString& name);
QString otpList();
QString otpDelete(int slot, const QString& name);
// challengeHex: 1 to 64 bytes as hex digits.
QString otpChallenge(int slot, const QString& challengeHex);
QString otpReset();
QString otpSwap();
QString otpSetLanguage(const QString& code);
QString otpReadWithEnter();
QString otpWriteWithEnter(bool on);

QString deviceSetApplication(int mask);
QString deviceSetTransport(int transport);
QString deviceInfo();

// A line that would break the one-line-per-command framing of the backend's input.
bool isSafeLine(const QString& line);

} // namespace Cmd
