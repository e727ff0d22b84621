#pragma once

#include "app/feature.h"
#include "app/replugflow.h"

#include <QStringList>
#include <QVector>

class CreListDialog;
class registFingerprint;
struct Credential;

// The key's FIDO2 application: its PIN, resident credentials, fingerprints and reset. The PIN
// the user typed is kept only for the operation that needs it.
class FidoController : public Feature, public ReplugFlow
{
public:
    FidoController(FeatureHost& host, Ui::MainWindow* ui, QObject* parent = nullptr);

    void registerHandlers() override;
    void forgetOperation() override;
    void keyGone() override;

    // The PIN button says "Set PIN" or "Change PIN" as the key last told.
    void showPinState();
    void openPage();
    void setOrChangePin();
    void listCredentials();
    void openFingerprints();
    void closeFingerprints();
    void addFingerprint();
    void testFingerprint();
    void deleteFingerprint();
    void reset();

    bool isRunning() const override { return m_resetPhase != ResetPhase::Idle; }
    void keyReturned() override;
    bool keyChecked(const QString& identity) override;
    bool interruptedByRemoval() override;
    void reportInterruption() override;

private:
    enum class ResetPhase { Idle, AwaitingTouch, AwaitingReplug, CheckingKey };

    // Asks for the FIDO PIN into m_fidoPin; false when the key has none yet (the user is told)
    // or the prompt was cancelled.
    bool askFidoPin();
    // askFidoPin for commands that carry the PIN as typed, where a blank or quote would split it.
    bool askFidoPinAsWord();
    void setFidoPinButtons(bool havePin);
    void onFidoSetPinReply(const JSON_OBJ& reply);
    void onFidoChangePinReply(const JSON_OBJ& reply);
    void onFidoPinRetriesReply(const JSON_OBJ& reply);

    void showCreListDialog(QVector<Credential> const& credentials);
    void deleteCredential(const Credential& credential);
    void onFidoListCredentialsReply(const JSON_OBJ& reply);
    void onFidoDeleteCredentialReply(const JSON_OBJ& reply);

    void changeUI_fido_bio();
    void bioAddItem(QStringList names);
    // Whether a close click asked to stop; if so the key is told and the reply is not looked at.
    bool cancelIfRequested();
    void onFidoEnrollBeginReply(const JSON_OBJ& reply);
    void onFidoEnrollNextReply(const JSON_OBJ& reply);
    void onFidoCancelEnrollmentReply(const JSON_OBJ& reply);
    void onFidoVerifyEnrollmentReply(const JSON_OBJ& reply);
    void onFidoRemoveEnrollmentReply(const JSON_OBJ& reply);
    void onFidoEnumerateReply(const JSON_OBJ& reply);

    void onFidoResetReply(const JSON_OBJ& reply);
    void sendFidoReset();
    void endFidoReset();

    QString m_fidoPin;
    CreListDialog* m_creList = nullptr;
    registFingerprint* m_regFinger = nullptr;
    ResetPhase m_resetPhase = ResetPhase::Idle;
    // Who the key being reset is, so that only it is reset after a re-plug.
    QString m_resetKey;

    friend class MainWindowTestAccess;
};
