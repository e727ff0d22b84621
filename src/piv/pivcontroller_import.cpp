#include "app/mainwindow.h"

#include "app/commands.h"
#include "support/protocol.h"
#include "ui/dialogmessage.h"
#include "ui/piv_pin.h"
#include "ui/waitingdialog.h"
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

void MainWindow::on_certImp_clicked()
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
        m_waiting->show(this, QStringLiteral("Importing certificate, please wait ..."));
        cmdSend(Cmd::pivImportCertificate(currentSlot, currentPin, currentMgmtKey, QString(), currentCertFile),
                CmdType::PivImportCertificate);
        return;
    }
    currentPassword = askPin(QStringLiteral("Password:"));
    // Only Cancel stops here: an accepted empty answer is a file without password.
    if (!m_pivPinDlg->okPressed || !isPivPasswordAcceptable(currentPassword)) {
        endPivOperation();
        return;
    }
    m_waiting->show(this, QStringLiteral("Importing certificate, please wait ..."));
    import_key(currentSlot, currentCertFile, currentPin, currentPassword, currentMgmtKey);
}

void MainWindow::import_key(QString slot, QString file, QString pin, QString password, QString mgmtKey)
{
    cmdSend(Cmd::pivImportKey(slot, pin, mgmtKey, password, file), CmdType::PivImportKey);
}

// The password travels as one unquoted word: a blank would split it, a double quote would start a file name.
bool MainWindow::isPivPasswordAcceptable(const QString& password)
{
    for (const QChar c : password) {
        if (c.isSpace() || c == QLatin1Char('"')) {
            showMessage(DialogMessage::Warning, QStringLiteral("Warning"),
                        QStringLiteral("The certificate password cannot contain blanks or double quotes."));
            return false;
        }
    }
    return true;
}

void MainWindow::onPivImportKeyReply(const JSON_OBJ& reply)
{
    if (pivStepFailed(reply))
        return;
    cmdSend(Cmd::pivImportCertificate(currentSlot, currentPin, currentMgmtKey, currentPassword, currentCertFile),
            CmdType::PivImportCertificate);
}

void MainWindow::onPivImportCertificateReply(const JSON_OBJ& reply)
{
    m_waiting->hide();
    endPivOperation();
    if (reply.SW != Status::Success) {
        showFailure(reply);
        return;
    }
    showMessage(DialogMessage::Information, QStringLiteral("Success"),
                QStringLiteral("Certificate imported successfully."));
    piv_getinfo();
}
