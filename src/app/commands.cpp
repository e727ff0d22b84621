#include "app/commands.h"

#include "support/hex.h"

#include <QStringList>

namespace {

QString hex(const QString& text)
{
    QString out;
    Str2HexStr(text, out);
    return out;
}

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString passwordPart(const QString& password)
{
    return password.isEmpty() ? QString() : QStringLiteral(" -w ") + password;
}

} // namespace

namespace Cmd {

QString monitorStart()
{
    return QStringLiteral(" monitor start");
}
QString monitorStop()
{
    return QStringLiteral("monitor stop");
}
QString exitBackend()
{
    return QStringLiteral("exit");
}

QString fidoSetPin(const QString& newPin)
{
    return QStringLiteral(" fido set-pin -p ") + hex(newPin);
}

QString fidoChangePin(const QString& oldPin, const QString& newPin)
{
    return QStringLiteral(" fido change-pin -p ") + hex(oldPin) + QStringLiteral(" -n ") + hex(newPin);
}

QString fidoListCredentials(const QString& pin)
{
    return QStringLiteral(" fido get-resident-credentials -p ") + hex(pin);
}

QString fidoDeleteCredential(const QString& credentialId, const QString& credentialType)
{
    return QStringLiteral("fido delete-resident-credential -i ") + credentialId + QStringLiteral(" -t ") +
           credentialType;
}

QString fidoPinRetriesFromMenu()
{
    return QStringLiteral(" fido get_pin_retries ");
}
QString fidoPinRetriesFromRefresh()
{
    return QStringLiteral(" fido get_pin_retries");
}
QString fidoReset()
{
    return QStringLiteral("fido reset");
}

QString fidoEnrollBegin(const QString& pin)
{
    return QStringLiteral(" fido enrollment-begin -p ") + pin;
}

QString fidoEnrollNext(const QString& templateId)
{
    return QStringLiteral(" fido enrollment-next -i ") + templateId;
}

QString fidoRemoveEnrollment(const QString& pin, int templateNumber)
{
    return QStringLiteral(" fido remove-enrollment -p ") + pin + QStringLiteral(" -i 00") +
           QStringLiteral("%1").arg(templateNumber & 0xFF, 2, 16, QLatin1Char('0'));
}

QString fidoEnumerate()
{
    return QStringLiteral("fido enumerate");
}
QString fidoCancelEnrollment()
{
    return QStringLiteral(" fido cancel-enrollment ");
}
QString fidoVerifyEnrollment()
{
    return QStringLiteral(" fido verify-enrollment ");
}

QString pivChangePin(const QString& oldPin, const QString& newPin)
{
    return QStringLiteral(" piv change-pin -P ") + oldPin + QStringLiteral(" -n ") + newPin;
}

QString pivChangePuk(const QString& oldPuk, const QString& newPuk)
{
    return QStringLiteral(" piv change-puk -p ") + oldPuk + QStringLiteral(" -n ") + newPuk;
}

QString pivChangeManagementKey(const QString& pin, const QString& oldKey, const QString& newKey)
{
    return QStringLiteral(" piv change-management-key -p ") + pin + QStringLiteral(" -k ") + oldKey +
           QStringLiteral(" -n ") + newKey;
}

QString pivReset()
{
    return QStringLiteral("piv reset");
}

QString pivImportKey(const QString& slot, const QString& pin, const QString& managementKey, const QString& password,
                     const QString& file)
{
    return QStringLiteral(" piv import-key ") + slot + QStringLiteral(" -p ") + pin + QStringLiteral(" -k ") +
           managementKey + passwordPart(password) + QLatin1Char(' ') + quoted(file);
}

QString pivImportCertificate(const QString& slot, const QString& pin, const QString& managementKey,
                             const QString& password, const QString& file)
{
    return QStringLiteral(" piv import-certificate ") + slot + QStringLiteral(" -p ") + pin + QStringLiteral(" -k ") +
           managementKey + passwordPart(password) + QLatin1Char(' ') + quoted(file);
}

QString pivGenerateKey(const QString& slot, const QString& pin, const QString& managementKey, const QString& algorithm,
                       const QString& publicKeyFile)
{
    return QStringLiteral(" piv generate-key ") + slot + QStringLiteral(" -p ") + pin + QStringLiteral(" -k ") +
           managementKey + QStringLiteral(" -a ") + algorithm + QLatin1Char(' ') + publicKeyFile;
}

QString pivGenerateCertificate(const QString& slot, const QString& pin, const QString& managementKey,
                               const QString& publicKeyFile, const QString& subject)
{
    return QStringLiteral("piv ") + QStringLiteral("generate-certificate ") + slot + QStringLiteral(" -p ") + pin +
           QStringLiteral(" -k ") + managementKey + QLatin1Char(' ') + publicKeyFile + QStringLiteral(" -s ") +
           QLatin1Char(' ') + quoted(subject);
}

QString pivGenerateCsr(const QString& slot, const QString& pin, const QString& publicKeyFile, const QString& csrFile,
                       const QString& subject)
{
    return QStringLiteral("piv ") + QStringLiteral("generate-csr ") + slot + QStringLiteral(" -p ") + pin +
           QLatin1Char(' ') + publicKeyFile + QLatin1Char(' ') + quoted(csrFile) + QStringLiteral(" -s ") +
           quoted(subject);
}

QString pivDeleteCertificate(const QString& slot, const QString& pin, const QString& managementKey)
{
    return QStringLiteral(" piv delete-certificate ") + slot + QStringLiteral(" -p ") + pin + QStringLiteral(" -k ") +
           managementKey;
}

QString pivExportCertificate(const QString& slot, const QString& file)
{
    return QStringLiteral(" piv export-certificate ") + slot + QLatin1Char(' ') + quoted(file);
}

QString pivReadObject(const QString& slot)
{
    return QStringLiteral(" piv read-object ") + slot;
}
QString pivHasFingerprint()
{
    return QStringLiteral(" piv has_fingerprint ");
}

QString pivSetBioPolicy(const QString& slot, const QString& policy)
{
    return QStringLiteral(" piv set_biopolicy ") + slot + QStringLiteral(" --bio-policy ") + policy;
}

QString pivSetCachedTime(int seconds)
{
    return QStringLiteral(" piv set_cachedtime ") + QStringLiteral(" -t ") + QString::number(seconds);
}

QString otpPut(int slot, const QString& key, const QString& hash, const QString& mode, int digits, const QString& name)
{
    QStringList words{QStringLiteral("otp"), QStringLiteral("put"),
                      QStringLiteral("-s"),  QString::number(slot),
                      QStringLiteral("-k"),  key,
                      QStringLiteral("-a"),  hash,
                      QStringLiteral("-t"),  mode};
    if (digits > 0)
        words << QStringLiteral("-d") << QString::number(digits);
    words << QStringLiteral("-n") << name;
    return words.join(QLatin1Char(' '));
}

QString otpList()
{
    return QStringLiteral("otp list");
}

QString otpDelete(int slot, const QString& name)
{
    return QStringLiteral("otp delete -s ") + QString::number(slot) + QStringLiteral(" -n ") + name;
}

QString otpChallenge(int slot, const QString& challengeHex)
{
    return QStringLiteral("otp challenge -s ") + QString::number(slot) + QStringLiteral(" -c ") + challengeHex;
}

QString otpReset()
{
    return QStringLiteral("otp reset");
}
QString otpSwap()
{
    return QStringLiteral("otp swap");
}
QString otpSetLanguage(const QString& code)
{
    return QStringLiteral("otp set_language -c ") + code;
}
QString otpReadWithEnter()
{
    return QStringLiteral("device send_apdu -c 80E3050001");
}

QString otpWriteWithEnter(bool on)
{
    return on ? QStringLiteral("device send_apdu -c 80E105010101") : QStringLiteral("device send_apdu -c 80E105010100");
}

QString deviceSetApplication(int mask)
{
    return QStringLiteral("device set_application -s ") + QString::number(mask, 10);
}

QString deviceSetTransport(int transport)
{
    return QStringLiteral("device set_transport -s ") + QString::number(transport, 16).toUpper();
}

QString deviceInfo()
{
    return QStringList{QStringLiteral("monitor"), QStringLiteral("deviceinfo")}.join(QLatin1Char(' '));
}

bool isSafeLine(const QString& line)
{
    return !line.contains(QLatin1Char('\n')) && !line.contains(QLatin1Char('\r')) && !line.contains(QChar(0));
}

} // namespace Cmd
