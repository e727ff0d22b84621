// The PIV section: its page, its reply handlers and the end of its operations.

#include "piv/pivcontroller.h"

#include "app/commands.h"
#include "app/keymodel.h"
#include "app/page.h"
#include "ui/inputrule.h"
#include "ui_mainwindow.h"

PivController::PivController(FeatureHost& host, Ui::MainWindow* ui, QObject* parent) : Feature(host, ui, parent) {}

void PivController::registerHandlers()
{
    handle(CmdType::PivChangePin, &PivController::onPivChangePinReply);
    handle(CmdType::PivChangePuk, &PivController::onPivChangePukReply);
    handle(CmdType::PivChangeManagementKey, &PivController::onPivChangeManagementKeyReply);
    handle(CmdType::PivReset, &PivController::onPivResetReply);
    handle(CmdType::PivImportKey, &PivController::onPivImportKeyReply);
    handle(CmdType::PivImportCertificate, &PivController::onPivImportCertificateReply);
    handle(CmdType::PivGenerateKey, &PivController::onPivGenerateKeyReply);
    handle(CmdType::PivGenerateCertificate, &PivController::onPivGenerateCertificateReply);
    handle(CmdType::PivGenerateCsr, &PivController::onPivGenerateCsrReply);
    handle(CmdType::PivDeleteCertificate, &PivController::onPivDeleteCertificateReply);
    handle(CmdType::PivExportCertificate, &PivController::onPivExportCertificateReply);
    handle(CmdType::PivReadObject, &PivController::onPivReadObjectReply);
    handle(CmdType::PivHasFingerprint, &PivController::onPivHasFingerprintReply);
    handle(CmdType::PivSetBioPolicy, &PivController::onPivSetBioPolicyReply);
    handle(CmdType::PivSetCachedTime, &PivController::onPivSetCachedTimeReply);
}

void PivController::forgetOperation()
{
    endPivOperation();
}

// Secrets typed for the key that has gone are not kept for the next one.
void PivController::keyGone()
{
    endPivOperation();
}

void PivController::forgetPin()
{
    m_pivPin.clear();
}

void PivController::endPivOperation()
{
    m_pivPin.clear();
    currentPin.clear();
    currentMgmtKey.clear();
    currentPassword.clear();
    m_publicKeyFolder.remove();
}

void PivController::openPage()
{
    ui->bioPolicy->setVisible(KeyModel::hasFingerprintSensor(m_host.keyModel()));
    // One validator serves every visit.
    if (!ui->subjectV->validator())
        ui->subjectV->setValidator(InputRule::validator(InputRule::noCjk(), ui->subjectV));
    showPage();
}
