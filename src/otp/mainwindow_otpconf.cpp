// The OTP configuration page: three modes, their input rules and generators, and the
// "otp put" that writes a slot.
#include "app/commands.h"
#include "app/mainwindow.h"

#include "app/page.h"
#include "otp/otpinput.h"
#include "support/hex.h"
#include "support/protocol.h"
#include "ui/dialogmessage.h"
#include "ui/inputrule.h"
#include "ui/waitingdialog.h"
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

void MainWindow::on_otp1Conf_clicked()
{
    ui->contentPage->setCurrentIndex(Page::OtpConfiguration);
    ui->label_slot->setText(QStringLiteral("SHORT TOUCH(Slot 1)"));
    setBtnStyleSheet(Page::Otp);
    showOtpModes();
    ui->checkBox_withenter->setEnabled(true);
    getOTPValueWithEnter();
}

void MainWindow::on_otp2Conf_clicked()
{
    ui->contentPage->setCurrentIndex(Page::OtpConfiguration);
    ui->label_slot->setText(QStringLiteral("LONG TOUCH(Slot 2)"));
    setBtnStyleSheet(Page::Otp);
    showOtpModes();
    ui->checkBox_withenter->setChecked(false);
    ui->checkBox_withenter->setEnabled(false);
}

// The modes of the key now connected, whichever key opened the page before.
void MainWindow::showOtpModes()
{
    ui->otp_mode_hotp->setChecked(true);
    // A single-slot key only does OATH HOTP.
    const bool singleSlot = ui->otp_swap->isHidden();
    ui->otp_mode_sp->setHidden(singleSlot);
    ui->otp_mode_cr->setHidden(singleSlot);
    on_otpmode_currentIndexChanged(0);
}

void MainWindow::on_otp_mode_hotp_clicked()
{
    on_otpmode_currentIndexChanged(0);
}

void MainWindow::on_otp_mode_sp_clicked()
{
    on_otpmode_currentIndexChanged(1);
}

void MainWindow::on_otp_mode_cr_clicked()
{
    on_otpmode_currentIndexChanged(2);
}

QValidator* MainWindow::otpValidator(const QString& pattern)
{
    QValidator*& validator = m_otpValidators[pattern];
    if (!validator)
        validator = InputRule::validator(pattern, this);
    return validator;
}

void MainWindow::on_otpmode_currentIndexChanged(int index)
{
    QValidator* noCjk = otpValidator(InputRule::noCjk());
    for (QLineEdit* name : {ui->lineEdit_hotp_name, ui->lineEdit_sta_name, ui->lineEdit_cr_name})
        name->setValidator(noCjk);
    // Keys that report no serial number show eight zeros; such a key suggests no name.
    QString serial = ui->snValue->text();
    if (serial == QLatin1String("00000000"))
        serial.clear();
    ui->otpPage->setCurrentIndex(index);

    if (index == 0) {
        ui->lineEdit_hotp_key->setValidator(otpValidator(InputRule::hexadecimal()));
        ui->lineEdit_hotp_key->clear();
        ui->lineEdit_hotp_name->setText(serial);
        ui->radio_hotp_digits_6->setChecked(true);
        ui->hotp_config->setEnabled(false);
    } else if (index == 1) {
        ui->lineEdit_sta_key->clear();
        ui->lineEdit_sta_name->setText(serial);
        ui->check_sta_any->setChecked(false);
        on_check_sta_any_stateChanged(Qt::Unchecked);
        ui->sta_config->setEnabled(false);
    } else if (index == 2) {
        ui->lineEdit_cr_key->setValidator(otpValidator(InputRule::hexadecimal()));
        ui->lineEdit_cr_key->clear();
        ui->lineEdit_cr_name->setText(serial);
        ui->cr_config->setEnabled(false);
        ui->check_cr_touch->setChecked(true);
        ui->check_cr_touch->setEnabled(false);
    }
}

void MainWindow::on_check_sta_any_stateChanged(int state)
{
    const QString pattern = state == Qt::Checked ? InputRule::noCjk() : OtpInput::modhexPattern();
    ui->lineEdit_sta_key->setValidator(otpValidator(pattern));
    ui->lineEdit_sta_key->clear();
}

// A key that hides its serial writes an empty name, so the name never holds OK back.
void MainWindow::on_lineEdit_hotp_name_textChanged(const QString&)
{
    ui->hotp_config->setEnabled(isWholeBytes(ui->lineEdit_hotp_key->text()));
}

