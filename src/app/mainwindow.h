#pragma once

#include "app/backendchannel.h"
#include "app/featurehost.h"
#include "app/json.h"
#include "app/keyreport.h"
#include "app/lasttryguard.h"
#include "app/programstate.h"

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QMap>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class MainWindow;
}
class ScaledDialog;
class QSettings;
class QTimer;
class DialogMessage;
class changePIN;
class piv_pin;
class DeviceController;
class FidoController;
class PivController;
class registFingerprint;
struct Credential;
class WaitingDialog;
class OtpController;

// The one window. Its member functions live with their feature: each section below names the
// folder that defines it.
class MainWindow : public QMainWindow, private FeatureHost
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
    // Every way an operation can end other than by its own reply.
    enum class OperationEnd {
        TimedOut,
        ChannelBusy,
        BackendRestarted,
        IncompleteReply,
        BackendUnavailable,
        UnsafeText
    };

    void createFeatures();
    void createChannel();
    void onChannelReplies(const QList<QByteArray>& texts);
    void onCommandLost(int type, BackendChannel::Loss loss);
    void dispatchReply(const QByteArray& info, std::optional<int> type);
    // Ends the operation in progress whatever ended it: busy panel hidden, channel free, its
    // secrets forgotten, and one message saying what happened.
    void endOperation(OperationEnd why);
    QString operationEndText(OperationEnd why) const;
    void reportBackendUnavailable();
    void registerHandlers();
    void fallbackHandler(const JSON_OBJ& reply);
    void showPendingMessages();

    std::unique_ptr<Ui::MainWindow> ui;
    DialogMessage* m_dlgMessage = nullptr;
    JSON* m_json = nullptr;
    WaitingDialog* m_waiting = nullptr;
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

    // ---- device presence, home page, applications and transports: the slots forward to the
    // controller (src/device) ----
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
    DeviceController* m_device = nullptr;

    // ---- menu highlighting (src/app/mainwindow_menu.cpp) ----
public:
    void setBtnStyleSheet(int page);

private:
    void paintSubItems(int mode);
    void showKeyNameInTitle(int page);

    // ---- window shell: layout, navigation, scaling (src/app/mainwindow_shell.cpp) ----
public:
    double scaleFactor() const override { return m_scale; }

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

    // ---- FIDO2: the slots forward to the controller (src/fido) ----
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
    FidoController* m_fido = nullptr;

    // ---- what the features ask of the window (src/app) ----
    void registerHandler(int type, ReplyHandler handler) override;
    void send(const QString& line, int type) override;
    void abandonCommand() override;
    void forgetOperationState() override;
    bool showMessage(int kind, const QString& title, const QString& text) override;
    bool askQuestion(const QString& title, const QString& text) override;
    void showFailure(const JSON_OBJ& reply, const QString& consequence = QString()) override;
    bool confirmLastTry(LastTryGuard::Secret secret) override;
    void showBusy(const QString& text) override;
    void hideBusy() override;
    void highlightMenu(int page) override;
    QMap<QString, QString> askNewPins(const QString& type) override;
    QString askPin(const QString& type) override;
    bool pinAnswered() const override;
    bool isSingleLine(const QString& text) override;
    registFingerprint* fingerprintDialog() override;
    void runFingerprintDialog(const QString& mode, const QString& command, int type) override;
    void closeFingerprintDialog() override;
    void closeMessage() override;
    void closeKeyDialogs() override;
    void backendStarted() override;
    QString keyModel() const override;
    QString keyIdentity() const override;
    void expectPivSlot(const QString& slot) override;
    QString runShellCommand(const QString& command) override;
    QWidget* dialogParent() override;
    void followScale(ScaledDialog* dialog) override;

    void createSharedDialogs();

    changePIN* m_changePin = nullptr;
    piv_pin* m_pivPinDlg = nullptr;
    registFingerprint* m_regFinger = nullptr;
    // Set when the channel refused a fingerprint command, so its dialog is not left waiting.
    bool m_fingerCommandDropped = false;

    // ---- PIV: the slots forward to the controller (src/piv) ----
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
    PivController* m_piv = nullptr;

    // ---- OTP: the slots forward to the controller (src/otp) ----
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
    OtpController* m_otp = nullptr;

    // ---- key report (src/app) ----
    void setupKeyReport();
    void saveKeyReport();
    void showKeyReport();

    // Stand-in for the native file dialog: (caption, directory or name, filter) -> chosen path.
    using FileChooser = std::function<QString(const QString&, const QString&, const QString&)>;

    KeyReport m_keyReport;
    FileChooser m_reportSaveFile;

    friend class MainWindowTestAccess;
};
