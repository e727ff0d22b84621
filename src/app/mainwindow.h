#pragma once

#include "app/backendchannel.h"
#include "app/json.h"
#include "app/keyreport.h"
#include "app/lasttryguard.h"
#include "otp/otp_struct.h"
#include "piv/publickeyfolder.h"

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class MainWindow;
}
class QCheckBox;
class QMessageBox;
class QSettings;
class QTimer;
class QValidator;
class DialogMessage;
class changePIN;
class piv_pin;
class CreListDialog;
class registFingerprint;
struct Credential;
class WaitingDialog;
class OtpCheckDialog;

// Program-wide state shared by the features.
extern int g_currItem;
extern bool g_insreted;
extern quint16 g_currInterface;
extern quint16 g_currProtocol;
extern bool isfidoHavePin;
// The fingerprint template being enrolled (src/fido).
extern QString template_id;

// The one window. Its member functions live with their feature: each section below names the
// folder that defines it.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr, const QString& backendPath = QString());
    ~MainWindow() override;

    // Runs a local shell command and returns its standard output (blocking).
    QString executeLinuxCmd(QString strCmd);
    QString backendPath() const { return m_channel->program(); }

signals:
    // Emitted once when the backend cannot be started or keeps dying; the window stays usable.
    void backendUnavailable(QString const& path);

    // ---- backend bridge and dispatcher (src/app) ----
public slots:
    void setCurrentItemInfo(QString const& info, int index);
    void cmdSend(QString arguments, int index);
    void on_exit_clicked();
    void qSleep(int ms);
    void save_to_file_debug(QString text);
    void on_operationTimedout();

private:
    using ReplyHandler = void (MainWindow::*)(const JSON_OBJ&);

    // Every way an operation can end other than by its own reply.
    enum class OperationEnd {
        TimedOut,
        ChannelBusy,
        BackendRestarted,
        IncompleteReply,
        BackendUnavailable,
        UnsafeText
    };

    void createChannel();
    void onChannelReplies(const QList<QByteArray>& texts);
    void onCommandLost(int type, BackendChannel::Loss loss);
    void dispatchReply(const QByteArray& info, std::optional<int> type);
    // Ends the operation in progress whatever ended it: busy panel hidden, channel free, its
    // secrets forgotten, and one message saying what happened.
    void endOperation(OperationEnd why);
    void forgetOperationState();
    QString operationEndText(OperationEnd why) const;
    void reportBackendUnavailable();
    void registerHandlers();
    void registerHandler(int type, ReplyHandler handler);
    void fallbackHandler(const JSON_OBJ& reply);
    // The generic failure report: the reply's INFO, or the stock text when it has none, then
    // `consequence` on a line of its own when there is one.
    void showFailure(const JSON_OBJ& reply, const QString& consequence = QString());
    // Shows the shared message dialog; for a question, true only when the user confirmed.
    // A message asked for while another is open waits for it to close.
    bool showMessage(int kind, const QString& title, const QString& text);
    bool askQuestion(const QString& title, const QString& text);
    void showPendingMessages();
    // Before a secret is sent on its last try: true when the user still wants it sent.
    bool confirmLastTry(LastTryGuard::Secret secret);
    // A dropped command ends the fingerprint dialog's flow.
    void closeFingerprintDialog();

    std::unique_ptr<Ui::MainWindow> ui;
    QMessageBox* m_msgBox = nullptr;
    DialogMessage* m_dlgMessage = nullptr;
    JSON* m_json = nullptr;
    TextMap m_scratch;
    WaitingDialog* m_waiting = nullptr;
    QString m_pivPin;
    QString g_tmpBuf;
    QString m_fidoPin;
    LastTryGuard m_lastTry;
    double m_scale = 1.0;

    BackendChannel* m_channel = nullptr;
    struct PendingMessage
    {
        int kind;
        QString title;
        QString text;
    };
    QList<PendingMessage> m_pendingMessages;
    bool m_exiting = false;
    QHash<int, ReplyHandler> m_replyHandlers;
    bool m_isResetting = false;
    bool m_isSwitching = false;
    enum class ResetPhase { Idle, AwaitingTouch, AwaitingReplug, CheckingKey };
    ResetPhase m_resetPhase = ResetPhase::Idle;
    // Who the key being reset is (keyIdentity), so that only it is reset after a re-plug.
    QString m_resetKey;

    // ---- device presence, home page, applications and transports (src/device) ----
public slots:
    void on_btn_getdeviceinfo_clicked();
    void hideAppItem(bool flag);

private slots:
    void on_home_clicked();
    void on_application_clicked();
    void on_interface_2_clicked();
    void on_save_clicked();
    void on_save_protocol_clicked();

