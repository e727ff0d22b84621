// The check offered after an OATH HOTP slot is written: the key types its first code and the
// window compares it with the code it computes from what it wrote. Challenge-response slots
// are not offered a check: no backend command sends a challenge to the key.
#include "app/mainwindow.h"

#include "otp/hotpcode.h"
#include "otp/otpcheckdialog.h"
#include "ui/dialogmessage.h"

namespace {

// A freshly written HOTP slot starts counting at zero.
constexpr quint64 kFirstCounter = 0;

} // namespace

void MainWindow::offerHotpCheck(const QString& hexKey, int digits)
{
    // Only the expected code outlives this line, not the secret.
    QString expected = HotpCode::compute(QByteArray::fromHex(hexKey.toLatin1()), digits, kFirstCounter);
    if (!askQuestion(QStringLiteral("Check the slot"), QStringLiteral("Check the slot now?")))
        return;
    OtpCheckDialog dialog(this, expected);
    expected.clear();
    m_otpCheck = &dialog;
    const bool answered = dialog.exec() == QDialog::Accepted;
    m_otpCheck = nullptr;
    if (!answered)
        return;
    if (dialog.matches())
        showMessage(DialogMessage::Information, QStringLiteral("Success"),
                    QStringLiteral("The slot answers as expected."));
    else
        showMessage(DialogMessage::Warning, QStringLiteral("Warning"),
                    QStringLiteral("The key did not type the expected code.\n"
                                   "Make sure you touched it the way this slot needs (short or long),\n"
                                   "or program the slot again and give the server the same secret."));
}

void MainWindow::closeOtpCheck()
{
    if (m_otpCheck)
        m_otpCheck->reject();
}
