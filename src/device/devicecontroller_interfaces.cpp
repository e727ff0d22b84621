#include "device/devicecontroller.h"

#include "app/commands.h"
#include "app/page.h"
#include "app/programstate.h"
#include "device/applicationswitch.h"
#include "device/menulook.h"
#include "support/protocol.h"
#include "ui/dialogmessage.h"
#include "ui_mainwindow.h"

#include <QDebug>

namespace {

const char kNoProtocol[] = " Make sure at least one protocol is available.";
const char kSwitched[] = "Application switch successful.";

} // namespace

int DeviceController::checkedApplications() const
{
    int mask = 0;
    mask |= ui->isFIDO2->isChecked() ? 0x01 : 0;
    mask |= ui->isU2F->isChecked() ? 0x02 : 0;
    mask |= ui->isPIV->isChecked() ? 0x04 : 0;
    mask |= ui->isPGP->isChecked() ? 0x08 : 0;
    mask |= ui->isNDEF->isChecked() ? 0x10 : 0;
    mask |= ui->isOTP->isChecked() ? 0x20 : 0;
    return mask;
}

void DeviceController::saveApplications()
{
    const int wanted = checkedApplications();
    if (wanted == 0) {
        m_host.showMessage(DialogMessage::Warning, QStringLiteral("Warning"), QLatin1String(kNoProtocol));
        return;
    }
    m_host.showBusy(QStringLiteral("Switching application, please wait ..."));
    g_currProtocol = 0;
    const ApplicationSwitch plan = ApplicationSwitch::plan(g_currInterface, wanted);
    qDebug() << "state------------->" << plan.state;
    qDebug() << "c_Protocol------------->" << plan.transports;
    qDebug() << "c_Interface------------->" << wanted;

    switch (plan.state) {
    case 2:
    case 6:
        m_pendingAppMask = wanted;
        g_tmpBuf = Cmd::deviceSetApplication(wanted);
        qDebug() << "g_tmpBuf=" << g_tmpBuf;
        m_host.send(g_tmpBuf, CmdType::DeviceSetApplication);
        break;
    case 5:
        // Only the transports change: after the re-plug there is no application to set.
        g_currProtocol = 1;
        [[fallthrough]];
    case 3:
    case 7:
        g_tmpBuf = Cmd::deviceSetTransport(plan.transports);
        m_pendingAppMask = wanted;
        m_host.send(g_tmpBuf, CmdType::DeviceSetTransport);
        break;
    default:
        m_host.hideBusy();
        m_host.showMessage(DialogMessage::Information, QStringLiteral("Success"), QLatin1String(kSwitched));
        break;
    }
}

void DeviceController::saveTransports()
{
    if (!ui->isfido_p->isChecked() && !ui->isccid_p->isChecked() && !ui->isotp_p->isChecked()) {
        m_host.showMessage(DialogMessage::Warning, QStringLiteral("Warning"), QLatin1String(kNoProtocol));
        return;
    }
    g_currProtocol = 1;
    int transports = 0;
    transports |= ui->isfido_p->isChecked() ? 0x20 : 0;
    transports |= ui->isccid_p->isChecked() ? 0x40 : 0;
    transports |= ui->isotp_p->isChecked() ? 0x10 : 0;
    g_tmpBuf = Cmd::deviceSetTransport(transports);
    m_host.send(g_tmpBuf, CmdType::DeviceSetTransport);
}

void DeviceController::onSetTransportReply(const JSON_OBJ& reply)
{
    if (reply.SW == Status::Success) {
        m_host.showBusy(QStringLiteral("Remove and re-insert your VELMORA FIDO Security Key ..."));
        m_isSwitching = true;
        return;
    }
    update_device_interface();
    m_host.showMessage(DialogMessage::Warning, QStringLiteral("Warning"), QStringLiteral("Protocol switch fail."));
    m_host.hideBusy();
}

void DeviceController::onSetApplicationReply(const JSON_OBJ& reply)
{
    m_isSwitching = false;
    m_host.hideBusy();
    if (reply.SW == Status::NotFound) {
        update_device_interface();
        m_host.showMessage(DialogMessage::Warning, QStringLiteral("Warning"),
                           QStringLiteral("Application not install, switch fail."));
    } else if (reply.SW == Status::Success) {
        g_currInterface = quint16(m_pendingAppMask);
        update_device_interface();
        m_host.showMessage(DialogMessage::Information, QStringLiteral("Success"), QLatin1String(kSwitched));
        ui->contentPage->setCurrentIndex(Page::Home);
        m_host.highlightMenu(Page::Home);
        // The key came back through a re-plug: the window's key state is read afresh.
        if (!g_insreted)
            readKeyDetails();
    } else {
        update_device_interface();
        m_host.showMessage(DialogMessage::Warning, QStringLiteral("Warning"),
                           QStringLiteral("Application switch fail."));
    }
}

void DeviceController::update_device_interface()
{
    const int mask = g_currInterface;
    const bool fido2 = mask & 0x01;
    ui->isFIDO2->setChecked(fido2);
    ui->isfido2->setVisible(fido2);
    if (fido2) {
        ui->fido->setEnabled(true);
        m_host.send(Cmd::fidoPinRetriesFromRefresh(), CmdType::FidoPinRetries);
    } else {
        ui->fido->setEnabled(false);
        ui->fido->setStyleSheet(QLatin1String(MenuLook::kItemDisabled));
    }
    showIndicator(ui->isU2F, ui->isu2f, mask & 0x02);
    const bool piv = mask & 0x04;
    showIndicator(ui->isPIV, ui->ispiv, piv);
    ui->piv->setEnabled(piv);
    if (!piv)
        ui->piv->setStyleSheet(QLatin1String(MenuLook::kItemDisabled));
    showIndicator(ui->isPGP, ui->ispgp, mask & 0x08);
    showIndicator(ui->isNDEF, ui->isndef, mask & 0x10);

    if (mask != 0 && !(mask & 0x20)) {
        showIndicator(ui->isOTP, ui->isotp, false);
        ui->otp->setEnabled(false);
        ui->otp->setStyleSheet(QLatin1String(MenuLook::kItemDisabled));
        return;
    }
    // OTP as the only application leaves its page unreachable, as the keyboard transport alone does.
    const bool otpUsable = mask != 0 && mask != AppOtp;
    ui->otp->setEnabled(otpUsable);
    ui->otp->setStyleSheet(QLatin1String(otpUsable ? MenuLook::kOtpEnabled : MenuLook::kItemDisabled));
    showIndicator(ui->isOTP, ui->isotp, true);
}

void DeviceController::showIndicator(QCheckBox* box, QWidget* indicator, bool on)
{
    box->setChecked(on);
    indicator->setVisible(on);
}
