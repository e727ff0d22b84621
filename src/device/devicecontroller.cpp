#include "device/devicecontroller.h"

#include "app/commands.h"
#include "app/page.h"
#include "app/programstate.h"
#include "app/replugflow.h"
#include "device/menulook.h"
#include "support/protocol.h"
#include "ui/dialogmessage.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QTimer>

namespace {

const char kNoKeyPicture[] = "image:url(:/new/prefix1/KEYROME.png);border-left: 0px solid gray;border-right: 0px solid "
                             "gray;border-top: 0px solid gray;border-bottom: 0px solid gray;";
const char kKeyPicture[] = "image:url(:/new/prefix1/KEYINSERT.png);border-left: 0px solid gray;border-right: 0px "
                           "solid gray;border-top: 0px solid gray;border-bottom: 0px solid gray;";

// Setting a style sheet re-polishes the widget even when it is the same; a flood of device events
// must not pay for that.
void restyle(QWidget* widget, const char* look)
{
    if (widget->styleSheet() != QLatin1String(look))
        widget->setStyleSheet(QLatin1String(look));
}

void setLook(QWidget* button, bool enabled, const char* enabledLook, const char* disabledLook)
{
    button->setEnabled(enabled);
    restyle(button, enabled ? enabledLook : disabledLook);
}

// The serial number the records give last, looked for from the end; empty when none does.
QString lastSerial(const QVector<TextMap>& records)
{
    for (auto map = records.crbegin(); map != records.crend(); ++map)
        for (int i = map->size() - 1; i >= 0; --i)
            if (map->keyAt(i).startsWith("SERIAL_NUMBER") && map->valueAt(i) != "00000000")
                return QString::fromUtf8(map->valueAt(i));
    return QString();
}

} // namespace

DeviceController::DeviceController(FeatureHost& host, Ui::MainWindow* ui, ReplugFlow& replug, QObject* parent)
    : Feature(host, ui, parent), m_replug(replug)
{
    hideAppItems(true);
    reset_app_state();
}

void DeviceController::registerHandlers()
{
    handle(CmdType::Startup, &DeviceController::onStartupReply);
    handle(CmdType::DeviceInfo, &DeviceController::onDeviceInfoReply);
    handle(CmdType::DeviceSetApplication, &DeviceController::onSetApplicationReply);
    handle(CmdType::DeviceSetTransport, &DeviceController::onSetTransportReply);
}

void DeviceController::forgetOperation()
{
    m_isSwitching = false;
    g_tmpBuf.clear();
}

void DeviceController::changeUI_Device(const JSON_OBJ& event)
{
    if (event.SW == Status::OneKey)
        keyInserted();
    else
        keyRemoved(event.SW);
}

void DeviceController::keyInserted()
{
    if (m_replug.isRunning()) {
        m_replug.keyReturned();
        return;
    }
    if (m_isSwitching) {
        m_isSwitching = false;
        if (g_currProtocol != 1) {
            g_tmpBuf = Cmd::deviceSetApplication(m_pendingAppMask);
            qDebug() << "g_tmpBuf=" << g_tmpBuf;
            m_host.send(g_tmpBuf, CmdType::DeviceSetApplication);
            g_tmpBuf.clear();
        } else {
            m_host.hideBusy();
            g_currProtocol = 0;
            m_host.showMessage(DialogMessage::Information, QStringLiteral("Success"),
                               QStringLiteral("Application switch successful."));
            // The window shows the key as it came back, however the message was closed.
            readKeyDetails();
            return;
        }
    } else {
        m_host.hideBusy();
    }
    qDebug() << "2--------m_isSwitching  g_currProtocol" << g_currProtocol;
    hideAppItems(true);
    showKeyPicture(true);
    ui->label_24->setText(QStringLiteral("VELMORA FIDO Security Key Inserted"));
    ui->btn_getdeviceinfo->show();
}

void DeviceController::keyRemoved(quint32 event)
{
    qDebug() << "Device remove=====";
    g_insreted = false;
    const bool resetInterrupted = m_replug.interruptedByRemoval();
    if (!resetInterrupted && (m_replug.isRunning() || m_isSwitching))
        return;
    // Whatever was asked of the key that has gone will not be answered for it.
    m_host.abandonCommand();
    qDebug() << "Device remove=====2";
    hideAppItems(true);
    m_model.clear();
    ui->contentPage->setCurrentIndex(Page::NoKey);
    m_host.highlightMenu(Page::Home);
    reset_app_state();
    g_currInterface = 0;
    g_currProtocol = 0;
    m_pendingAppMask = 0;
    g_tmpBuf.clear();

    setLook(ui->application, false, MenuLook::kApplicationEnabled, MenuLook::kTopLevelDisabled);
    setLook(ui->interface_2, false, MenuLook::kInterfaceEnabled, MenuLook::kTopLevelDisabled);
    ui->about->setEnabled(true);

    m_host.hideBusy();
    m_host.closeKeyDialogs();

    showKeyPicture(false);
    ui->label_24->setText(event == Status::NoKey ? QStringLiteral("No VELMORA FIDO Security Key Inserted")
                                                 : QStringLiteral("Multiable VELMORA FIDO Security Key Inserted"));
    ui->btn_getdeviceinfo->hide();
    if (resetInterrupted)
        m_replug.reportInterruption();
}