private:
    // The transport and application texts of a details reply, carried from map to map.
    struct KeyTexts
    {
        QString transport;
        QString application;
    };

    void registerDeviceHandlers();
    void changeUI_Device(JSON_OBJ event);
    void keyInserted();
    void keyRemoved(quint32 event);
    void closeKeyDialogs();
    void reset_app_state();
    void update_device_interface();
    void onStartupReply(const JSON_OBJ& reply);
    void onDeviceInfoReply(const JSON_OBJ& reply);
    void onSetApplicationReply(const JSON_OBJ& reply);
    void onSetTransportReply(const JSON_OBJ& reply);
    void showDetail(const QByteArray& key, const QString& value, KeyTexts& texts);
    void applyTransportRules(const QString& transport, bool startupLooks);
    void applyApplicationRules(const QString& transport, const QString& application);
    void applyApplicationRulesOnChange(const KeyTexts& texts, KeyTexts& applied);
    void showApplication(QCheckBox* box, QWidget* indicator, int bit);
    void showIndicator(QCheckBox* box, QWidget* indicator, bool on);
    int checkedApplications() const;
    void showKeyPicture(bool inserted);

    // Serial number, or name, PID and version where the serial is hidden.
    static QString keyIdentity(const JSON_OBJ& details);

    QString m_model;
    QString m_keyIdentity;
    int m_pendingAppMask = 0;
    // The key picture is drawn once per pass of the event loop, however many events came at once.
    bool m_keyPictureInserted = false;
    bool m_keyPictureQueued = false;

    // ---- menu highlighting (src/app/mainwindow_menu.cpp) ----
public:
    void setBtnStyleSheet(int page);

private:
    void paintSubItems(int mode);
    void showKeyNameInTitle(int page);

    // ---- window shell: layout, navigation, scaling (src/app/mainwindow_shell.cpp) ----
public:
    double scaleFactor() const { return m_scale; }

signals:
    // The display scale changed; every scaled dialog connects its screenChanged(double) here.
    void scaleFactorChanged(double factor);

public slots:
    void refreshDPI();

private slots:
    void on_about_clicked();
    void on_btn_min_clicked();
    void on_help_clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Constructor steps: the window's size, frame, flags and first look (right after setupUi);
    // the first scale and following the screen's dpi (once the backend started).
    void setupWindowShell();
    void setupScaling();
    void fitMenuLabels();
    // refreshDPI with the screen's values given, so the rules can be checked for any screen.
    void applyScreen(double logicalDpi, const QSize& available);
    void fitToScreen(const QSize& available);
    // The window's position is kept across starts.
    static QSettings settings();
    void restorePosition();
    void keepPosition();

    QWidget* m_background = nullptr;
    QPoint m_lastMousePos;

    // ---- FIDO2 (src/fido) ----
    // The two ways of asking for secrets, shared with PIV: empty when cancelled. The map holds
    // "new", and "old" in the modes that change an existing secret.
    QMap<QString, QString> showChangePINDialog(QString const& type);
    QString showPINDialog(QString const& type);
    // False, with a message, when text holds a line break, carriage return or NUL.
    bool isSingleLine(const QString& text);
    // Asks for the FIDO PIN into m_fidoPin; false when the key has none yet (the user is told)
    // or the prompt was cancelled.
    bool askFidoPin();
    // askFidoPin for commands that carry the PIN as typed, where a blank or quote would split it.
    bool askFidoPinAsWord();

private slots:
    void on_fido_clicked();
    void on_fidoSetPIN_clicked();
    void on_fidoSetPIN1_clicked();
    void on_enumCre_clicked();
    void on_enumCre1_clicked();
    void on_bioMgr1_clicked();
    void on_backBio_clicked();
    void on_addfinger_clicked();
    void on_testfinger_clicked();
    void on_delfinger_clicked();
    void on_reset_clicked();
    void on_reset1_clicked();

private:
    void createFidoDialogs();
    void registerFidoHandlers();
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
    // Runs the fingerprint dialog in `mode` while `command`, the first of its flow, is answered.
    void runFingerprintDialog(const QString& mode, const QString& command, int type);
    void onFidoEnrollBeginReply(const JSON_OBJ& reply);
    void onFidoEnrollNextReply(const JSON_OBJ& reply);
    void onFidoCancelEnrollmentReply(const JSON_OBJ& reply);
    void onFidoVerifyEnrollmentReply(const JSON_OBJ& reply);
    void onFidoRemoveEnrollmentReply(const JSON_OBJ& reply);
    void onFidoEnumerateReply(const JSON_OBJ& reply);
    void onFidoResetReply(const JSON_OBJ& reply);
    void sendFidoReset();
    void endFidoReset();
    void checkReinsertedKey();
    // False when the details do not belong to a reset's re-plug check.
    bool continueFidoReset(const QString& identity);
    // True when a key removal ended a reset the key was working on.
    bool fidoResetInterrupted();
    void showResetInterrupted();

    changePIN* m_changePin = nullptr;
    piv_pin* m_pivPinDlg = nullptr;
    CreListDialog* m_creList = nullptr;
    registFingerprint* m_regFinger = nullptr;
    // Set when the channel refused a fingerprint command, so its dialog is not left waiting.
    bool m_fingerCommandDropped = false;

    // ---- PIV (src/piv) ----
