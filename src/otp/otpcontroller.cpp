// The OTP overview page: the two slots as the key lists them, swap, delete and reset.
#include "otp/otpcontroller.h"

#include "app/commands.h"
#include "app/page.h"
#include "otp/otpinput.h"
#include "support/protocol.h"
#include "ui/dialogmessage.h"
#include "ui_mainwindow.h"

namespace {

// The keyboard-language list's first entry, offered each time the page opens.
constexpr int kEnglish = 0;

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

OtpController::OtpController(FeatureHost& host, Ui::MainWindow* ui, QObject* parent) : Feature(host, ui, parent) {}

void OtpController::registerHandlers()
{
    handle(CmdType::OtpPut, &OtpController::onOtpPutReply);
    handle(CmdType::OtpList, &OtpController::onOtpListReply);
    handle(CmdType::OtpDelete, &OtpController::onOtpDeleteReply);
    handle(CmdType::OtpChallenge, &OtpController::onOtpChallengeReply);
    handle(CmdType::OtpReset, &OtpController::onOtpDeleteReply);
    handle(CmdType::OtpSwap, &OtpController::onOtpSwapReply);
    handle(CmdType::OtpSetLanguage, &OtpController::onOtpSetLanguageReply);
    handle(CmdType::OtpReadWithEnter, &OtpController::onOtpReadWithEnterReply);
    handle(CmdType::OtpWriteWithEnter, &OtpController::onOtpWriteWithEnterReply);
}

void OtpController::forgetOperation()
{
    closeCheck();
    forgetOtpChallenge();
}

void OtpController::keyGone()
{
    forgetOperation();
}

void OtpController::openPage()
{
    ui->combobox_language->setCurrentIndex(kEnglish);
    const bool language = m_host.keyModel() == QLatin1String("R3");
    ui->combobox_language->setEnabled(language);
    ui->save_language->setEnabled(language);
    m_host.showBusy(QStringLiteral("Please wait ..."));
    // The list reply takes the busy panel down.
    showSlots();
}

void OtpController::showSlots()
{
    ui->contentPage->setCurrentIndex(Page::Otp);
    m_host.highlightMenu(Page::Otp);
    listOTP();
    selectOtpSubPage();
}

void OtpController::selectOtpSubPage()
{
    if (ui->otp_mode_sp->isChecked())
        ui->otpPage->setCurrentIndex(StaticPassword);
    else if (ui->otp_mode_cr->isChecked())
        ui->otpPage->setCurrentIndex(ChallengeResponse);
    else
        ui->otpPage->setCurrentIndex(Hotp);
}

void OtpController::listOTP()
{
    m_host.send(Cmd::otpList(), CmdType::OtpList);
}

void OtpController::onOtpListReply(const JSON_OBJ& reply)
{
    m_slots[0] = OTP_STRUCT();
    m_slots[1] = OTP_STRUCT();
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
                m_slots[otp.slot] = otp;
                changeUI_OTP_List(otp);
            }
        }
    }
    ui->otp_swap->setEnabled(ui->otp1Delete->isEnabled() || ui->otp2Delete->isEnabled());
    m_host.hideBusy();
}

void OtpController::changeUI_OTP_List(OTP_STRUCT otp)
{
    QPushButton* remove = otp.slot == 0 ? ui->otp1Delete : otp.slot == 1 ? ui->otp2Delete : nullptr;
    QLabel* state = otp.slot == 0 ? ui->label_otp_1_state : otp.slot == 1 ? ui->label_otp_2_state : nullptr;
    if (!remove)
        return;
    remove->setEnabled(otp.configured);
    state->setText(otp.configured ? QStringLiteral("This slot is configured") : QStringLiteral("This slot is empty"));
}

void OtpController::swapSlots()
{
    m_host.send(Cmd::otpSwap(), CmdType::OtpSwap);
}

void OtpController::deleteSlot(int slot)
{
    if (!m_slots[slot].configured)
        return;
    const QString question = slot == 0 ? QStringLiteral("Do you want to delete the content of short touch (Slot 1)? \n"
                                                        "this permanently deletes the configuration.")
                                       : QStringLiteral("Do you want to delete the content of long touch (Slot 2)? \n"
                                                        "this permanently deletes the configuration.");
    if (!m_host.showMessage(DialogMessage::Question, QStringLiteral("Delect"), question))
        return;
    m_host.showBusy(OtpInput::touchPrompt());
    // A single-slot key has no per-slot delete: its OTP application is reset instead.
    if (slot == 0 && ui->otp_swap->isHidden())
        m_host.send(Cmd::otpReset(), CmdType::OtpReset);
    else
        m_host.send(Cmd::otpDelete(slot, m_slots[slot].name), CmdType::OtpDelete);
}

void OtpController::onOtpDeleteReply(const JSON_OBJ& reply)
{
    m_host.hideBusy();
    if (reply.SW == Status::OtpTouchTimeout) {
        m_host.showMessage(DialogMessage::Warning, QStringLiteral("Warning"), QStringLiteral("Touch time out."));
    } else if (reply.SW == Status::Success) {
        listOTP();
        m_host.showMessage(DialogMessage::Information, QStringLiteral("Success"),
                           QStringLiteral("Delete successfully."));
    } else {
        m_host.showFailure(reply);
    }
}

void OtpController::onOtpSwapReply(const JSON_OBJ& reply)
{
    if (reply.SW == Status::Success) {
        listOTP();
        m_host.showMessage(DialogMessage::Information, QStringLiteral("Success"),
                           QStringLiteral("Swap slots successfully."));
    } else {
        m_host.showFailure(reply);
    }
}
