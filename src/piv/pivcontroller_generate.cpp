// Generating a key in a slot, then its self-signed certificate or a certificate request.

#include "piv/pivcontroller.h"

#include "app/commands.h"
#include "app/page.h"
#include "piv/pivdefs.h"
#include "piv/pivsubject.h"
#include "support/protocol.h"
#include "ui/dialogmessage.h"
#include "ui_mainwindow.h"

namespace {

constexpr int kMaxSubjectLength = 15;

} // namespace

void PivController::openCertificatePage()
{
    ui->subjectV->setText(QStringLiteral("test"));
    ui->ecc256->setChecked(true);
    ui->selfSingn->setChecked(true);
    openPivSubPage(Page::PivCertificate);
}

void PivController::generate()
{
    currentSlot = getSlot();
    const QString algorithm = getSignature();
    if (!isSubjectAcceptable(ui->subjectV->text()))
        return;
    // The backend cannot tell whether a slot holds a key, so every generation asks.
    if (!m_host.askQuestion(
            QStringLiteral("Generate key"),
            QStringLiteral("Any key and certificate in slot %1 will be written over. Continue?").arg(currentSlot)))
        return;
    m_csrFile.clear();
    if (ui->request->isChecked()) {
        m_csrFile = pivSaveFileName(tr("Save CSR to file.."), QStringLiteral("CSR"), tr("CSR Files (*.csr *.pem )"));
        if (m_csrFile.isEmpty() || !isPivPathAcceptable(m_csrFile))
            return;
    }
    if (!askPivPinAndManagementKey(currentPin)) {
        endPivOperation();
        return;
    }
    generate_key(currentSlot, algorithm, currentPin, currentMgmtKey);
}

// Every refusal of the backend's that can be foreseen comes before the slot is written.
bool PivController::isSubjectAcceptable(const QString& subject)
{
    if (!m_host.isSingleLine(subject))
        return false;
    QString problem;
    // The backend drops the blanks around a subject.
    if (subject.trimmed().isEmpty())
        problem = QStringLiteral("Subject name cannot be empty.");
    else if (subject.size() > kMaxSubjectLength)
        problem = QStringLiteral("The length of subject name must be between 0-15 characters.");
    // The backend reads the subject between double quotes and knows no escape for one inside.
    else if (subject.contains(QLatin1Char('"')))
        problem = QStringLiteral("The subject name cannot contain a double quote.");
    else
        problem = PivSubject::problem(subject);
    if (problem.isEmpty())
        return true;
    m_host.showMessage(DialogMessage::Warning, QStringLiteral("Warning"), problem);
    return false;
}

void PivController::generate_key(QString slot, QString algorithm, QString pin, QString mgmtKey)
{
    const QString publicKeyFile = m_publicKeyFolder.filePath();
    if (publicKeyFile.isEmpty()) {
        endPivOperation();
        m_host.showMessage(DialogMessage::Warning, QStringLiteral("Warning"),
                           QStringLiteral("No private temporary folder could be created."));
        return;
    }
    if (ui->contentPage->currentIndex() != Page::PivPairing) {
        m_host.hideBusy();
        m_host.showBusy(QStringLiteral("  Generating new key ... "));
    } else if (slot == QLatin1String("9a")) {
        m_host.hideBusy();
        m_host.showBusy(QStringLiteral("  Generating new certificate ... "));
    }
    m_host.send(Cmd::pivGenerateKey(slot, pin, mgmtKey, algorithm, publicKeyFile), CmdType::PivGenerateKey);
}

void PivController::onPivGenerateKeyReply(const JSON_OBJ& reply)
{
    if (pivStepFailed(reply))
        return;
    if (ui->contentPage->currentIndex() == Page::PivPairing) {
        m_host.send(Cmd::pivGenerateCertificate(currentSlot, currentPin, currentMgmtKey, m_publicKeyFolder.filePath(),
                                                QString::fromLatin1(PivPairing::kSubject)),
                    CmdType::PivGenerateCertificate);
        return;
    }
    m_host.hideBusy();
    if (ui->request->isChecked())
        m_host.send(
            Cmd::pivGenerateCsr(currentSlot, currentPin, m_publicKeyFolder.filePath(), m_csrFile, ui->subjectV->text()),
            CmdType::PivGenerateCsr);
    else if (ui->selfSingn->isChecked())
        m_host.send(Cmd::pivGenerateCertificate(currentSlot, currentPin, currentMgmtKey, m_publicKeyFolder.filePath(),
                                                ui->subjectV->text()),
                    CmdType::PivGenerateCertificate);
}

void PivController::failAfterNewKey(const JSON_OBJ& reply)
{
    m_host.hideBusy();
    endPivOperation();
    m_host.showFailure(reply,
                       QStringLiteral("Slot %1 now holds a new key without a matching certificate.").arg(currentSlot));
}

void PivController::onPivGenerateCertificateReply(const JSON_OBJ& reply)
{
    if (reply.SW != Status::Success) {
        failAfterNewKey(reply);
        return;
    }
    const bool pairing = ui->contentPage->currentIndex() == Page::PivPairing;
    if (pairing && currentSlot == QLatin1String("9a")) {
        currentSlot = QStringLiteral("9d");
        generate_key(currentSlot, QStringLiteral("ECCP256"), currentPin, currentMgmtKey);
        return;
    }
    endPivOperation();
    if (pairing && currentSlot == QLatin1String("9d")) {
        m_host.hideBusy();
        m_host.showMessage(DialogMessage::Information, QStringLiteral("Success"),
                           QStringLiteral("Setup for macOS successfully.\nRe-plug the device and complete the pairing "
                                          "process. You can log in to macOS with the devices"));
        return;
    }
    m_host.showMessage(DialogMessage::Information, QStringLiteral("Success"),
                       QStringLiteral("Generate a new self-signed certificate successfully."));
    piv_getinfo();
}

void PivController::onPivGenerateCsrReply(const JSON_OBJ& reply)
{
    if (reply.SW != Status::Success) {
        failAfterNewKey(reply);
        return;
    }
    endPivOperation();
    m_host.showMessage(DialogMessage::Information, QStringLiteral("Success"),
                       QStringLiteral("Generate a certificate request successfully."));
    piv_getinfo();
}
