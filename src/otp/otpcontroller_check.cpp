// The checks offered after an OTP slot is written. A HOTP slot types its first code and the
// window compares it with the code it computes from what it wrote; a challenge-response slot
// answers a random challenge and the window compares that with the HMAC-SHA1 it computes.
#include "otp/otpcontroller.h"

#include "app/commands.h"
#include "otp/hotpcode.h"
#include "otp/otpcheckdialog.h"
#include "otp/otpinput.h"
#include "support/protocol.h"
#include "ui/dialogmessage.h"

#include <QMessageAuthenticationCode>
#include <QRandomGenerator>

#include <utility>

namespace {

// A freshly written HOTP slot starts counting at zero.
constexpr quint64 kFirstCounter = 0;
// Any length from 1 to 64 bytes is answered; 32 random bytes are never guessed nor repeated.
constexpr int kChallengeWords = 8;

QByteArray randomChallenge()
{
    quint32 words[kChallengeWords];
    QRandomGenerator::system()->fillRange(words);
    return QByteArray(reinterpret_cast<const char*>(words), sizeof(words));
}

QByteArray responseOf(const JSON_OBJ& reply)
{
    for (const TextMap& map : reply.DATA)
        if (map.contains("RESPONSE"))
            return map.value("RESPONSE").toLower();
    return QByteArray();
}

} // namespace

void OtpController::offerHotpCheck(const QString& hexKey, int digits)
{
    // Only the expected code outlives this line, not the secret.
    QString expected = HotpCode::compute(QByteArray::fromHex(hexKey.toLatin1()), digits, kFirstCounter);
    if (!m_host.askQuestion(QStringLiteral("Check the slot"), QStringLiteral("Check the slot now?")))
        return;
    OtpCheckDialog dialog(m_host.dialogParent(), expected);
    expected.clear();
    m_otpCheck = &dialog;
    const bool answered = dialog.exec() == QDialog::Accepted;
    m_otpCheck = nullptr;
    if (answered)
        showOtpCheckVerdict(dialog.matches(),
                            QStringLiteral("The key did not type the expected code.\n"
                                           "Make sure you touched it the way this slot needs (short or long),\n"
                                           "or program the slot again and give the server the same secret."));
}

void OtpController::closeCheck()
{
    if (m_otpCheck)
        m_otpCheck->reject();
}

void OtpController::offerChallengeCheck(int slot, const QString& hexKey)
{
    const QByteArray challenge = randomChallenge();
    // Only the expected response outlives this function, not the secret.
    const QByteArray expected =
        QMessageAuthenticationCode::hash(challenge, QByteArray::fromHex(hexKey.toLatin1()), QCryptographicHash::Sha1)
            .toHex();
    if (!m_host.askQuestion(QStringLiteral("Check the slot"), QStringLiteral("Check the slot now?")))
        return;
    m_otpExpectedResponse = expected;
    // The window writes every challenge-response slot with "Require touch".
    m_host.showBusy(OtpInput::touchPrompt());
    m_host.send(Cmd::otpChallenge(slot, QString::fromLatin1(challenge.toHex())), CmdType::OtpChallenge);
}

void OtpController::onOtpChallengeReply(const JSON_OBJ& reply)
{
    m_host.hideBusy();
    const QByteArray expected = std::exchange(m_otpExpectedResponse, QByteArray());
    if (reply.SW == Status::OtpTouchTimeout)
        m_host.showMessage(DialogMessage::Warning, QStringLiteral("Warning"), QStringLiteral("Touch time out."));
    else if (reply.SW != Status::Success)
        m_host.showFailure(reply);
    else
        showOtpCheckVerdict(responseOf(reply) == expected,
                            QStringLiteral("The key did not give the expected response.\n"
                                           "Delete the slot, or program it again with the secret the server "
                                           "was given."));
}

void OtpController::showOtpCheckVerdict(bool matches, const QString& mismatch)
{
    if (matches)
        m_host.showMessage(DialogMessage::Information, QStringLiteral("Success"),
                           QStringLiteral("The slot answers as expected."));
    else
        m_host.showMessage(DialogMessage::Warning, QStringLiteral("Warning"), mismatch);
}

void OtpController::forgetOtpChallenge()
{
    m_otpExpectedResponse.clear();
}
