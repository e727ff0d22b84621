// How the key types its OTP: a Return after the value (raw APDUs through the backend) and the
// keyboard language.
#include "otp/otpcontroller.h"

#include "app/commands.h"
#include "support/protocol.h"
#include "ui/dialogmessage.h"
#include "ui_mainwindow.h"

void OtpController::getOTPValueWithEnter()
{
    m_host.send(Cmd::otpReadWithEnter(), CmdType::OtpReadWithEnter);
}

// Only a click writes: a check state set by the program emits no clicked().
void OtpController::saveWithEnter()
{
    m_host.send(Cmd::otpWriteWithEnter(ui->checkBox_withenter->checkState() == Qt::Checked),
                CmdType::OtpWriteWithEnter);
}

void OtpController::onOtpReadWithEnterReply(const JSON_OBJ& reply)
{
    if (reply.SW != Status::Success) {
        ui->checkBox_withenter->setEnabled(false);
        return;
    }
    ui->checkBox_withenter->setEnabled(true);
    ui->checkBox_withenter->setChecked(reply.INFO == "01");
}

void OtpController::onOtpWriteWithEnterReply(const JSON_OBJ& reply)
{
    if (reply.SW == Status::Success)
        m_host.showMessage(DialogMessage::Information, QStringLiteral("Success"), QStringLiteral("Set successfully."));
    else
        m_host.showFailure(reply);
}

void OtpController::saveLanguage()
{
    const QString language = ui->combobox_language->currentText().toLower();
    QString code;
    if (language == QLatin1String("english"))
        code = QStringLiteral("EN");
    else if (language == QLatin1String("french"))
        code = QStringLiteral("FR");
    else
        return;
    ui->save_language->setEnabled(false);
    m_host.send(Cmd::otpSetLanguage(code), CmdType::OtpSetLanguage);
}

void OtpController::onOtpSetLanguageReply(const JSON_OBJ& reply)
{
    ui->save_language->setEnabled(true);
    if (reply.SW == Status::Success)
        m_host.showMessage(DialogMessage::Information, QStringLiteral("Success"),
                           QStringLiteral("Set language successfully."));
    else
        m_host.showMessage(
            DialogMessage::Warning, QStringLiteral("Warning"),
            QStringLiteral("Failed to set language. \nThe current device may not support this function!"));
}
