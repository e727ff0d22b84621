// Resetting the FIDO2 application, across a re-plug when the key asks for one.

#include "app/mainwindow.h"

#include "app/commands.h"
#include "ui/waitingdialog.h"

#include <QDebug>

namespace {

constexpr quint32 kSuccess = 0x9000;
// The key accepts a reset only shortly after power-up.
constexpr quint32 kNotAllowed = 0x30;

const char kTouchPrompt[] = "  Please touch your VELMORA FIDO Security Key ... ";
const char kReplugPrompt[] = "Remove and re-insert your VELMORA FIDO Security Key ...";

} // namespace

void MainWindow::on_reset_clicked()
{
    if (!showMessage(3, QStringLiteral("Reset FIDO"),
                     QStringLiteral("All FIDO related credentials will be removed, continue ? ")))
        return;
    m_isResetting = true;
    cmdSend(Cmd::fidoReset(), CmdType::FidoReset);
    // Hiding first restarts the busy panel's 60 seconds.
    m_waiting->hide();
    m_waiting->show(this, QLatin1String(kTouchPrompt));
}

void MainWindow::on_reset1_clicked()
{
    on_reset_clicked();
}

void MainWindow::onFidoResetReply(const JSON_OBJ& reply)
{
    m_fidoPin.clear();
    m_isResetting = false;
    if (reply.SW == kNotAllowed) {
        // The device events continue the flow: the re-insertion sends the reset again.
        m_waiting->hide();
        m_waiting->show(this, QLatin1String(kReplugPrompt));
        m_isResetting = true;
        return;
    }
    if (reply.SW == kSuccess) {
        m_waiting->hide();
        isfidoHavePin = false;
        setFidoPinButtons(false);
        showMessage(0, QStringLiteral("Success"), QStringLiteral("Reset successfully."));
    } else {
        if (!reply.INFO.isEmpty())
            qDebug() << "\n1===============FIDO_RESET========" << reply.SW << "obj.info:" << reply.INFO;
        m_waiting->hide();
        showFailure(reply);
    }
    m_waiting->hide();
    m_isResetting = false;
}
