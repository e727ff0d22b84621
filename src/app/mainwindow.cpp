#include "app/mainwindow.h"

#include "app/page.h"

#include "app/backendpath.h"
#include "app/commands.h"
#include "device/devicecontroller.h"
#include "fido/fidocontroller.h"
#include "otp/otpcontroller.h"
#include "piv/pivcontroller.h"
#include "ui/changepin.h"
#include "ui/dialogmessage.h"
#include "ui/piv_pin.h"
#include "ui/registfingerprint.h"
#include "ui/waitingdialog.h"
#include "ui_mainwindow.h"

#include <QCoreApplication>
#include <QDebug>
#include <QTimer>

int g_currItem = 0;
bool g_insreted = false;
quint16 g_currInterface = 0;
quint16 g_currProtocol = 0;
bool isfidoHavePin = false;

MainWindow::MainWindow(QWidget* parent, const QString& backendPath) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    setupWindowShell();
    m_channel = new BackendChannel(
        backendPath.isEmpty() ? defaultBackendPath(QCoreApplication::applicationDirPath()) : backendPath, this);

    g_currInterface = 0;
    g_currProtocol = 0;
    g_currItem = 0;
    g_insreted = false;

    m_json = new JSON;
    m_scale = 1.0;
    createSharedDialogs();
    createFeatures();
    registerHandlers();
    createChannel();

    setupScaling();
    m_waiting = new WaitingDialog(this);
    m_dlgMessage = new DialogMessage(this, m_scale);
    connect(this, &MainWindow::scaleFactorChanged, m_dlgMessage, &DialogMessage::screenChanged);
    connect(m_waiting, &WaitingDialog::operationTimedout, this, &MainWindow::on_operationTimedout);
    setupKeyReport();
}

MainWindow::~MainWindow()
{
    if (m_dlgMessage)
        m_dlgMessage->close();
    // Destroying the window ends the child without writing to it; it must not come back.
    m_channel->shutDown();
    delete m_json;
}

void MainWindow::createFeatures()
{
    m_fido = new FidoController(*this, ui.get(), this);
    m_device = new DeviceController(*this, ui.get(), *m_fido, this);
    m_piv = new PivController(*this, ui.get(), this);
    m_otp = new OtpController(*this, ui.get(), this);
}

void MainWindow::createChannel()
{
    connect(m_channel, &BackendChannel::repliesReceived, this, &MainWindow::onChannelReplies);
    connect(m_channel, &BackendChannel::commandWritten, this, [](int type) { g_currItem = type; });
    connect(m_channel, &BackendChannel::commandLost, this, &MainWindow::onCommandLost);
    connect(m_channel, &BackendChannel::unavailable, this, &MainWindow::reportBackendUnavailable);
    m_channel->start();
}

void MainWindow::reportBackendUnavailable()
{
    qWarning() << "backend unavailable:" << m_channel->program();
    emit backendUnavailable(m_channel->program());
    // Told once the window is up, so the message has something to sit on.
    QTimer::singleShot(0, this, [this] {
        forgetOperationState();
        showMessage(DialogMessage::Error, QStringLiteral("Error"),
                    QStringLiteral("The key manager backend could not be started:\n") + m_channel->program());
    });
}

void MainWindow::on_exit_clicked()
{
    m_device->forgetOperation();
    m_piv->forgetPin();
    m_exiting = true;
    m_channel->stop();
    QCoreApplication::exit(0);
}

// Dialogs about the key that has gone make no sense any more.
void MainWindow::closeKeyDialogs()
{
    m_changePin->close();
    m_pivPinDlg->close();
    m_regFinger->close();
    m_fido->keyGone();
    // Secrets typed for the key that has gone are not kept for the next one.
    m_piv->keyGone();
    m_otp->keyGone();
}

void MainWindow::closeMessage()
{
    m_dlgMessage->close();
}

void MainWindow::backendStarted()
{
    m_fido->forgetOperation();
}

QString MainWindow::keyModel() const
{
    return m_device->model();
}

QString MainWindow::keyIdentity() const
{
    return m_device->identity();
}

// The device slots: the controller does the work.
void MainWindow::on_btn_getdeviceinfo_clicked()
{
    m_device->readKeyDetails();
}

void MainWindow::hideAppItem(bool flag)
{
    m_device->hideAppItems(flag);
}

void MainWindow::on_home_clicked()
{
    m_device->openHome();
}

void MainWindow::on_application_clicked()
{
    m_device->openApplications();
}

void MainWindow::on_interface_2_clicked()
{
    m_device->openInterfaces();
}

void MainWindow::on_save_clicked()
{
    m_device->saveApplications();
}

void MainWindow::on_save_protocol_clicked()
{
    m_device->saveTransports();
}

// The FIDO2 slots: the controller does the work.
void MainWindow::on_fido_clicked()
{
    m_fido->openPage();
}

void MainWindow::on_fidoSetPIN_clicked()
{
    m_fido->setOrChangePin();
}

void MainWindow::on_fidoSetPIN1_clicked()
{
    m_fido->setOrChangePin();
}

void MainWindow::on_enumCre_clicked()
{
    m_fido->listCredentials();
}

void MainWindow::on_enumCre1_clicked()
{
    m_fido->listCredentials();
}

void MainWindow::on_bioMgr1_clicked()
{
    m_fido->openFingerprints();
}

void MainWindow::on_backBio_clicked()
{
    m_fido->closeFingerprints();
}

void MainWindow::on_addfinger_clicked()
{
    m_fido->addFingerprint();
}

void MainWindow::on_testfinger_clicked()
{
    m_fido->testFingerprint();
}

