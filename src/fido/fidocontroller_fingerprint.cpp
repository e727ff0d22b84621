// Fingerprint templates: the list, enrolment sample by sample, test and delete.

#include "fido/fidocontroller.h"

#include "app/page.h"

#include "app/commands.h"
#include "app/programstate.h"
#include "support/protocol.h"
#include "ui/dialogmessage.h"
#include "ui/registfingerprint.h"
#include "ui_mainwindow.h"

QString template_id;

namespace {

// The user did not act in time during a test.
constexpr quint32 kActionTimeout = 0x2F;
// A sample the sensor accepted.
const char kGoodSample[] = "0";

// The last value of `key` among the reply's maps; empty when none has it.
QString lastValue(const JSON_OBJ& reply, const char* key)
{
    QString value;
    for (const TextMap& map : reply.DATA)
        if (map.contains(key))
            value = QString::fromLocal8Bit(map.value(key));
    return value;
}

} // namespace

void FidoController::openFingerprints()
{
    ui->fingerList->clear();
    ui->contentPage->setCurrentIndex(Page::Fingerprints);
    m_host.highlightMenu(Page::Fido);
    changeUI_fido_bio();
}

void FidoController::closeFingerprints()
{
    ui->contentPage->setCurrentIndex(Page::FidoWithSensor);
    m_host.highlightMenu(Page::Fido);
}

void FidoController::changeUI_fido_bio()
{
    m_host.send(Cmd::fidoEnumerate(), CmdType::FidoEnumerate);
}

void FidoController::bioAddItem(QStringList names)
{
    ui->fingerList->clear();
    ui->fingerList->addItems(names);
}

void FidoController::addFingerprint()
{
    if (!askFidoPinAsWord())
        return;
    ui->addfinger->setEnabled(false);
    const QString command = Cmd::fidoEnrollBegin(m_fidoPin);
    m_fidoPin.clear();
    m_host.runFingerprintDialog(QStringLiteral("addfinger"), command, CmdType::FidoEnrollBegin);
}

void FidoController::onFidoEnrollBeginReply(const JSON_OBJ& reply)
{
    if (cancelIfRequested())
        return;
    if (reply.SW != Status::Success) {
        ui->addfinger->setEnabled(true);
        if (!reply.INFO.isEmpty())
            m_regFinger->close();
        m_host.showFailure(reply);
        return;
    }
    const QString templateId = lastValue(reply, "TEMPLATE_ID");
    if (!templateId.isEmpty())
        template_id = templateId.mid(2, 4);
    const QString status = lastValue(reply, "STATUS");
    if (status != QLatin1String(kGoodSample)) {
        ui->addfinger->setEnabled(true);
        m_regFinger->errCode(status);
        return;
    }
    m_regFinger->updateUI(lastValue(reply, "REMAINING"));
    m_host.send(Cmd::fidoEnrollNext(template_id), CmdType::FidoEnrollNext);
}

void FidoController::onFidoEnrollNextReply(const JSON_OBJ& reply)
{
    if (cancelIfRequested())
        return;
    if (reply.SW != Status::Success) {
        ui->addfinger->setEnabled(true);
        m_regFinger->close();
        m_host.showFailure(reply);
        return;
    }
    const QString status = lastValue(reply, "STATUS");
    if (status != QLatin1String(kGoodSample)) {
        ui->addfinger->setEnabled(true);
        m_regFinger->errCode(status);
        return;
    }
    const QString remaining = lastValue(reply, "REMAINING");
    m_regFinger->updateUI(remaining);
    if (remaining != QLatin1String("0")) {
        m_host.send(Cmd::fidoEnrollNext(template_id), CmdType::FidoEnrollNext);
        return;
    }
    template_id.clear();
    changeUI_fido_bio();
    m_regFinger->updateUI(QStringLiteral("All set!"));
}

void FidoController::onFidoCancelEnrollmentReply(const JSON_OBJ& reply)
{
    m_regFinger->close();
    ui->addfinger->setEnabled(true);
    if (reply.SW != Status::Success && reply.INFO.isEmpty())
        m_host.showFailure(reply);
}

void FidoController::testFingerprint()
{
    m_regFinger->setCancelRequested(false);
    if (ui->fingerList->count() == 0)
        return;
    m_host.runFingerprintDialog(QStringLiteral("testfinger"), Cmd::fidoVerifyEnrollment(),
                                CmdType::FidoVerifyEnrollment);
}

void FidoController::onFidoVerifyEnrollmentReply(const JSON_OBJ& reply)
{
    if (reply.SW == kActionTimeout) {
        m_regFinger->errCode(QStringLiteral("2F"));
    } else if (reply.SW == Status::Success) {
        m_regFinger->updateUI(QStringLiteral("Test Passed!"));
    } else {
        // The test dialog hides its close button; the failure must leave a way out.
        m_regFinger->errCode(QString());
        m_host.showFailure(reply);
    }
}

void FidoController::deleteFingerprint()
{
    if (ui->fingerList->count() == 0)
        return;
    if (!ui->fingerList->currentItem()) {
        m_host.showMessage(DialogMessage::Warning, QStringLiteral("Warning"),
                           QStringLiteral(" Please select the fingerprint you want to delete."));
        return;
    }
    const QString name = ui->fingerList->currentItem()->text();
    if (!m_host.askQuestion(QStringLiteral("Delete"),
                            QStringLiteral("Do you want to delete the fingerprint \"%1\"?").arg(name)))
        return;
    if (!askFidoPinAsWord())
        return;
    // The template's number is the two decimal digits at positions 12 and 13 of its name.
    const int number = name.mid(12, 2).toInt();
    m_host.showBusy(QStringLiteral("Deleting, please wait ..."));
    m_host.send(Cmd::fidoRemoveEnrollment(m_fidoPin, number), CmdType::FidoRemoveEnrollment);
    m_fidoPin.clear();
}

void FidoController::onFidoRemoveEnrollmentReply(const JSON_OBJ& reply)
{
    if (reply.SW == Status::Success) {
        // The busy panel stays until the list reply hides it.
        changeUI_fido_bio();
        return;
    }
    m_host.hideBusy();
    m_host.showFailure(reply);
}

void FidoController::onFidoEnumerateReply(const JSON_OBJ& reply)
{
    m_host.hideBusy();
    ui->addfinger->setEnabled(true);
    QStringList names;
    if (reply.SW == Status::Success) {
        for (const TextMap& map : reply.DATA)
            if (map.contains("TEMP_NAME"))
                names.append(QString::fromLocal8Bit(map.value("TEMP_NAME")));
    } else if (reply.INFO.isEmpty()) {
        m_host.showFailure(reply);
    }
    bioAddItem(names);
}

bool FidoController::cancelIfRequested()
{
    if (!m_regFinger->cancelRequested())
        return false;
    m_regFinger->setCancelRequested(false);
    m_host.send(Cmd::fidoCancelEnrollment(), CmdType::FidoCancelEnrollment);
    return true;
}
