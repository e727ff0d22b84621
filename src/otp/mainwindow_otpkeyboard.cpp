// How the key types its OTP: a Return after the value (raw APDUs through the backend) and the
// keyboard language.
#include "app/commands.h"
#include "app/mainwindow.h"
#include "support/protocol.h"
#include "ui/dialogmessage.h"
#include "ui_mainwindow.h"

void MainWindow::getOTPValueWithEnter()
{
    cmdSend(Cmd::otpReadWithEnter(), CmdType::OtpReadWithEnter);
}

void MainWindow::setOTPValueWithEnter(bool on)
{
    cmdSend(Cmd::otpWriteWithEnter(on), CmdType::OtpWriteWithEnter);
}

// Only a click writes: a check state set by the program emits no clicked().
void MainWindow::on_checkBox_withenter_clicked()
{
    setOTPValueWithEnter(ui->checkBox_withenter->checkState() == Qt::Checked);
}

void MainWindow::onOtpReadWithEnterReply(const JSON_OBJ& reply)
{
    if (reply.SW != Status::Success) {
        ui->checkBox_withenter->setEnabled(false);
        return;
    }
    ui->checkBox_withenter->setEnabled(true);
    ui->checkBox_withenter->setChecked(reply.INFO == "01");
}

void MainWindow::onOtpWriteWithEnterReply(const JSON_OBJ& reply)
{
    if (reply.SW == Status::Success)
        showMessage(DialogMessage::Information, QStringLiteral("Success"), QStringLiteral("Set successfully."));
    else
        showFailure(reply);
}

void MainWindow::on_save_language_clicked()
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
    cmdSend(Cmd::otpSetLanguage(code), CmdType::OtpSetLanguage);
}

void MainWindow::onOtpSetLanguageReply(const JSON_OBJ& reply)
{
    ui->save_language->setEnabled(true);
    if (reply.SW == Status::Success)
        showMessage(DialogMessage::Information, QStringLiteral("Success"),
                    QStringLiteral("Set language successfully."));
    else
        showMessage(DialogMessage::Warning, QStringLiteral("Warning"),
                    QStringLiteral("Failed to set language. \nThe current device may not support this function!"));
}