// Each new picture style sheet decodes its image again: a flood of events would spend seconds on
// pictures nobody sees.
void DeviceController::showKeyPicture(bool inserted)
{
    m_keyPictureInserted = inserted;
    if (m_keyPictureQueued)
        return;
    m_keyPictureQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_keyPictureQueued = false;
        restyle(ui->frame_state, m_keyPictureInserted ? kKeyPicture : kNoKeyPicture);
    });
}

void DeviceController::readKeyDetails()
{
    qDebug() << "2--------currentIndex()====" << ui->contentPage->currentIndex();
    m_host.send(Cmd::deviceInfo(), CmdType::DeviceInfo);
}

void DeviceController::reset_app_state()
{
    for (QAbstractButton* box : {ui->isFIDO2, ui->isU2F, ui->isNDEF, ui->isPIV, ui->isPGP, ui->isOTP})
        static_cast<QCheckBox*>(box)->setChecked(false);
    for (QWidget* indicator : {ui->isfido2, ui->isu2f, ui->ispiv, ui->ispgp, ui->isndef, ui->isotp})
        indicator->hide();
}

void DeviceController::hideAppItems(bool hide)
{
    for (QWidget* item : {ui->fido, ui->piv, ui->otp})
        item->setVisible(!hide);
}

void DeviceController::openHome()
{
    if (ui->contentPage->currentIndex() == Page::NoKey)
        readKeyDetails();
    if (g_insreted) {
        ui->contentPage->setCurrentIndex(Page::Home);
        update_device_interface();
    } else {
        ui->contentPage->setCurrentIndex(Page::NoKey);
    }
    m_host.highlightMenu(Page::Home);
    hideAppItems(true);
}

void DeviceController::openApplications()
{
    hideAppItems(false);
    ui->contentPage->setCurrentIndex(Page::Home);
    update_device_interface();
    m_host.highlightMenu(Page::Transports);
}

void DeviceController::openInterfaces()
{
    hideAppItems(true);
    ui->contentPage->setCurrentIndex(m_model == QLatin1String("R3") ? Page::Applications : Page::Transports);
    m_host.highlightMenu(Page::Applications);
}

void DeviceController::onDeviceInfoReply(const JSON_OBJ& reply)
{
    m_host.closeMessage();
    if (reply.SW != Status::Success) {
        m_replug.keyChecked(QString());
        return;
    }
    const QString identity = identityOf(reply);
    if (m_replug.keyChecked(identity)) {
        // The same key is back; the page it was reset from stays.
        g_insreted = true;
        return;
    }
    m_keyIdentity = identity;
    g_insreted = true;
    ui->contentPage->setCurrentIndex(Page::Home);
    m_host.highlightMenu(Page::Home);
    setLook(ui->application, true, MenuLook::kApplicationEnabled, MenuLook::kTopLevelDisabled);
    setLook(ui->interface_2, true, MenuLook::kInterfaceEnabled, MenuLook::kTopLevelDisabled);
    ui->about->setEnabled(true);
    g_currInterface = 0;
    ui->pidValue->clear();
    ui->cosValue->clear();
    ui->snValue->clear();
    reset_app_state();

    KeyTexts texts;
    KeyTexts applied;
    const TextMap* previous = nullptr;
    for (const TextMap& map : reply.DATA) {
        // A record repeating the one before changes nothing shown.
        if (previous && map == *previous)
            continue;
        previous = &map;
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            showDetail(it.key(), QString::fromUtf8(it.value()), texts);
        applyApplicationRulesOnChange(texts, applied);
    }
    // The menu follows the last transport text: restyled once per reply, not once per record.
    if (!reply.DATA.isEmpty())
        applyTransportRules(texts.transport, false);
    ui->btn_getdeviceinfo->show();
}

QString DeviceController::identityOf(const JSON_OBJ& details)
{
    const QString serial = lastSerial(details.DATA);
    if (!serial.isEmpty())
        return serial;
    QStringList visible;
    for (const TextMap& map : details.DATA) {
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            if (it.key().startsWith("NAME") || it.key().startsWith("PID") || it.key().startsWith("COS_VERSION"))
                visible.append(QString::fromUtf8(it.value()));
    }
    return visible.join(QLatin1Char('|'));
}