void MainWindow::on_delfinger_clicked()
{
    m_fido->deleteFingerprint();
}

void MainWindow::on_reset_clicked()
{
    m_fido->reset();
}

void MainWindow::on_reset1_clicked()
{
    m_fido->reset();
}

// The PIV slots: the controller does the work.
void MainWindow::on_piv_clicked()
{
    m_piv->openPage();
}

void MainWindow::on_pivPin_clicked()
{
    m_piv->changePin();
}

void MainWindow::on_pivPuk_clicked()
{
    m_piv->changePuk();
}

void MainWindow::on_pivMKey_clicked()
{
    m_piv->changeManagementKey();
}

void MainWindow::on_pivReset_clicked()
{
    m_piv->reset();
}

void MainWindow::on_comboBox_currentIndexChanged(int)
{
    m_piv->showSlot();
}

void MainWindow::on_certGen_clicked()
{
    m_piv->openCertificatePage();
}

void MainWindow::on_generate_clicked()
{
    m_piv->generate();
}

void MainWindow::on_certImp_clicked()
{
    m_piv->importCertificate();
}

void MainWindow::on_certDel_clicked()
{
    m_piv->deleteCertificate();
}

void MainWindow::on_certExp_clicked()
{
    m_piv->exportCertificate();
}

void MainWindow::on_backPiv_clicked()
{
    m_piv->showPage();
}

void MainWindow::on_bioPolicy_clicked()
{
    m_piv->openPolicyPage();
}

void MainWindow::on_cached_clicked()
{
    m_piv->setCachedTimeVisible(true);
}

void MainWindow::on_always_clicked()
{
    m_piv->setCachedTimeVisible(false);
}

void MainWindow::on_save_pivPolicy_clicked()
{
    m_piv->savePolicy();
}

void MainWindow::on_backPiv_2_clicked()
{
    m_piv->showPage();
}

void MainWindow::on_pivRLogin_clicked()
{
    m_piv->openPairingPage();
}

void MainWindow::on_pivEnablepair_clicked()
{
    m_piv->enablePairing();
}

void MainWindow::on_pivUnpair_clicked()
{
    m_piv->unpair();
}

void MainWindow::on_pivConfBack_clicked()
{
    m_piv->showPage();
}

// The OTP slots: the controller does the work.
void MainWindow::on_otp_clicked()
{
    m_otp->openPage();
}

void MainWindow::on_backOtp_clicked()
{
    m_otp->showSlots();
}

void MainWindow::on_otp_swap_clicked()
{
    m_otp->swapSlots();
}

void MainWindow::on_otp1Delete_clicked()
{
    m_otp->deleteSlot(0);
}

void MainWindow::on_otp2Delete_clicked()
{
    m_otp->deleteSlot(1);
}

void MainWindow::on_otp1Conf_clicked()
{
    m_otp->configureShortTouch();
}

void MainWindow::on_otp2Conf_clicked()
{
    m_otp->configureLongTouch();
}

void MainWindow::on_otp_mode_hotp_clicked()
{
    m_otp->showMode(OtpController::Hotp);
}

void MainWindow::on_otp_mode_sp_clicked()
{
    m_otp->showMode(OtpController::StaticPassword);
}

void MainWindow::on_otp_mode_cr_clicked()
{
    m_otp->showMode(OtpController::ChallengeResponse);
}

void MainWindow::on_check_sta_any_stateChanged(int state)
{
    m_otp->allowAnyCharacter(state);
}

void MainWindow::on_hotp_gen_name_clicked()
{
    m_otp->generateName(OtpController::Hotp);
}

void MainWindow::on_sta_gen_name_clicked()
{
    m_otp->generateName(OtpController::StaticPassword);
}

void MainWindow::on_cr_gen_name_clicked()
{
    m_otp->generateName(OtpController::ChallengeResponse);
}

void MainWindow::on_hotp_gen_key_clicked()
{
    m_otp->generateKey(OtpController::Hotp);
}

void MainWindow::on_sta_gen_key_clicked()
{
    m_otp->generateKey(OtpController::StaticPassword);
}

void MainWindow::on_cr_gen_key_clicked()
{
    m_otp->generateKey(OtpController::ChallengeResponse);
}

void MainWindow::on_lineEdit_hotp_name_textChanged(const QString&)
{
    m_otp->inputChanged(OtpController::Hotp);
}

void MainWindow::on_lineEdit_hotp_key_textChanged(const QString&)
{
    m_otp->inputChanged(OtpController::Hotp);
}

void MainWindow::on_lineEdit_sta_name_textChanged(const QString&)
{
    m_otp->inputChanged(OtpController::StaticPassword);
}

void MainWindow::on_lineEdit_sta_key_textChanged(const QString& text)
{
    m_otp->staticKeyChanged(text);
}

void MainWindow::on_lineEdit_cr_name_textChanged(const QString&)
{
    m_otp->inputChanged(OtpController::ChallengeResponse);
}

void MainWindow::on_lineEdit_cr_key_textChanged(const QString&)
{
    m_otp->inputChanged(OtpController::ChallengeResponse);
}

void MainWindow::on_hotp_config_clicked()
{
    m_otp->configure();
}

void MainWindow::on_sta_config_clicked()
{
    m_otp->configure();
}

void MainWindow::on_cr_config_clicked()
{
    m_otp->configure();
}

void MainWindow::on_checkBox_withenter_clicked()
{
    m_otp->saveWithEnter();
}

void MainWindow::on_save_language_clicked()
{
    m_otp->saveLanguage();
}
