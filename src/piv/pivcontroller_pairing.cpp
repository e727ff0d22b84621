// Setting the key up for logging in to macOS, and what the system says of its pairing.

#include "piv/pivcontroller.h"

#include "app/page.h"

#include "piv/pivdefs.h"
#include "ui_mainwindow.h"

void PivController::openPairingPage()
{
    ui->contentPage->setCurrentIndex(Page::PivPairing);
    const QString paired = runPairingCommand(QStringLiteral("sc_auth list"));
    QString report = QStringLiteral("Paired Device:\n");
    report += paired.isEmpty() ? QStringLiteral("Empty\n") : paired;
    report += QStringLiteral("\nSystemVersion:\n") + runPairingCommand(QStringLiteral("sw_vers"));
    report += QStringLiteral("\nInstalled CryptoTokenKit:\n") +
              runPairingCommand(QStringLiteral("pluginkit -m -p com.apple.ctk-tokens"));
    report += QStringLiteral("\nPair Dialog:\n") + runPairingCommand(QStringLiteral("sc_auth pairing_ui -s status"));
    ui->PIVConfText->setPlainText(report);
}

void PivController::unpair()
{
    // The tool prints nothing when it succeeds.
    const bool unpaired = runPairingCommand(QStringLiteral("sc_auth unpair")).isEmpty();
    ui->PIVConfText->setPlainText(
        QStringLiteral("Unpair Device:\n") +
        (unpaired ? QStringLiteral("Unpair Device Successfully\n") : QStringLiteral("Unpair Device failed\n")));
}

void PivController::enablePairing()
{
    if (!m_host.askQuestion(
            QStringLiteral("Set up for macOS"),
            QStringLiteral("If the certificate already exists in 9a or 9d, continuing will override ？ ")))
        return;
    if (!askPivPinAndManagementKey(currentPin)) {
        endPivOperation();
        return;
    }
    // Only now that every answer is in does the system change.
    runPairingCommand(QStringLiteral("sc_auth pairing_ui -s enable"));
    ui->subjectV->setText(QString::fromLatin1(PivPairing::kSubject));
    currentSlot = QStringLiteral("9a");
    // The generation handlers carry the chain on (9a, then 9d) while this page is shown.
    generate_key(currentSlot, QStringLiteral("ECCP256"), currentPin, currentMgmtKey);
}

QString PivController::runPairingCommand(const QString& command)
{
    return m_pivShell ? m_pivShell(command) : m_host.runShellCommand(command);
}