private slots:
    void on_piv_clicked();
    void on_pivPin_clicked();
    void on_pivPuk_clicked();
    void on_pivMKey_clicked();
    void on_pivReset_clicked();
    void on_comboBox_currentIndexChanged(int index);
    void on_certGen_clicked();
    void on_generate_clicked();
    void on_certImp_clicked();
    void on_certDel_clicked();
    void on_certExp_clicked();
    void on_backPiv_clicked();
    void on_bioPolicy_clicked();
    void on_cached_clicked();
    void on_always_clicked();
    void on_save_pivPolicy_clicked();
    void on_backPiv_2_clicked();
    void on_pivRLogin_clicked();
    void on_pivEnablepair_clicked();
    void on_pivUnpair_clicked();
    void on_pivConfBack_clicked();

private:
    // Stand-ins for the native file dialog: (caption, directory or name, filter) -> chosen path.
    using FileChooser = std::function<QString(const QString&, const QString&, const QString&)>;

    void registerPivHandlers();
    QString getSlot();
    QString getSignature();
    void piv_getinfo();
    void generate_key(QString slot, QString algorithm, QString pin, QString mgmtKey);
    void import_key(QString slot, QString file, QString pin, QString password, QString mgmtKey);
    void save_cachedTime();

    void openPivPage();
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
    void setCachedTimeVisible(bool visible);
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
    // Empty: the native file dialogs and executeLinuxCmd. Tests put their own here.
    FileChooser m_pivOpenFile;
    FileChooser m_pivSaveFile;
    std::function<QString(const QString&)> m_pivShell;

    // ---- OTP (src/otp) ----
private slots:
    void on_otp_clicked();
    void on_backOtp_clicked();
    void on_otp_swap_clicked();
    void on_otp1Delete_clicked();
    void on_otp2Delete_clicked();
    void on_otp1Conf_clicked();
    void on_otp2Conf_clicked();
    void on_otp_mode_hotp_clicked();
    void on_otp_mode_sp_clicked();
    void on_otp_mode_cr_clicked();
    void on_check_sta_any_stateChanged(int state);
    void on_hotp_gen_name_clicked();
    void on_sta_gen_name_clicked();
    void on_cr_gen_name_clicked();
    void on_hotp_gen_key_clicked();
    void on_sta_gen_key_clicked();
    void on_cr_gen_key_clicked();
    void on_lineEdit_hotp_name_textChanged(const QString& text);
    void on_lineEdit_hotp_key_textChanged(const QString& text);
    void on_lineEdit_sta_name_textChanged(const QString& text);
    void on_lineEdit_sta_key_textChanged(const QString& text);
    void on_lineEdit_cr_name_textChanged(const QString& text);
    void on_lineEdit_cr_key_textChanged(const QString& text);
    void on_hotp_config_clicked();
    void on_sta_config_clicked();
    void on_cr_config_clicked();
    void on_checkBox_withenter_clicked();
    void on_save_language_clicked();

private:
    void registerOtpHandlers();
    void listOTP();
    void selectOtpSubPage();
    // Asks, then deletes the slot's configuration (0 = slot 1, 1 = slot 2).
    void deleteOtpSlot(int slot);
    void changeUI_OTP_List(OTP_STRUCT otp);
    void showOtpModes();
    // Not a slot: there is no "otpmode" widget to connect it to by name.
    void on_otpmode_currentIndexChanged(int index);
    QValidator* otpValidator(const QString& pattern);
    QString getRandomData(int count, bool hexFormat, bool anyChar);
    void getItemValue(OTP_STRUCT& otp);
    void configOTP();
    void getOTPValueWithEnter();
    void setOTPValueWithEnter(bool on);
    void onOtpPutReply(const JSON_OBJ& reply);
    // After a HOTP slot is written: asks, then compares the key's first code with the one expected.
    void offerHotpCheck(const QString& hexKey, int digits);
    void closeOtpCheck();
    void onOtpListReply(const JSON_OBJ& reply);
    void onOtpDeleteReply(const JSON_OBJ& reply);
    void onOtpSwapReply(const JSON_OBJ& reply);
    void onOtpSetLanguageReply(const JSON_OBJ& reply);
    void onOtpReadWithEnterReply(const JSON_OBJ& reply);
    void onOtpWriteWithEnterReply(const JSON_OBJ& reply);

    // The slot records as the last "otp list" (or a successful write) left them.
    OTP_STRUCT m_otp[2];
    QHash<QString, QValidator*> m_otpValidators;
    // The check running on a freshly written slot, closed when the key goes.
    QPointer<OtpCheckDialog> m_otpCheck;

    // ---- key report (src/app) ----
    void setupKeyReport();
    void saveKeyReport();
    void showKeyReport();

    KeyReport m_keyReport;
    FileChooser m_reportSaveFile;

    friend class MainWindowTestAccess;
};
