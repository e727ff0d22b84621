#include "app/mainwindow.h"

#include "app/commands.h"
#include "app/keymodel.h"
#include "support/protocol.h"
#include "ui/dialogmessage.h"
#include "ui/inputrule.h"
#include "ui/waitingdialog.h"
#include "ui_mainwindow.h"

namespace {

constexpr quint32 kTwoTriesLeft = Status::WrongSecret + 2;
constexpr quint32 kOneTryLeft = Status::WrongSecret + 1;
constexpr quint32 kBlocked = Status::WrongSecret;
constexpr quint32 kResetTouchTimeout = Status::PivTouchTimeout;

} // namespace

void MainWindow::registerPivHandlers()
{
    registerOwnHandler(CmdType::PivChangePin, &MainWindow::onPivChangePinReply);
    registerOwnHandler(CmdType::PivChangePuk, &MainWindow::onPivChangePukReply);
    registerOwnHandler(CmdType::PivChangeManagementKey, &MainWindow::onPivChangeManagementKeyReply);
    registerOwnHandler(CmdType::PivReset, &MainWindow::onPivResetReply);
    registerOwnHandler(CmdType::PivImportKey, &MainWindow::onPivImportKeyReply);
    registerOwnHandler(CmdType::PivImportCertificate, &MainWindow::onPivImportCertificateReply);
    registerOwnHandler(CmdType::PivGenerateKey, &MainWindow::onPivGenerateKeyReply);
    registerOwnHandler(CmdType::PivGenerateCertificate, &MainWindow::onPivGenerateCertificateReply);
    registerOwnHandler(CmdType::PivGenerateCsr, &MainWindow::onPivGenerateCsrReply);
    registerOwnHandler(CmdType::PivDeleteCertificate, &MainWindow::onPivDeleteCertificateReply);
    registerOwnHandler(CmdType::PivExportCertificate, &MainWindow::onPivExportCertificateReply);
    registerOwnHandler(CmdType::PivReadObject, &MainWindow::onPivReadObjectReply);
    registerOwnHandler(CmdType::PivHasFingerprint, &MainWindow::onPivHasFingerprintReply);
    registerOwnHandler(CmdType::PivSetBioPolicy, &MainWindow::onPivSetBioPolicyReply);
    registerOwnHandler(CmdType::PivSetCachedTime, &MainWindow::onPivSetCachedTimeReply);
}

void MainWindow::on_piv_clicked()
{
    ui->bioPolicy->setVisible(KeyModel::hasFingerprintSensor(m_model));
    // One validator serves every visit.
    if (!ui->subjectV->validator())
        ui->subjectV->setValidator(InputRule::validator(InputRule::noCjk(), ui->subjectV));
    openPivPage();
}

void MainWindow::on_pivPin_clicked()
{
    const QMap<QString, QString> input = askNewPins(QStringLiteral("pivchangepin"));
    if (input.isEmpty() || !confirmLastTry(LastTryGuard::Secret::PivPin))
        return;
    cmdSend(Cmd::pivChangePin(input.value(QStringLiteral("old")), input.value(QStringLiteral("new"))),
            CmdType::PivChangePin);
}

void MainWindow::on_pivPuk_clicked()
{
    const QMap<QString, QString> input = askNewPins(QStringLiteral("pivchangepuk"));
    if (input.isEmpty() || !confirmLastTry(LastTryGuard::Secret::PivPuk))
        return;
    cmdSend(Cmd::pivChangePuk(input.value(QStringLiteral("old")), input.value(QStringLiteral("new"))),
            CmdType::PivChangePuk);
}

void MainWindow::on_pivMKey_clicked()
{
    m_pivPin = askPin(QStringLiteral("PIV PIN:"));
    if (!m_pivPin.isEmpty() && confirmLastTry(LastTryGuard::Secret::PivPin)) {
        const QMap<QString, QString> input = askNewPins(QStringLiteral("changeManKey"));
        if (!input.isEmpty())
            cmdSend(Cmd::pivChangeManagementKey(m_pivPin, input.value(QStringLiteral("old")),
                                                input.value(QStringLiteral("new"))),
                    CmdType::PivChangeManagementKey);
    }
    // The PIN is needed for this one line only.
    m_pivPin.clear();
}

void MainWindow::on_pivReset_clicked()
{
    if (!showMessage(DialogMessage::Question, QStringLiteral("Reset PIV"),
                     QStringLiteral("All PIV related certificate will be removed, continue? ")))
        return;
    m_waiting->show(this, QStringLiteral("Please touch your VELMORA FIDO Security Key, if necessary..."));
    cmdSend(Cmd::pivReset(), CmdType::PivReset);
}

void MainWindow::onPivChangePinReply(const JSON_OBJ& reply)
{
    if (reply.SW == Status::Success)
        showMessage(DialogMessage::Information, QStringLiteral("Success"), QStringLiteral("Change PIN successfully."));
    else
        showFailure(reply);
}

void MainWindow::onPivChangePukReply(const JSON_OBJ& reply)
{
    if (reply.SW == Status::Success)
        showMessage(DialogMessage::Information, QStringLiteral("Success"), QStringLiteral("Change PUK successfully."));
    else
        showPivVerifyFailure(reply, QStringLiteral("PUK"), QStringLiteral("PUK is blocked."));
}

void MainWindow::onPivChangeManagementKeyReply(const JSON_OBJ& reply)
{
    if (reply.SW == Status::Success)
        showMessage(DialogMessage::Information, QStringLiteral("Success"),
                    QStringLiteral("Change management key successfully."));
    else
        showPivVerifyFailure(reply, QStringLiteral("management key"), QStringLiteral("Management key is blocked."));
}

// The ISO 7816-4 "verification failed, X tries left" words have texts of their own for X = 2, 1, 0.
void MainWindow::showPivVerifyFailure(const JSON_OBJ& reply, const QString& secret, const QString& blockedText)
{
    const QString warning = QStringLiteral("Warning");
    const QString wrong = QStringLiteral("Verify failed. Wrong current ") + secret;
    switch (reply.SW) {
    case kTwoTriesLeft:
        showMessage(DialogMessage::Warning, warning, wrong + QStringLiteral(",2 tries left."));
        break;
    case kOneTryLeft:
        showMessage(DialogMessage::Warning, warning, wrong + QStringLiteral(",1 tries left."));
        break;
    case kBlocked:
        showMessage(DialogMessage::Warning, warning, blockedText);
        break;
    default:
        showFailure(reply);
    }
}

void MainWindow::onPivResetReply(const JSON_OBJ& reply)
{
    m_waiting->hide();
    if (reply.SW == Status::Success) {
        showMessage(DialogMessage::Information, QStringLiteral("Success"), QStringLiteral("Reset successfully."));
        piv_getinfo();
    } else if (reply.SW == kResetTouchTimeout) {
        showMessage(DialogMessage::Warning, QStringLiteral("Warning"), QStringLiteral("Touch time out."));
    } else {
        showFailure(reply);
    }
}