void MainWindow::on_lineEdit_hotp_key_textChanged(const QString& text)
{
    ui->hotp_config->setEnabled(isWholeBytes(text));
}

void MainWindow::on_lineEdit_cr_name_textChanged(const QString&)
{
    ui->cr_config->setEnabled(isWholeBytes(ui->lineEdit_cr_key->text()));
}

void MainWindow::on_lineEdit_cr_key_textChanged(const QString& text)
{
    ui->cr_config->setEnabled(isWholeBytes(text));
}

void MainWindow::on_lineEdit_sta_name_textChanged(const QString&)
{
    ui->sta_config->setEnabled(!ui->lineEdit_sta_key->text().isEmpty());
}

void MainWindow::on_lineEdit_sta_key_textChanged(const QString& text)
{
    // Typed or pasted, a character the key cannot type leaves the field at once, so what is
    // programmed is exactly what is shown. Setting the kept text runs this check again.
    const QString refused = OtpInput::untypeable(text);
    if (!refused.isEmpty()) {
        ui->lineEdit_sta_key->setText(OtpInput::typeable(text));
        showMessage(DialogMessage::Warning, QStringLiteral("Warning"), OtpInput::refusedMessage(refused));
        return;
    }
    ui->sta_config->setEnabled(!text.isEmpty());
}

QString MainWindow::getRandomData(int count, bool hexFormat, bool anyChar)
{
    return OtpInput::randomData(count, hexFormat, anyChar);
}

void MainWindow::on_hotp_gen_name_clicked()
{
    ui->lineEdit_hotp_name->setText(OtpInput::randomSerial());
}

void MainWindow::on_sta_gen_name_clicked()
{
    ui->lineEdit_sta_name->setText(OtpInput::randomSerial());
}

void MainWindow::on_cr_gen_name_clicked()
{
    ui->lineEdit_cr_name->setText(OtpInput::randomSerial());
}

void MainWindow::on_hotp_gen_key_clicked()
{
    ui->lineEdit_hotp_key->setText(getRandomData(16, true, true));
}

void MainWindow::on_sta_gen_key_clicked()
{
    ui->lineEdit_sta_key->setText(OtpInput::randomStaticKey(ui->check_sta_any->isChecked()));
}

void MainWindow::on_cr_gen_key_clicked()
{
    ui->lineEdit_cr_key->setText(getRandomData(16, true, true));
}

void MainWindow::getItemValue(OTP_STRUCT& otp)
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

void MainWindow::on_hotp_config_clicked()
{
    configOTP();
}

void MainWindow::on_sta_config_clicked()
{
    configOTP();
}

void MainWindow::on_cr_config_clicked()
{
    configOTP();
}

void MainWindow::configOTP()
{
    OTP_STRUCT otp;
    getItemValue(otp);
    const bool configured =
        (otp.slot == m_otp[0].slot && m_otp[0].configured) || (otp.slot == m_otp[1].slot && m_otp[1].configured);
    if (configured && !showMessage(DialogMessage::Question, QStringLiteral("Overwrite"),
                                   QStringLiteral("Do you want to overwrite the existing configuration?")))
        return;
    m_waiting->show(this, OtpInput::touchPrompt());
    const int digits = otp.type == QLatin1String("HOTP") ? otp.digits : 0;
    cmdSend(Cmd::otpPut(otp.slot, otp.key, otp.hash, otp.type, digits, otp.name), CmdType::OtpPut);
}

void MainWindow::onOtpPutReply(const JSON_OBJ& reply)
{
    m_waiting->hide();
    if (reply.SW == Status::OtpTouchTimeout) {
        showMessage(DialogMessage::Warning, QStringLiteral("Warning"), QStringLiteral("Touch time out."));
    } else if (reply.SW == Status::Success) {
        OTP_STRUCT otp;
        getItemValue(otp);
        const QString key = otp.key;
        // Nothing reads a slot record's secret back; it need not outlive the write.
        otp.key.clear();
        otp.configured = true;
        m_otp[otp.slot == 0 ? 0 : 1] = otp;
        showMessage(DialogMessage::Information, QStringLiteral("Success"),
                    QStringLiteral("OTP personalization successfully. "));
        if (otp.type == QLatin1String("HOTP"))
            offerHotpCheck(key, otp.digits);
        else if (otp.type == QLatin1String("CHALLENGE_RESPONSE"))
            offerChallengeCheck(otp.slot, key);
    } else {
        showFailure(reply);
    }
}
