// The OTP configuration page: three modes, their input rules and generators, and the
// "otp put" that writes a slot.
#include "otp/otpcontroller.h"

#include "app/commands.h"
#include "app/page.h"
#include "otp/otpinput.h"
#include "support/hex.h"
#include "support/protocol.h"
#include "ui/dialogmessage.h"
#include "ui/inputrule.h"
#include "ui_mainwindow.h"

namespace {

// Upper-case hex of the text's Latin-1 bytes, as the backend takes serials and passwords.
QString latin1Hex(const QString& text)
{
    QByteArray bytes = text.toLatin1();
    std::string out;
    u1_2_hex_str(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<unsigned int>(bytes.size()), out);
    return QString::fromStdString(out);
}

bool isWholeBytes(const QString& hexKey)
{
    return !hexKey.isEmpty() && hexKey.size() % 2 == 0;
}

} // namespace

void OtpController::configureShortTouch()
{
    ui->contentPage->setCurrentIndex(Page::OtpConfiguration);
    ui->label_slot->setText(QStringLiteral("SHORT TOUCH(Slot 1)"));
    m_host.highlightMenu(Page::Otp);
    showOtpModes();
    ui->checkBox_withenter->setEnabled(true);
    getOTPValueWithEnter();
}

void OtpController::configureLongTouch()
{
    ui->contentPage->setCurrentIndex(Page::OtpConfiguration);
    ui->label_slot->setText(QStringLiteral("LONG TOUCH(Slot 2)"));
    m_host.highlightMenu(Page::Otp);
    showOtpModes();
    ui->checkBox_withenter->setChecked(false);
    ui->checkBox_withenter->setEnabled(false);
}

// The modes of the key now connected, whichever key opened the page before.
void OtpController::showOtpModes()
{
    ui->otp_mode_hotp->setChecked(true);
    // A single-slot key only does OATH HOTP.
    const bool singleSlot = ui->otp_swap->isHidden();
    ui->otp_mode_sp->setHidden(singleSlot);
    ui->otp_mode_cr->setHidden(singleSlot);
    showMode(Hotp);
}

QLineEdit* OtpController::nameField(Mode mode) const
{
    switch (mode) {
    case Hotp:
        return ui->lineEdit_hotp_name;
    case StaticPassword:
        return ui->lineEdit_sta_name;
    case ChallengeResponse:
        break;
    }
    return ui->lineEdit_cr_name;
}

QLineEdit* OtpController::keyField(Mode mode) const
{
    switch (mode) {
    case Hotp:
        return ui->lineEdit_hotp_key;
    case StaticPassword:
        return ui->lineEdit_sta_key;
    case ChallengeResponse:
        break;
    }
    return ui->lineEdit_cr_key;
}

QPushButton* OtpController::okButton(Mode mode) const
{
    switch (mode) {
    case Hotp:
        return ui->hotp_config;
    case StaticPassword:
        return ui->sta_config;
    case ChallengeResponse:
        break;
    }
    return ui->cr_config;
}

QValidator* OtpController::otpValidator(const QString& pattern)
{
    QValidator*& validator = m_otpValidators[pattern];
    if (!validator)
        validator = InputRule::validator(pattern, this);
    return validator;
}

void OtpController::showMode(Mode mode)
{
    QValidator* noCjk = otpValidator(InputRule::noCjk());
    for (QLineEdit* name : {ui->lineEdit_hotp_name, ui->lineEdit_sta_name, ui->lineEdit_cr_name})
        name->setValidator(noCjk);
    // Keys that report no serial number show eight zeros; such a key suggests no name.
    QString serial = ui->snValue->text();
    if (serial == QLatin1String("00000000"))
        serial.clear();
    ui->otpPage->setCurrentIndex(mode);

    if (mode == Hotp) {
        ui->lineEdit_hotp_key->setValidator(otpValidator(InputRule::hexadecimal()));
        ui->lineEdit_hotp_key->clear();
        ui->lineEdit_hotp_name->setText(serial);
        ui->radio_hotp_digits_6->setChecked(true);
        ui->hotp_config->setEnabled(false);
    } else if (mode == StaticPassword) {
        ui->lineEdit_sta_key->clear();
        ui->lineEdit_sta_name->setText(serial);
        ui->check_sta_any->setChecked(false);
        allowAnyCharacter(Qt::Unchecked);
        ui->sta_config->setEnabled(false);
    } else if (mode == ChallengeResponse) {
        ui->lineEdit_cr_key->setValidator(otpValidator(InputRule::hexadecimal()));
        ui->lineEdit_cr_key->clear();
        ui->lineEdit_cr_name->setText(serial);
        ui->cr_config->setEnabled(false);
        ui->check_cr_touch->setChecked(true);
        ui->check_cr_touch->setEnabled(false);
    }
}

