// The FIDO2 section: which page a key gets, and setting or changing its PIN.

#include "fido/fidocontroller.h"

#include "app/commands.h"
#include "app/keymodel.h"
#include "app/page.h"
#include "app/programstate.h"
#include "fido/crelistdialog.h"
#include "support/protocol.h"
#include "ui/dialogmessage.h"
#include "ui/registfingerprint.h"
#include "ui_mainwindow.h"

#include <algorithm>

namespace {

// The key's FIDO2 application has no PIN yet.
constexpr quint32 kPinNotSet = 0x35;

} // namespace

FidoController::FidoController(FeatureHost& host, Ui::MainWindow* ui, QObject* parent)
    : Feature(host, ui, parent), m_creList(new CreListDialog(host.dialogParent(), host.scaleFactor())),
      m_regFinger(host.fingerprintDialog())
{
    m_creList->close();
    host.followScale(m_creList);
    connect(m_creList, &CreListDialog::deleteRequested, this, &FidoController::deleteCredential);
}

void FidoController::forgetOperation()
{
    endFidoReset();
    m_fidoPin.clear();
}

void FidoController::keyGone()
{
    m_creList->hide();
    m_fidoPin.clear();
}

void FidoController::registerHandlers()
{
    handle(CmdType::FidoSetPin, &FidoController::onFidoSetPinReply);
    handle(CmdType::FidoChangePin, &FidoController::onFidoChangePinReply);
    handle(CmdType::FidoPinRetries, &FidoController::onFidoPinRetriesReply);
    handle(CmdType::FidoListCredentials, &FidoController::onFidoListCredentialsReply);
    handle(CmdType::FidoDeleteCredential, &FidoController::onFidoDeleteCredentialReply);
    handle(CmdType::FidoReset, &FidoController::onFidoResetReply);
    handle(CmdType::FidoEnrollBegin, &FidoController::onFidoEnrollBeginReply);
    handle(CmdType::FidoEnrollNext, &FidoController::onFidoEnrollNextReply);
    handle(CmdType::FidoRemoveEnrollment, &FidoController::onFidoRemoveEnrollmentReply);
    handle(CmdType::FidoEnumerate, &FidoController::onFidoEnumerateReply);
    handle(CmdType::FidoCancelEnrollment, &FidoController::onFidoCancelEnrollmentReply);
    handle(CmdType::FidoVerifyEnrollment, &FidoController::onFidoVerifyEnrollmentReply);
}

void FidoController::setFidoPinButtons(bool havePin)
{
    const QString text = havePin ? QStringLiteral("Change PIN") : QStringLiteral("Set PIN");
    ui->fidoSetPIN->setText(text);
    ui->fidoSetPIN1->setText(text);
}

bool FidoController::askFidoPin()
{
    if (!isfidoHavePin) {
        m_host.showMessage(DialogMessage::Information, QStringLiteral("Information"),
                           QStringLiteral("Please set pin first. "));
        return false;
    }
    m_fidoPin = m_host.askPin(QStringLiteral("FIDO PIN:"));
    if (m_fidoPin.isEmpty() || !m_host.confirmLastTry(LastTryGuard::Secret::FidoPin)) {
        m_fidoPin.clear();
        return false;
    }
    return true;
}

bool FidoController::askFidoPinAsWord()
{
    if (!askFidoPin())
        return false;
    const bool splits = m_fidoPin.contains(QLatin1Char('"')) ||
                        std::any_of(m_fidoPin.begin(), m_fidoPin.end(), [](QChar c) { return c.isSpace(); });
    if (!splits)
        return true;
    m_fidoPin.clear();
    m_host.showMessage(DialogMessage::Warning, QStringLiteral("Warning"),
                       QStringLiteral("Fingerprints cannot be managed with a FIDO PIN that contains a blank or a "
                                      "double quote. Change the PIN first."));
    return false;
}

void FidoController::showPinState()
{
    setFidoPinButtons(isfidoHavePin);
}

void FidoController::openPage()
{
    ui->contentPage->setCurrentIndex(KeyModel::hasFingerprintSensor(m_host.keyModel()) ? Page::FidoWithSensor
                                                                                       : Page::Fido);
    m_host.highlightMenu(Page::Fido);
    m_host.send(Cmd::fidoPinRetriesFromMenu(), CmdType::FidoPinRetries);
}

void FidoController::setOrChangePin()
{
    if (isfidoHavePin) {
        const QMap<QString, QString> pins = m_host.askNewPins(QStringLiteral("fidochangepin"));
        if (pins.isEmpty() || !m_host.confirmLastTry(LastTryGuard::Secret::FidoPin))
            return;
        m_host.showBusy(QStringLiteral("Changing PIN, please wait ..."));
        m_host.send(Cmd::fidoChangePin(pins.value(QStringLiteral("old")), pins.value(QStringLiteral("new"))),
                    CmdType::FidoChangePin);
        return;
    }
    const QMap<QString, QString> pins = m_host.askNewPins(QStringLiteral("fidosetpin"));
    if (pins.isEmpty())
        return;
    m_host.showBusy(QStringLiteral("Setting PIN, please wait ..."));
    m_host.send(Cmd::fidoSetPin(pins.value(QStringLiteral("new"))), CmdType::FidoSetPin);
}

void FidoController::onFidoSetPinReply(const JSON_OBJ& reply)
{
    m_host.hideBusy();
    if (reply.SW != Status::Success) {
        m_host.showFailure(reply);
        return;
    }
    m_host.showMessage(DialogMessage::Information, QStringLiteral("Success"), QStringLiteral("Set PIN successfully."));
    isfidoHavePin = true;
    setFidoPinButtons(true);
}

void FidoController::onFidoChangePinReply(const JSON_OBJ& reply)
{
    m_host.hideBusy();
    if (reply.SW != Status::Success) {
        m_host.showFailure(reply);
        return;
    }
    m_host.showMessage(DialogMessage::Information, QStringLiteral("Success"),
                       QStringLiteral("Change PIN successfully."));
}

void FidoController::onFidoPinRetriesReply(const JSON_OBJ& reply)
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
