// Listing and deleting the key's resident credentials.

#include "fido/fidocontroller.h"

#include "app/commands.h"
#include "app/logmask.h"
#include "app/programstate.h"
#include "fido/credential.h"
#include "fido/crelistdialog.h"
#include "support/hex.h"
#include "support/protocol.h"
#include "ui/dialogmessage.h"

#include <QDebug>

namespace {

constexpr quint32 kNoCredential = 0xF0;

Credential credentialFrom(const TextMap& record)
{
    Credential credential;
    for (auto it = record.begin(); it != record.end(); ++it) {
        const QByteArray key = it.key();
        const QString value = QString::fromLocal8Bit(it.value());
        if (key == "RP_ID")
            credential.rpId = value;
        else if (key == "USER_NAME")
            credential.userName = value;
        else if (key == "CREDENTIAL_ID")
            credential.credentialId = value;
        else if (key == "CREDENTIAL_TYPE")
            credential.credentialType = value;
    }
    return credential;
}

} // namespace

void FidoController::listCredentials()
{
    m_fidoPin.clear();
    qDebug() << "g_insreted=" << (g_insreted ? "true" : "false");
    if (!askFidoPin())
        return;
    const QString line = Cmd::fidoListCredentials(m_fidoPin);
    qDebug() << "arg==" << maskSecrets(line);
    m_host.showBusy(QStringLiteral("  Query in progress, please wait ... "));
    m_host.send(line, CmdType::FidoListCredentials);
}

void FidoController::showCreListDialog(QVector<Credential> const& credentials)
{
    m_creList->delAllItem(m_host.dialogParent());
    for (const Credential& credential : credentials)
        m_creList->addItem(credential);
    m_creList->exec();
}

void FidoController::onFidoListCredentialsReply(const JSON_OBJ& reply)
{
    m_host.hideBusy();
    if (reply.SW == Status::Success) {
        QVector<Credential> credentials;
        for (const TextMap& record : reply.DATA)
            credentials.append(credentialFrom(record));
        // The remembered PIN stays while the list is open: its deletions need it.
        showCreListDialog(credentials);
    } else if (reply.SW == kNoCredential) {
        m_host.showMessage(DialogMessage::Information, QStringLiteral("Information"),
                           QStringLiteral("No valid credential found."));
    } else {
        m_host.showFailure(reply);
    }
    m_fidoPin.clear();
}

void FidoController::deleteCredential(const Credential& credential)
{
    // A passkey cannot be brought back: the question names whose it is.
    const QString question = QStringLiteral("Do you want to delete the credential of user \"%1\" for \"%2\"? \n"
                                            "This permanently deletes it from the key.")
                                 .arg(credential.userName, credential.rpId);
    if (!m_host.askQuestion(QStringLiteral("Delete"), question))
        return;
    // The PIN the list was opened with authorises the deletion.
    QString hexPin;
    Str2HexStr(m_fidoPin, hexPin);
    m_host.showBusy(QStringLiteral("Deleting, please wait ..."));
    m_host.send(Cmd::fidoDeleteCredential(credential.credentialId, credential.credentialType) + QStringLiteral(" -p ") +
                    hexPin,
                CmdType::FidoDeleteCredential);
}

void FidoController::onFidoDeleteCredentialReply(const JSON_OBJ& reply)
{
    m_host.hideBusy();
    if (reply.SW == Status::Success)
        m_creList->delItem(true);
    else if (reply.SW == kNoCredential)
        m_host.showMessage(DialogMessage::Information, QStringLiteral("Information"),
                           QStringLiteral("No valid credential found."));
    else
        m_host.showFailure(reply);
}
