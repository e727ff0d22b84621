// The FIDO2 section: which page a key gets, and setting or changing its PIN.

#include "app/mainwindow.h"

#include "app/page.h"

#include "app/commands.h"
#include "app/keymodel.h"
#include "support/protocol.h"
#include "ui/dialogmessage.h"
#include "ui/waitingdialog.h"
#include "ui_mainwindow.h"

namespace {

// The key's FIDO2 application has no PIN yet.
constexpr quint32 kPinNotSet = 0x35;

} // namespace

void MainWindow::registerFidoHandlers()
{
    registerHandler(CmdType::FidoSetPin, &MainWindow::onFidoSetPinReply);
    registerHandler(CmdType::FidoChangePin, &MainWindow::onFidoChangePinReply);
    registerHandler(CmdType::FidoPinRetries, &MainWindow::onFidoPinRetriesReply);
    registerHandler(CmdType::FidoListCredentials, &MainWindow::onFidoListCredentialsReply);
    registerHandler(CmdType::FidoDeleteCredential, &MainWindow::onFidoDeleteCredentialReply);
    registerHandler(CmdType::FidoReset, &MainWindow::onFidoResetReply);
    registerHandler(CmdType::FidoEnrollBegin, &MainWindow::onFidoEnrollBeginReply);
    registerHandler(CmdType::FidoEnrollNext, &MainWindow::onFidoEnrollNextReply);
    registerHandler(CmdType::FidoRemoveEnrollment, &MainWindow::onFidoRemoveEnrollmentReply);
    registerHandler(CmdType::FidoEnumerate, &MainWindow::onFidoEnumerateReply);
    registerHandler(CmdType::FidoCancelEnrollment, &MainWindow::onFidoCancelEnrollmentReply);
    registerHandler(CmdType::FidoVerifyEnrollment, &MainWindow::onFidoVerifyEnrollmentReply);
}

void MainWindow::setFidoPinButtons(bool havePin)
{
    const QString text = havePin ? QStringLiteral("Change PIN") : QStringLiteral("Set PIN");
    ui->fidoSetPIN->setText(text);
    ui->fidoSetPIN1->setText(text);
}

void MainWindow::on_fido_clicked()
{
    ui->contentPage->setCurrentIndex(KeyModel::hasFingerprintSensor(m_model) ? Page::FidoWithSensor : Page::Fido);
    setBtnStyleSheet(Page::Fido);
    cmdSend(Cmd::fidoPinRetriesFromMenu(), CmdType::FidoPinRetries);
}

void MainWindow::on_fidoSetPIN_clicked()
{
    if (isfidoHavePin) {
        const QMap<QString, QString> pins = showChangePINDialog(QStringLiteral("fidochangepin"));
        if (pins.isEmpty() || !confirmLastTry(LastTryGuard::Secret::FidoPin))
            return;
        m_waiting->show(this, QStringLiteral("Changing PIN, please wait ..."));
        cmdSend(Cmd::fidoChangePin(pins.value(QStringLiteral("old")), pins.value(QStringLiteral("new"))),
                CmdType::FidoChangePin);
        return;
    }
    const QMap<QString, QString> pins = showChangePINDialog(QStringLiteral("fidosetpin"));
    if (pins.isEmpty())
        return;
    m_waiting->show(this, QStringLiteral("Setting PIN, please wait ..."));
    cmdSend(Cmd::fidoSetPin(pins.value(QStringLiteral("new"))), CmdType::FidoSetPin);
}

void MainWindow::on_fidoSetPIN1_clicked()
{
    on_fidoSetPIN_clicked();
}

void MainWindow::onFidoSetPinReply(const JSON_OBJ& reply)
{
    m_waiting->hide();
    m_fidoPin.clear();
    if (reply.SW != Status::Success) {
        showFailure(reply);
        return;
    }
    showMessage(DialogMessage::Information, QStringLiteral("Success"), QStringLiteral("Set PIN successfully."));
    isfidoHavePin = true;
    setFidoPinButtons(true);
}

void MainWindow::onFidoChangePinReply(const JSON_OBJ& reply)
{
    m_waiting->hide();
    m_fidoPin.clear();
    if (reply.SW != Status::Success) {
        showFailure(reply);
        return;
    }
    showMessage(DialogMessage::Information, QStringLiteral("Success"), QStringLiteral("Change PIN successfully."));
}

void MainWindow::onFidoPinRetriesReply(const JSON_OBJ& reply)
{
    // Any other status leaves the state as it was and says nothing.
    if (reply.SW == kPinNotSet) {
        isfidoHavePin = false;
        setFidoPinButtons(false);
    } else if (reply.SW == Status::Success) {
        isfidoHavePin = true;
        setFidoPinButtons(true);
    }
}