// Keys are matched by prefix: a key that begins with a known name is taken as that name.
void DeviceController::showDetail(const QByteArray& key, const QString& value, KeyTexts& texts)
{
    if (key.startsWith("NAME")) {
        ui->keyname->setText(value);
        ui->keyname_top->clear();
    } else if (key.startsWith("PID")) {
        ui->pidValue->setText(value);
    } else if (key.startsWith("COS_VERSION")) {
        const bool hidden = value == QLatin1String("1.0.00");
        ui->label_12->setVisible(!hidden);
        ui->cosValue->setText(hidden ? QString() : value);
    } else if (key.startsWith("SERIAL_NUMBER")) {
        const bool hidden = value == QLatin1String("00000000");
        ui->label_17->setVisible(!hidden);
        ui->snValue->setText(hidden ? QString() : value);
    } else if (key.startsWith("MODULE")) {
        m_model = value;
    } else if (key.startsWith("TRANSPORT")) {
        texts.transport = value;
    } else if (key.startsWith("APPLICATION")) {
        texts.application = value;
    }
}

void DeviceController::onStartupReply(const JSON_OBJ& reply)
{
    m_host.backendStarted();
    g_currInterface = 0;
    if (reply.SW == Status::Success || reply.INFO.isEmpty()) {
        reset_app_state();
        KeyTexts texts;
        KeyTexts applied;
        for (const TextMap& map : reply.DATA) {
            if (map.contains("TRANSPORT"))
                texts.transport = QString::fromUtf8(map.value("TRANSPORT"));
            if (map.contains("APPLICATION"))
                texts.application = QString::fromUtf8(map.value("APPLICATION"));
            applyApplicationRulesOnChange(texts, applied);
        }
        if (!reply.DATA.isEmpty())
            applyTransportRules(texts.transport, true);
    }
    qDebug() << "g_Interface1=====" << g_currInterface;
}

void DeviceController::applyTransportRules(const QString& transport, bool startupLooks)
{
    const char* fidoLook = startupLooks ? MenuLook::kStartupItemEnabled : MenuLook::kFidoEnabled;
    const char* pivLook = startupLooks ? MenuLook::kStartupItemEnabled : MenuLook::kPivEnabled;
    const char* otpLook = startupLooks ? MenuLook::kStartupOtpEnabled : MenuLook::kOtpEnabled;
    const char* disabled = startupLooks ? MenuLook::kStartupItemDisabled : MenuLook::kItemDisabled;

    const bool fido = transport.contains(QLatin1String("FIDO"));
    setLook(ui->fido, fido, fidoLook, disabled);
    ui->isfido_p->setChecked(fido);

    const bool ccid = transport.contains(QLatin1String("CCID"));
    setLook(ui->piv, ccid, pivLook, disabled);
    ui->isccid_p->setChecked(ccid);

    const bool otp = transport.contains(QLatin1String("OTP"));
    ui->isotp_p->setChecked(otp);
    if (!otp) {
        setLook(ui->otp, false, otpLook, disabled);
        ui->isOTP->setChecked(false);
        ui->isotp->hide();
    } else if (transport == QLatin1String("OTP")) {
        // The keyboard transport alone: the application is on, but there is nothing to manage.
        ui->isOTP->setChecked(true);
        ui->isotp->show();
        setLook(ui->otp, false, otpLook, disabled);
    } else {
        setLook(ui->otp, true, otpLook, disabled);
    }
}

// The applications shown add up over the records; records repeating the texts of the one before
// add nothing and cost nothing.
void DeviceController::applyApplicationRulesOnChange(const KeyTexts& texts, KeyTexts& applied)
{
    if (texts.transport == applied.transport && texts.application == applied.application)
        return;
    applied = texts;
    applyApplicationRules(texts.transport, texts.application);
}

void DeviceController::applyApplicationRules(const QString& transport, const QString& application)
{
    const bool otpTransport = transport.contains(QLatin1String("OTP"));
    for (const QString& part : application.split(QLatin1Char('+'))) {
        if (part == QLatin1String("FIDO2")) {
            showApplication(ui->isFIDO2, ui->isfido2, 0x01);
        } else if (part == QLatin1String("U2F")) {
            showApplication(ui->isU2F, ui->isu2f, 0x02);
        } else if (part == QLatin1String("FIDO2U2F")) {
            showApplication(ui->isFIDO2, ui->isfido2, 0x01);
            showApplication(ui->isU2F, ui->isu2f, 0x02);
            ui->isfido_p->setChecked(transport.contains(QLatin1String("FIDO")));
        } else if (part == QLatin1String("OTP")) {
            if (otpTransport)
                showApplication(ui->isOTP, ui->isotp, 0x20);
        } else if (part == QLatin1String("PIV")) {
            showApplication(ui->isPIV, ui->ispiv, 0x04);
        } else if (part == QLatin1String("OPENPGP")) {
            showApplication(ui->isPGP, ui->ispgp, 0x08);
        } else if (part == QLatin1String("NDEF")) {
            showApplication(ui->isNDEF, ui->isndef, 0x10);
        }
    }
}

void DeviceController::showApplication(QCheckBox* box, QWidget* indicator, int bit)
{
    box->setChecked(true);
    indicator->show();
    g_currInterface |= bit;
}
