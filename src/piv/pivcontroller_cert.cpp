// The certificate in each slot: reading, deleting and exporting it; the checks and dialogs the
// PIV chains share.

#include "piv/pivcontroller.h"

#include "app/commands.h"
#include "app/page.h"
#include "support/protocol.h"
#include "ui/dialogmessage.h"
#include "ui_mainwindow.h"

#include <QFileDialog>

QString PivController::getSlot()
{
    switch (ui->comboBox->currentIndex()) {
    case 0:
        return QStringLiteral("9a");
    case 1:
        return QStringLiteral("9c");
    case 2:
        return QStringLiteral("9d");
    default:
        return QStringLiteral("9e");
    }
}

QString PivController::getSignature()
{
    return ui->rsa2048->isChecked() ? QStringLiteral("RSA2048") : QStringLiteral("ECCP256");
}

void PivController::piv_getinfo()
{
    m_host.expectPivSlot(getSlot());
    m_host.send(Cmd::pivReadObject(getSlot()), CmdType::PivReadObject);
}

void PivController::openPivSubPage(int index)
{
    ui->contentPage->setCurrentIndex(index);
    m_host.highlightMenu(Page::Piv);
}

void PivController::showPage()
{
    openPivSubPage(Page::Piv);
    piv_getinfo();
}

void PivController::showSlot()
{
    piv_getinfo();
}

void PivController::onPivReadObjectReply(const JSON_OBJ& reply)
{
    if (reply.SW != Status::Success) {
        ui->label_4->clear();
        ui->issValue->clear();
        ui->label_6->clear();
        showCertificateValidity(QString());
        ui->label_5->clear();
        ui->label_5->hide();
        ui->subjectValue->setText(QStringLiteral("No certificate loaded."));
        ui->subjectValue->setAlignment(Qt::AlignCenter);
        ui->certExp->setEnabled(false);
        ui->certDel->setEnabled(false);
        return;
    }
    for (const TextMap& map : reply.DATA) {
        if (map.contains("ISSUER")) {
            ui->label_4->setText(QStringLiteral("Issuer Name : "));
            ui->issValue->setText(QString::fromLocal8Bit(map.value("ISSUER")));
        }
        if (map.contains("SBJECT")) {
            ui->label_5->setText(QStringLiteral("Subject Name : "));
            ui->label_5->show();
            ui->subjectValue->setText(QString::fromLocal8Bit(map.value("SBJECT")));
            ui->subjectValue->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        }
        if (map.contains("VALIDITY")) {
            ui->label_6->setText(QStringLiteral("Validity Date : "));
            showCertificateValidity(QString::fromLocal8Bit(map.value("VALIDITY")));
        }
    }
    ui->certExp->setEnabled(true);
    ui->certDel->setEnabled(true);
}

void PivController::deleteCertificate()
{
    if (!m_host.showMessage(
            DialogMessage::Question, QStringLiteral("Delete certificate"),
            QStringLiteral(
                "This will delete the certificate and cannot be recovered. \nNote that the key is not deleted.")))
        return;
    currentSlot = getSlot();
    if (askPivPinAndManagementKey(m_pivPin))
        m_host.send(Cmd::pivDeleteCertificate(currentSlot, m_pivPin, currentMgmtKey), CmdType::PivDeleteCertificate);
    // Nothing after this one line needs the secrets.
    endPivOperation();
}

void PivController::onPivDeleteCertificateReply(const JSON_OBJ& reply)
{
    if (reply.SW == Status::Success) {
        m_host.showMessage(DialogMessage::Information, QStringLiteral("Success"),
                           QStringLiteral("Certificate delete successfully."));
        piv_getinfo();
    } else {
        m_host.showFailure(reply);
    }
}

void PivController::exportCertificate()
{
    const QString file = pivSaveFileName(tr("Export certificate to file..."), QStringLiteral("Export"),
                                         tr("Certificate files (*.crt *.pem)"));
    if (file.isEmpty() || !isPivPathAcceptable(file))
        return;
    currentSlot = getSlot();
    m_host.send(Cmd::pivExportCertificate(currentSlot, file), CmdType::PivExportCertificate);
}

void PivController::onPivExportCertificateReply(const JSON_OBJ& reply)
{
    if (reply.SW == Status::Success)
        m_host.showMessage(DialogMessage::Information, QStringLiteral("Success"),
                           QStringLiteral("Certificate was exported. "));
    else
        m_host.showFailure(reply);
}

bool PivController::askPivPinAndManagementKey(QString& pin)
{
    pin = m_host.askPin(QStringLiteral("PIV PIN:"));
    if (pin.isEmpty() || !m_host.confirmLastTry(LastTryGuard::Secret::PivPin))
        return false;
    currentMgmtKey = m_host.askPin(QStringLiteral("Management Key:"));
    return !currentMgmtKey.isEmpty();
}

bool PivController::pivStepFailed(const JSON_OBJ& reply)
{
    if (reply.SW == Status::Success)
        return false;
    m_host.hideBusy();
    endPivOperation();
    m_host.showFailure(reply);
    return true;
}

// The backend reads file names between double quotes and knows no escape for one inside.
bool PivController::isPivPathAcceptable(const QString& path)
{
    if (!m_host.isSingleLine(path))
        return false;
    if (!path.contains(QLatin1Char('"')))
        return true;
    m_host.showMessage(DialogMessage::Warning, QStringLiteral("Warning"),
                       QStringLiteral("The file path cannot contain a double quote."));
    return false;
}

QString PivController::pivOpenFileName(const QString& caption, const QString& dir, const QString& filter)
{
    if (m_pivOpenFile)
        return m_pivOpenFile(caption, dir, filter);
    return QFileDialog::getOpenFileName(m_host.dialogParent(), caption, dir, filter);
}

QString PivController::pivSaveFileName(const QString& caption, const QString& dir, const QString& filter)
{
    if (m_pivSaveFile)
        return m_pivSaveFile(caption, dir, filter);
    return QFileDialog::getSaveFileName(m_host.dialogParent(), caption, dir, filter);
}
