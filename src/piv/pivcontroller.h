#pragma once

#include "app/feature.h"
#include "piv/publickeyfolder.h"

#include <QString>

#include <functional>

// The key's PIV application: its PIN, PUK and management key, the certificate in each slot, the
// key generation and import chains, the fingerprint policy and the macOS pairing. The secrets a
// chain needs are kept only while it runs.
class PivController : public Feature
{
public:
    PivController(FeatureHost& host, Ui::MainWindow* ui, QObject* parent = nullptr);

    void registerHandlers() override;
    void forgetOperation() override;
    void keyGone() override;

    // The PIN typed for the operation in progress is forgotten.
    void forgetPin();
    void openPage();
    // The PIV page with the certificate of the chosen slot.
    void showPage();
    void showSlot();
    void changePin();
    void changePuk();
    void changeManagementKey();
    void reset();
    void openCertificatePage();
    void generate();
    void importCertificate();
    void deleteCertificate();
    void exportCertificate();
    void openPolicyPage();
    void setCachedTimeVisible(bool visible);
    void savePolicy();
    void openPairingPage();
    void enablePairing();
    void unpair();

private:
    // Stand-ins for the native file dialog: (caption, directory or name, filter) -> chosen path.
    using FileChooser = std::function<QString(const QString&, const QString&, const QString&)>;

    QString getSlot();
    QString getSignature();
    void piv_getinfo();
    void generate_key(QString slot, QString algorithm, QString pin, QString mgmtKey);
    void import_key(QString slot, QString file, QString pin, QString password, QString mgmtKey);
    void save_cachedTime();

    void openPivSubPage(int index);
    bool askPivPinAndManagementKey(QString& pin);
    void endPivOperation();
    void showCertificateValidity(const QString& text);
    // A failed step of a chained operation ends it: busy panel hidden, secrets forgotten,
    // failure shown.
    bool pivStepFailed(const JSON_OBJ& reply);
    bool isPivPathAcceptable(const QString& path);
    bool isPivPasswordAcceptable(const QString& password);
    bool isSubjectAcceptable(const QString& subject);
    // A certificate or request step failed after the slot got its new key.
    void failAfterNewKey(const JSON_OBJ& reply);
    void showPivVerifyFailure(const JSON_OBJ& reply, const QString& secret, const QString& blockedText);
    QString pivOpenFileName(const QString& caption, const QString& dir, const QString& filter);
    QString pivSaveFileName(const QString& caption, const QString& dir, const QString& filter);
    QString runPairingCommand(const QString& command);

    void onPivChangePinReply(const JSON_OBJ& reply);
    void onPivChangePukReply(const JSON_OBJ& reply);
    void onPivChangeManagementKeyReply(const JSON_OBJ& reply);
    void onPivResetReply(const JSON_OBJ& reply);
    void onPivImportKeyReply(const JSON_OBJ& reply);
    void onPivImportCertificateReply(const JSON_OBJ& reply);
    void onPivGenerateKeyReply(const JSON_OBJ& reply);
    void onPivGenerateCertificateReply(const JSON_OBJ& reply);
    void onPivGenerateCsrReply(const JSON_OBJ& reply);
    void onPivDeleteCertificateReply(const JSON_OBJ& reply);
    void onPivExportCertificateReply(const JSON_OBJ& reply);
    void onPivReadObjectReply(const JSON_OBJ& reply);
    void onPivHasFingerprintReply(const JSON_OBJ& reply);
    void onPivSetBioPolicyReply(const JSON_OBJ& reply);
    void onPivSetCachedTimeReply(const JSON_OBJ& reply);

    QString m_pivPin;
    // The operation in flight, read by the reply handlers that chain its next command. The
    // secrets among them are cleared when the operation ends.
    QString currentSlot;
    QString currentPin;
    QString currentPassword;
    QString currentCertFile;
    QString currentMgmtKey;
    // Where the request of a generation goes, chosen before the key is generated.
    QString m_csrFile;
    PublicKeyFolder m_publicKeyFolder;
    // Empty: the native file dialogs and the window's shell. Tests put their own here.
    FileChooser m_pivOpenFile;
    FileChooser m_pivSaveFile;
    std::function<QString(const QString&)> m_pivShell;

    friend class MainWindowTestAccess;
};