void OtpController::allowAnyCharacter(int checkState)
{
    const QString pattern = checkState == Qt::Checked ? InputRule::noCjk() : OtpInput::modhexPattern();
    ui->lineEdit_sta_key->setValidator(otpValidator(pattern));
    ui->lineEdit_sta_key->clear();
}

// A key that hides its serial writes an empty name, so the name never holds OK back.
void OtpController::inputChanged(Mode mode)
{
    const QString key = keyField(mode)->text();
    okButton(mode)->setEnabled(mode == StaticPassword ? !key.isEmpty() : isWholeBytes(key));
}

void OtpController::staticKeyChanged(const QString& text)
{
    // Typed or pasted, a character the key cannot type leaves the field at once, so what is
    // programmed is exactly what is shown. Setting the kept text runs this check again.
    const QString refused = OtpInput::untypeable(text);
    if (!refused.isEmpty()) {
        ui->lineEdit_sta_key->setText(OtpInput::typeable(text));
        m_host.showMessage(DialogMessage::Warning, QStringLiteral("Warning"), OtpInput::refusedMessage(refused));
        return;
    }
    ui->sta_config->setEnabled(!text.isEmpty());
}

void OtpController::generateName(Mode mode)
{
    nameField(mode)->setText(OtpInput::randomSerial());
}

void OtpController::generateKey(Mode mode)
{
    const QString key = mode == StaticPassword ? OtpInput::randomStaticKey(ui->check_sta_any->isChecked())
                                               : OtpInput::randomData(16, true, true);
    keyField(mode)->setText(key);
}

void OtpController::getItemValue(OTP_STRUCT& otp)
{
    otp.slot = ui->label_slot->text().indexOf(QLatin1String("Slot 1")) > 0 ? 0 : 1;
    otp.hash = QStringLiteral("SHA1");
    if (ui->otp_mode_hotp->isChecked())
        otp.type = QStringLiteral("HOTP");
    else if (ui->otp_mode_sp->isChecked())
        otp.type = QStringLiteral("STATIC_PASSWORD");
    else if (ui->otp_mode_cr->isChecked())
        otp.type = QStringLiteral("CHALLENGE_RESPONSE");
    else
        return;

    const QWidget* page = ui->otpPage->currentWidget();
    if (page == ui->HOTPConf) {
        otp.name = latin1Hex(ui->lineEdit_hotp_name->text());
        otp.key = ui->lineEdit_hotp_key->text();
        otp.digits = ui->radio_hotp_digits_6->isChecked() ? 6 : 8;
    } else if (page == ui->StaConf) {
        otp.name = latin1Hex(ui->lineEdit_sta_name->text());
        otp.key = latin1Hex(ui->lineEdit_sta_key->text());
    } else if (page == ui->CRConf) {
        otp.name = latin1Hex(ui->lineEdit_cr_name->text());
        otp.key = ui->lineEdit_cr_key->text();
    }
}

void OtpController::configure()
{
    OTP_STRUCT otp;
    getItemValue(otp);
    const bool configured = (otp.slot == m_slots[0].slot && m_slots[0].configured) ||
                            (otp.slot == m_slots[1].slot && m_slots[1].configured);
    if (configured && !m_host.showMessage(DialogMessage::Question, QStringLiteral("Overwrite"),
                                          QStringLiteral("Do you want to overwrite the existing configuration?")))
        return;
    m_host.showBusy(OtpInput::touchPrompt());
    const int digits = otp.type == QLatin1String("HOTP") ? otp.digits : 0;
    m_host.send(Cmd::otpPut(otp.slot, otp.key, otp.hash, otp.type, digits, otp.name), CmdType::OtpPut);
}

void OtpController::onOtpPutReply(const JSON_OBJ& reply)
{
    m_host.hideBusy();
    if (reply.SW == Status::OtpTouchTimeout) {
        m_host.showMessage(DialogMessage::Warning, QStringLiteral("Warning"), QStringLiteral("Touch time out."));
    } else if (reply.SW == Status::Success) {
        OTP_STRUCT otp;
        getItemValue(otp);
        const QString key = otp.key;
        // Nothing reads a slot record's secret back; it need not outlive the write.
        otp.key.clear();
        otp.configured = true;
        m_slots[otp.slot == 0 ? 0 : 1] = otp;
        m_host.showMessage(DialogMessage::Information, QStringLiteral("Success"),
                           QStringLiteral("OTP personalization successfully. "));
        if (otp.type == QLatin1String("HOTP"))
            offerHotpCheck(key, otp.digits);
        else if (otp.type == QLatin1String("CHALLENGE_RESPONSE"))
            offerChallengeCheck(otp.slot, key);
    } else {
        m_host.showFailure(reply);
    }
}
