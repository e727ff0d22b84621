#include "app/mainwindow.h"

#include "app/page.h"

#include "app/commands.h"
#include "support/protocol.h"
#include "ui/dialogmessage.h"
#include "ui/waitingdialog.h"
#include "ui_mainwindow.h"

#include <QFileDialog>

namespace {

} // namespace

QString MainWindow::getSlot()
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

QString MainWindow::getSignature()
{
    return ui->rsa2048->isChecked() ? QStringLiteral("RSA2048") : QStringLiteral("ECCP256");
}

void MainWindow::piv_getinfo()
{
    m_keyReport.expectPivSlot(getSlot());
    cmdSend(Cmd::pivReadObject(getSlot()), CmdType::PivReadObject);
}

void MainWindow::openPivSubPage(int index)
{
    ui->contentPage->setCurrentIndex(index);
    setBtnStyleSheet(Page::Piv);
}

void MainWindow::openPivPage()
{
    openPivSubPage(Page::Piv);
    piv_getinfo();
}

void MainWindow::on_comboBox_currentIndexChanged(int)
{
    piv_getinfo();
}

void MainWindow::on_backPiv_clicked()
{
    openPivPage();
}

void MainWindow::onPivReadObjectReply(const JSON_OBJ& reply)
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
        m_scratch = map;
        if (m_scratch.contains("ISSUER")) {
            ui->label_4->setText(QStringLiteral("Issuer Name : "));
            ui->issValue->setText(QString::fromLocal8Bit(m_scratch.value("ISSUER")));
        }
        if (m_scratch.contains("SBJECT")) {
            ui->label_5->setText(QStringLiteral("Subject Name : "));
            ui->label_5->show();
            ui->subjectValue->setText(QString::fromLocal8Bit(m_scratch.value("SBJECT")));
            ui->subjectValue->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        }
        if (m_scratch.contains("VALIDITY")) {
            ui->label_6->setText(QStringLiteral("Validity Date : "));
            showCertificateValidity(QString::fromLocal8Bit(m_scratch.value("VALIDITY")));
        }
    }
    ui->certExp->setEnabled(true);
    ui->certDel->setEnabled(true);
}

void MainWindow::on_certDel_clicked()
{
    if (!showMessage(
            3, QStringLiteral("Delete certificate"),
            QStringLiteral(
                "This will delete the certificate and cannot be recovered. \nNote that the key is not deleted.")))
        return;
    currentSlot = getSlot();
    if (askPivPinAndManagementKey(m_pivPin))
        cmdSend(Cmd::pivDeleteCertificate(currentSlot, m_pivPin, currentMgmtKey), CmdType::PivDeleteCertificate);
    // Nothing after this one line needs the secrets.
    endPivOperation();
}

void MainWindow::onPivDeleteCertificateReply(const JSON_OBJ& reply)
{
    if (reply.SW == Status::Success) {
        showMessage(DialogMessage::Information, QStringLiteral("Success"),
                    QStringLiteral("Certificate delete successfully."));
        piv_getinfo();
    } else {
        showFailure(reply);
    }
}

void MainWindow::on_certExp_clicked()
{
    const QString file = pivSaveFileName(tr("Export certificate to file..."), QStringLiteral("Export"),
                                         tr("Certificate files (*.crt *.pem)"));
    if (file.isEmpty() || !isPivPathAcceptable(file))
        return;
    currentSlot = getSlot();
    cmdSend(Cmd::pivExportCertificate(currentSlot, file), CmdType::PivExportCertificate);
}

void MainWindow::onPivExportCertificateReply(const JSON_OBJ& reply)
{
    if (reply.SW == Status::Success)
        showMessage(DialogMessage::Information, QStringLiteral("Success"),
                    QStringLiteral("Certificate was exported. "));
    else
        showFailure(reply);
}

bool MainWindow::askPivPinAndManagementKey(QString& pin)
{
    pin = askPin(QStringLiteral("PIV PIN:"));
    if (pin.isEmpty() || !confirmLastTry(LastTryGuard::Secret::PivPin))
        return false;
    currentMgmtKey = askPin(QStringLiteral("Management Key:"));
    return !currentMgmtKey.isEmpty();
}

void MainWindow::endPivOperation()
{
    m_pivPin.clear();
    currentPin.clear();
    currentMgmtKey.clear();
    currentPassword.clear();
    m_publicKeyFolder.remove();
}

bool MainWindow::pivStepFailed(const JSON_OBJ& reply)
{
    if (reply.SW == Status::Success)
        return false;
    m_waiting->hide();
    endPivOperation();
    showFailure(reply);
    return true;
}

// The backend reads file names between double quotes and knows no escape for one inside.
bool MainWindow::isPivPathAcceptable(const QString& path)
{
    if (!isSingleLine(path))
        return false;
    if (!path.contains(QLatin1Char('"')))
        return true;
    showMessage(DialogMessage::Warning, QStringLiteral("Warning"),
                QStringLiteral("The file path cannot contain a double quote."));
    return false;
}

QString MainWindow::pivOpenFileName(const QString& caption, const QString& dir, const QString& filter)
{
    if (m_pivOpenFile)
        return m_pivOpenFile(caption, dir, filter);
    return QFileDialog::getOpenFileName(this, caption, dir, filter);
}

QString MainWindow::pivSaveFileName(const QString& caption, const QString& dir, const QString& filter)
{
    if (m_pivSaveFile)
        return m_pivSaveFile(caption, dir, filter);
    return QFileDialog::getSaveFileName(this, caption, dir, filter);
}
