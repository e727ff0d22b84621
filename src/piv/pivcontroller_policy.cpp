// The fingerprint policy of a slot, and how long a touch is remembered.

#include "piv/pivcontroller.h"

#include "app/commands.h"
#include "app/page.h"
#include "support/protocol.h"
#include "ui/dialogmessage.h"
#include "ui/registfingerprint.h"
#include "ui_mainwindow.h"

void PivController::openPolicyPage()
{
    m_host.send(Cmd::pivHasFingerprint(), CmdType::PivHasFingerprint);
    openPivSubPage(Page::PivPolicy);
    ui->never->setEnabled(false);
    ui->cached->setChecked(true);
    ui->save_pivPolicy->setEnabled(false);
    ui->policyHint->setText(QStringLiteral("Checking for an enrolled fingerprint..."));
    ui->policyHint->show();
    setCachedTimeVisible(true);
}

void PivController::onPivHasFingerprintReply(const JSON_OBJ& reply)
{
    // Only a key that confirms an enrolled fingerprint may get a policy.
    const bool enrolled = reply.SW == Status::Success && reply.INFO == "1";
    ui->save_pivPolicy->setEnabled(enrolled);
    ui->policyHint->setText(QStringLiteral(
        "Enrol a fingerprint first (FIDO, Fingerprint Management): without one no policy can be saved."));
    ui->policyHint->setVisible(!enrolled);
}

void PivController::setCachedTimeVisible(bool visible)
{
    ui->label_21->setVisible(visible);
    ui->groupBox_5->setVisible(visible);
}

void PivController::savePolicy()
{
    QString policy;
    if (ui->always->isChecked())
        policy = QStringLiteral("ALWAYS");
    else if (ui->cached->isChecked())
        policy = QStringLiteral("CACHED");
    else
        return;
    m_host.send(Cmd::pivSetBioPolicy(getSlot(), policy), CmdType::PivSetBioPolicy);
}

void PivController::onPivSetBioPolicyReply(const JSON_OBJ& reply)
{
    if (reply.SW != Status::Success)
        m_host.showFailure(reply);
    else if (ui->groupBox_5->isHidden())
        m_host.showMessage(DialogMessage::Information, QStringLiteral("Success"),
                           QStringLiteral("Biological policy set successfully."));
    else
        save_cachedTime();
}

void PivController::save_cachedTime()
{
    // The touch prompt stays until the reply closes it.
    m_host.runFingerprintDialog(QStringLiteral("testfinger"),
                                Cmd::pivSetCachedTime(10 * ui->cachedTime->currentIndex() + 20),
                                CmdType::PivSetCachedTime);
}

void PivController::onPivSetCachedTimeReply(const JSON_OBJ& reply)
{
    m_host.fingerprintDialog()->close();
    if (reply.SW == Status::Success)
        m_host.showMessage(DialogMessage::Information, QStringLiteral("Success"),
                           QStringLiteral("Change bio cachedtime successfully."));
    else
        m_host.showFailure(reply);
}
