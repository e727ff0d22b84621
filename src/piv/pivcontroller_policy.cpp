#include "app/mainwindow.h"

#include "app/page.h"

#include "app/commands.h"
#include "support/protocol.h"
#include "ui/dialogmessage.h"
#include "ui/registfingerprint.h"
#include "ui_mainwindow.h"

void MainWindow::on_bioPolicy_clicked()
{
    cmdSend(Cmd::pivHasFingerprint(), CmdType::PivHasFingerprint);
    openPivSubPage(Page::PivPolicy);
    ui->never->setEnabled(false);
    ui->cached->setChecked(true);
    ui->save_pivPolicy->setEnabled(false);
    ui->policyHint->setText(QStringLiteral("Checking for an enrolled fingerprint..."));
    ui->policyHint->show();
    setCachedTimeVisible(true);
}

void MainWindow::onPivHasFingerprintReply(const JSON_OBJ& reply)
{
    // Only a key that confirms an enrolled fingerprint may get a policy.
    const bool enrolled = reply.SW == Status::Success && reply.INFO == "1";
    ui->save_pivPolicy->setEnabled(enrolled);
    ui->policyHint->setText(QStringLiteral(
        "Enrol a fingerprint first (FIDO, Fingerprint Management): without one no policy can be saved."));
    ui->policyHint->setVisible(!enrolled);
}

void MainWindow::on_cached_clicked()
{
    setCachedTimeVisible(true);
}

void MainWindow::on_always_clicked()
{
    setCachedTimeVisible(false);
}

void MainWindow::setCachedTimeVisible(bool visible)
{
    ui->label_21->setVisible(visible);
    ui->groupBox_5->setVisible(visible);
}

void MainWindow::on_save_pivPolicy_clicked()
{
    QString policy;
    if (ui->always->isChecked())
        policy = QStringLiteral("ALWAYS");
    else if (ui->cached->isChecked())
        policy = QStringLiteral("CACHED");
    else
        return;
    cmdSend(Cmd::pivSetBioPolicy(getSlot(), policy), CmdType::PivSetBioPolicy);
}

void MainWindow::onPivSetBioPolicyReply(const JSON_OBJ& reply)
{
    if (reply.SW != Status::Success)
        showFailure(reply);
    else if (ui->groupBox_5->isHidden())
        showMessage(DialogMessage::Information, QStringLiteral("Success"),
                    QStringLiteral("Biological policy set successfully."));
    else
        save_cachedTime();
}

void MainWindow::save_cachedTime()
{
    // The touch prompt stays until the reply closes it.
    runFingerprintDialog(QStringLiteral("testfinger"), Cmd::pivSetCachedTime(10 * ui->cachedTime->currentIndex() + 20),
                         CmdType::PivSetCachedTime);
}

void MainWindow::onPivSetCachedTimeReply(const JSON_OBJ& reply)
{
    m_regFinger->close();
    if (reply.SW == Status::Success)
        showMessage(DialogMessage::Information, QStringLiteral("Success"),
                    QStringLiteral("Change bio cachedtime successfully."));
    else
        showFailure(reply);
}

void MainWindow::on_backPiv_2_clicked()
{
    openPivPage();
}
