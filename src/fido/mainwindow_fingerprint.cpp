// Fingerprint templates: the list, enrolment sample by sample, test and delete.

#include "app/mainwindow.h"

#include "app/page.h"

#include "app/commands.h"
#include "support/protocol.h"
#include "ui/dialogmessage.h"
#include "ui/registfingerprint.h"
#include "ui/waitingdialog.h"
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

// Whether a close click asked to stop; if so the key is told and the reply is not looked at.
bool cancelIfRequested(registFingerprint* dialog, MainWindow* window)
{
    if (!dialog->cancelRequested())
        return false;
    dialog->setCancelRequested(false);
    window->cmdSend(Cmd::fidoCancelEnrollment(), CmdType::FidoCancelEnrollment);
    return true;
}

} // namespace

void MainWindow::on_bioMgr1_clicked()
{
    ui->fingerList->clear();
    ui->contentPage->setCurrentIndex(Page::Fingerprints);
    setBtnStyleSheet(Page::Fido);
    changeUI_fido_bio();
}

void MainWindow::on_backBio_clicked()
{
    ui->contentPage->setCurrentIndex(Page::FidoWithSensor);
    setBtnStyleSheet(Page::Fido);
}

void MainWindow::changeUI_fido_bio()
{
    cmdSend(Cmd::fidoEnumerate(), CmdType::FidoEnumerate);
}

void MainWindow::bioAddItem(QStringList names)
{
    ui->fingerList->clear();
    ui->fingerList->addItems(names);
}

void MainWindow::closeFingerprintDialog()
{
    m_fingerCommandDropped = true;
    if (!m_regFinger)
        return;
    m_regFinger->close();
    ui->addfinger->setEnabled(true);
}

void MainWindow::on_addfinger_clicked()
{
    if (!askFidoPinAsWord())
        return;
    ui->addfinger->setEnabled(false);
    const QString command = Cmd::fidoEnrollBegin(m_fidoPin);
    m_fidoPin.clear();
    runFingerprintDialog(QStringLiteral("addfinger"), command, CmdType::FidoEnrollBegin);
}

void MainWindow::runFingerprintDialog(const QString& mode, const QString& command, int type)
{
    m_regFinger->setType(this, mode);
    m_fingerCommandDropped = false;
    cmdSend(command, type);
    // A refused command gets no reply; a dialog waiting for one could only be closed by hand,
    // and the test and cached-time prompts have no close button.
    if (!m_fingerCommandDropped)
        m_regFinger->exec();
}

void MainWindow::onFidoEnrollBeginReply(const JSON_OBJ& reply)
{
    if (cancelIfRequested(m_regFinger, this))
        return;
    if (reply.SW != Status::Success) {
        ui->addfinger->setEnabled(true);
        if (!reply.INFO.isEmpty())
            m_regFinger->close();
        showFailure(reply);
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
    cmdSend(Cmd::fidoEnrollNext(template_id), CmdType::FidoEnrollNext);
}

void MainWindow::onFidoEnrollNextReply(const JSON_OBJ& reply)
{
    if (cancelIfRequested(m_regFinger, this))
        return;
    if (reply.SW != Status::Success) {
        ui->addfinger->setEnabled(true);
        m_regFinger->close();
        showFailure(reply);
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
        cmdSend(Cmd::fidoEnrollNext(template_id), CmdType::FidoEnrollNext);
        return;
    }
    template_id.clear();
    changeUI_fido_bio();
    m_regFinger->updateUI(QStringLiteral("All set!"));
}

void MainWindow::onFidoCancelEnrollmentReply(const JSON_OBJ& reply)
{
    m_regFinger->close();
    ui->addfinger->setEnabled(true);
    if (reply.SW != Status::Success && reply.INFO.isEmpty())
        showFailure(reply);
}

void MainWindow::on_testfinger_clicked()
{
    m_regFinger->setCancelRequested(false);
    if (ui->fingerList->count() == 0)
        return;
    runFingerprintDialog(QStringLiteral("testfinger"), Cmd::fidoVerifyEnrollment(), CmdType::FidoVerifyEnrollment);
}

void MainWindow::onFidoVerifyEnrollmentReply(const JSON_OBJ& reply)
{
    if (reply.SW == kActionTimeout) {
        m_regFinger->errCode(QStringLiteral("2F"));
    } else if (reply.SW == Status::Success) {
        m_regFinger->updateUI(QStringLiteral("Test Passed!"));
    } else {
        // The test dialog hides its close button; the failure must leave a way out.
        m_regFinger->errCode(QString());
        showFailure(reply);
    }
}

void MainWindow::on_delfinger_clicked()
{
    if (ui->fingerList->count() == 0)
        return;
    if (!ui->fingerList->currentItem()) {
        showMessage(DialogMessage::Warning, QStringLiteral("Warning"),
                    QStringLiteral(" Please select the fingerprint you want to delete."));
        return;
    }
    const QString name = ui->fingerList->currentItem()->text();
    if (!askQuestion(QStringLiteral("Delete"),
                     QStringLiteral("Do you want to delete the fingerprint \"%1\"?").arg(name)))
        return;
    if (!askFidoPinAsWord())
        return;
    // The template's number is the two decimal digits at positions 12 and 13 of its name.
    const int number = name.mid(12, 2).toInt();
    m_waiting->show(this, QStringLiteral("Deleting, please wait ..."));
    cmdSend(Cmd::fidoRemoveEnrollment(m_fidoPin, number), CmdType::FidoRemoveEnrollment);
    m_fidoPin.clear();
}

void MainWindow::onFidoRemoveEnrollmentReply(const JSON_OBJ& reply)
{
    if (reply.SW == Status::Success) {
        // The busy panel stays until the list reply hides it.
        changeUI_fido_bio();
        return;
    }
    m_waiting->hide();
    showFailure(reply);
}

void MainWindow::onFidoEnumerateReply(const JSON_OBJ& reply)
{
    m_waiting->hide();
    ui->addfinger->setEnabled(true);
    QStringList names;
    if (reply.SW == Status::Success) {
        for (const TextMap& map : reply.DATA)
            if (map.contains("TEMP_NAME"))
                names.append(QString::fromLocal8Bit(map.value("TEMP_NAME")));
    } else if (reply.INFO.isEmpty()) {
        showFailure(reply);
    }
    bioAddItem(names);
}
