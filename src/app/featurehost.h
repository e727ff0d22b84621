#pragma once

#include "app/json.h"
#include "app/lasttryguard.h"

#include <QMap>
#include <QString>

#include <functional>

class QWidget;
class ScaledDialog;
class registFingerprint;

// What a feature controller may ask of the window it works in. The window owns the channel, the
// busy panel, the message dialog and the PIN prompts; a controller owns its feature's state.
class FeatureHost
{
public:
    using ReplyHandler = std::function<void(const JSON_OBJ&)>;

    virtual ~FeatureHost() = default;

    virtual void registerHandler(int type, ReplyHandler handler) = 0;
    // Writes a command line. Every way it can end other than by its reply (refused, time-out,
    // backend lost) is handled by the window.
    virtual void send(const QString& line, int type) = 0;
    // Whatever the key was asked will not be answered for this operation.
    virtual void abandonCommand() = 0;
    // Ends the operation in progress without a message: busy panel hidden, secrets forgotten.
    virtual void forgetOperationState() = 0;

    // For a question, true only when the user confirmed.
    virtual bool showMessage(int kind, const QString& title, const QString& text) = 0;
    virtual bool askQuestion(const QString& title, const QString& text) = 0;
    // The reply's INFO, or the stock text when it has none, then `consequence` on its own line.
    virtual void showFailure(const JSON_OBJ& reply, const QString& consequence = QString()) = 0;
    // Before a secret is sent on its last try: true when the user still wants it sent.
    virtual bool confirmLastTry(LastTryGuard::Secret secret) = 0;

    virtual void showBusy(const QString& text) = 0;
    virtual void hideBusy() = 0;
    virtual void highlightMenu(int page) = 0;

    // The PIN prompts shared by FIDO and PIV: empty when cancelled or refused. The map holds
    // "new", and "old" in the modes that change an existing secret.
    virtual QMap<QString, QString> askNewPins(const QString& type) = 0;
    virtual QString askPin(const QString& type) = 0;
    // Whether the last askPin was answered with OK: there an empty answer is an answer too.
    virtual bool pinAnswered() const = 0;
    // False, with a message, when text holds a line break, carriage return or NUL.
    virtual bool isSingleLine(const QString& text) = 0;

    // The fingerprint dialog, shared by enrolment and the PIV touch prompt: shown in `mode` while
    // `command`, the first of its flow, is answered; closed when a command of its flow is refused.
    virtual registFingerprint* fingerprintDialog() = 0;
    virtual void runFingerprintDialog(const QString& mode, const QString& command, int type) = 0;
    virtual void closeFingerprintDialog() = 0;

    // Closes the message dialog if one is open: what it said is out of date.
    virtual void closeMessage() = 0;
    // The key went: its dialogs close and every feature forgets what was typed for it.
    virtual void closeKeyDialogs() = 0;
    // The backend answered its start: what was kept for an earlier backend's commands goes.
    virtual void backendStarted() = 0;

    // The key in the window: its model, and who it is (serial, or name|PID|version).
    virtual QString keyModel() const = 0;
    virtual QString keyIdentity() const = 0;
    // The key report learns which PIV slot the next certificate reply describes.
    virtual void expectPivSlot(const QString& slot) = 0;
    // Runs a local shell command and returns its standard output (blocking).
    virtual QString runShellCommand(const QString& command) = 0;

    // Dialogs and the busy panel sit on this widget and follow its display scale.
    virtual QWidget* dialogParent() = 0;
    virtual double scaleFactor() const = 0;
    virtual void followScale(ScaledDialog* dialog) = 0;
};
