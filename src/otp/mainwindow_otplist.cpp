// The OTP overview page: the two slots as the key lists them, swap, delete and reset.
#include "app/commands.h"
#include "app/mainwindow.h"

#include "app/page.h"
#include "otp/otpinput.h"
#include "support/protocol.h"
#include "ui/dialogmessage.h"
#include "ui/waitingdialog.h"
#include "ui_mainwindow.h"

namespace {

// A record of an "otp list" reply; keys are told apart by their first four characters.
OTP_STRUCT slotRecord(const TextMap& record)
{
    OTP_STRUCT otp;
    otp.slot = -1;
    for (auto it = record.begin(); it != record.end(); ++it) {
        const QByteArray key = it.key().left(4);
        const QString value = QString::fromUtf8(it.value());
        if (key == "slot") {
            bool ok = false;
            const int slot = value.toInt(&ok, 10);
            otp.slot = ok ? slot : -1;
        } else if (key == "type") {
            otp.type = value;
        } else if (key == "hash") {
            otp.hash = value;
        } else if (key == "name") {
            otp.name = value;
        }
    }
    // The key lists only the slots that hold a configuration, whatever their name.
    otp.configured = true;
    return otp;
}

} // namespace

void MainWindow::registerOtpHandlers()
{
    registerOwnHandler(CmdType::OtpPut, &MainWindow::onOtpPutReply);
    registerOwnHandler(CmdType::OtpList, &MainWindow::onOtpListReply);
    registerOwnHandler(CmdType::OtpDelete, &MainWindow::onOtpDeleteReply);
    registerOwnHandler(CmdType::OtpChallenge, &MainWindow::onOtpChallengeReply);
    registerOwnHandler(CmdType::OtpReset, &MainWindow::onOtpDeleteReply);
    registerOwnHandler(CmdType::OtpSwap, &MainWindow::onOtpSwapReply);
    registerOwnHandler(CmdType::OtpSetLanguage, &MainWindow::onOtpSetLanguageReply);
    registerOwnHandler(CmdType::OtpReadWithEnter, &MainWindow::onOtpReadWithEnterReply);
    registerOwnHandler(CmdType::OtpWriteWithEnter, &MainWindow::onOtpWriteWithEnterReply);
}

void MainWindow::on_otp_clicked()
{
    ui->combobox_language->setCurrentIndex(0);
    const bool language = keyModel() == QLatin1String("R3");
    ui->combobox_language->setEnabled(language);
    ui->save_language->setEnabled(language);
    m_waiting->show(this, QStringLiteral("Please wait ..."));
    // The list reply takes the busy panel down.
    on_backOtp_clicked();
}

void MainWindow::on_backOtp_clicked()
{
    ui->contentPage->setCurrentIndex(Page::Otp);
    setBtnStyleSheet(Page::Otp);
    listOTP();
    selectOtpSubPage();
}

void MainWindow::selectOtpSubPage()
{
    if (ui->otp_mode_hotp->isChecked())
        ui->otpPage->setCurrentIndex(0);
    else if (ui->otp_mode_sp->isChecked())
        ui->otpPage->setCurrentIndex(1);
    else if (ui->otp_mode_cr->isChecked())
        ui->otpPage->setCurrentIndex(2);
    else
        ui->otpPage->setCurrentIndex(0);
}

void MainWindow::listOTP()
{
    cmdSend(Cmd::otpList(), CmdType::OtpList);
}

void MainWindow::onOtpListReply(const JSON_OBJ& reply)
{
    m_otp[0] = OTP_STRUCT();
    m_otp[1] = OTP_STRUCT();
    ui->otp1Delete->setEnabled(false);
    ui->otp2Delete->setEnabled(false);
    ui->label_otp_1_state->setText(QStringLiteral("This slot is empty"));
    ui->label_otp_2_state->setText(QStringLiteral("This slot is empty"));
    if (reply.SW == Status::Success) {
        const bool twoSlots = reply.INFO.contains("slot_2") || reply.INFO.contains("slot_default");
        for (QWidget* slot2 : {static_cast<QWidget*>(ui->label_7), static_cast<QWidget*>(ui->label_otp_2_state),
                               static_cast<QWidget*>(ui->otp_swap), static_cast<QWidget*>(ui->groupBox_10)})
            slot2->setVisible(twoSlots);
        for (const TextMap& record : reply.DATA) {
            const OTP_STRUCT otp = slotRecord(record);
            if (otp.slot == 0 || otp.slot == 1) {
                m_otp[otp.slot] = otp;
                changeUI_OTP_List(otp);
            }
        }
    }
    ui->otp_swap->setEnabled(ui->otp1Delete->isEnabled() || ui->otp2Delete->isEnabled());
    m_waiting->hide();
}

void MainWindow::changeUI_OTP_List(OTP_STRUCT otp)
{
    QPushButton* remove = otp.slot == 0 ? ui->otp1Delete : otp.slot == 1 ? ui->otp2Delete : nullptr;
    QLabel* state = otp.slot == 0 ? ui->label_otp_1_state : otp.slot == 1 ? ui->label_otp_2_state : nullptr;
    if (!remove)
        return;
    remove->setEnabled(otp.configured);
    state->setText(otp.configured ? QStringLiteral("This slot is configured") : QStringLiteral("This slot is empty"));
}

void MainWindow::on_otp_swap_clicked()
{
    cmdSend(Cmd::otpSwap(), CmdType::OtpSwap);
}

void MainWindow::on_otp1Delete_clicked()
{
    deleteOtpSlot(0);
}

void MainWindow::on_otp2Delete_clicked()
{
    deleteOtpSlot(1);
}

void MainWindow::deleteOtpSlot(int slot)
{
    if (!m_otp[slot].configured)
        return;
    const QString question = slot == 0 ? QStringLiteral("Do you want to delete the content of short touch (Slot 1)? \n"
                                                        "this permanently deletes the configuration.")
                                       : QStringLiteral("Do you want to delete the content of long touch (Slot 2)? \n"
                                                        "this permanently deletes the configuration.");
    if (!showMessage(DialogMessage::Question, QStringLiteral("Delect"), question))
        return;
    m_waiting->show(this, OtpInput::touchPrompt());
    // A single-slot key has no per-slot delete: its OTP application is reset instead.
    if (slot == 0 && ui->otp_swap->isHidden())
        cmdSend(Cmd::otpReset(), CmdType::OtpReset);
    else
        cmdSend(Cmd::otpDelete(slot, m_otp[slot].name), CmdType::OtpDelete);
}

void MainWindow::onOtpDeleteReply(const JSON_OBJ& reply)
{
    m_waiting->hide();
    if (reply.SW == Status::OtpTouchTimeout) {
        showMessage(DialogMessage::Warning, QStringLiteral("Warning"), QStringLiteral("Touch time out."));
    } else if (reply.SW == Status::Success) {
        listOTP();
        showMessage(DialogMessage::Information, QStringLiteral("Success"), QStringLiteral("Delete successfully."));
    } else {
        showFailure(reply);
    }
}

void MainWindow::onOtpSwapReply(const JSON_OBJ& reply)
{
    if (reply.SW == Status::Success) {
        listOTP();
        showMessage(DialogMessage::Information, QStringLiteral("Success"), QStringLiteral("Swap slots successfully."));
    } else {
        showFailure(reply);
    }
}
