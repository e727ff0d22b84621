// Importing a certificate, or a key with its certificate from a PKCS#12 file.

#include "piv/pivcontroller.h"

#include "app/commands.h"
#include "support/protocol.h"
#include "ui/dialogmessage.h"
#include "ui_mainwindow.h"

namespace {

// The part after the last "." of the file name; the whole name when it has no ".".
QString extensionOf(const QString& path)
{
    return path.section(QLatin1Char('/'), -1).section(QLatin1Char('.'), -1);
}

// A PKCS#12 file carries a key as well as its certificate, whatever case its name is in.
bool isPkcs12(const QString& path)
{
    const QString extension = extensionOf(path);
    return extension.compare(QLatin1String("pfx"), Qt::CaseInsensitive) == 0 ||
           extension.compare(QLatin1String("p12"), Qt::CaseInsensitive) == 0;
}

} // namespace

void PivController::importCertificate()
{
    currentCertFile =
        pivOpenFileName(tr("Import Cert"), QStringLiteral("cert"), tr("Cert File (*.der *.cer *.crt *.pfx *.p12)"));
    if (currentCertFile.isEmpty() || !isPivPathAcceptable(currentCertFile))
        return;
    const bool pkcs12 = isPkcs12(currentCertFile);
    currentSlot = getSlot();
    if (!askPivPinAndManagementKey(currentPin)) {
        endPivOperation();
        return;
    }
    if (!pkcs12) {
        m_host.showBusy(QStringLiteral("Importing certificate, please wait ..."));
        m_host.send(Cmd::pivImportCertificate(currentSlot, currentPin, currentMgmtKey, QString(), currentCertFile),
                    CmdType::PivImportCertificate);
        return;
    }
    currentPassword = m_host.askPin(QStringLiteral("Password:"));
    // Only Cancel stops here: an accepted empty answer is a file without password.
    if (!m_host.pinAnswered() || !isPivPasswordAcceptable(currentPassword)) {
        endPivOperation();
        return;
    }
    m_host.showBusy(QStringLiteral("Importing certificate, please wait ..."));
    import_key(currentSlot, currentCertFile, currentPin, currentPassword, currentMgmtKey);
}

void PivController::import_key(QString slot, QString file, QString pin, QString password, QString mgmtKey)
{
    m_host.send(Cmd::pivImportKey(slot, pin, mgmtKey, password, file), CmdType::PivImportKey);
}

// The password travels as one unquoted word: a blank would split it, a double quote would start a file name.
bool PivController::isPivPasswordAcceptable(const QString& password)
{
    for (const QChar c : password) {
        if (c.isSpace() || c == QLatin1Char('"')) {
            m_host.showMessage(DialogMessage::Warning, QStringLiteral("Warning"),
                               QStringLiteral("The certificate password cannot contain blanks or double quotes."));
            return false;
        }
    }
    return true;
}

void PivController::onPivImportKeyReply(const JSON_OBJ& reply)
{
    if (pivStepFailed(reply))
        return;
    m_host.send(Cmd::pivImportCertificate(currentSlot, currentPin, currentMgmtKey, currentPassword, currentCertFile),
                CmdType::PivImportCertificate);
}

void PivController::onPivImportCertificateReply(const JSON_OBJ& reply)
{
    m_host.hideBusy();
    endPivOperation();
    if (reply.SW != Status::Success) {
        m_host.showFailure(reply);
        return;
    }
    m_host.showMessage(DialogMessage::Information, QStringLiteral("Success"),
                       QStringLiteral("Certificate imported successfully."));
    piv_getinfo();
}
