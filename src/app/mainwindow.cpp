#include "app/mainwindow.h"

#include "app/backendpath.h"
#include "app/commands.h"
#include "ui/dialogmessage.h"
#include "ui/waitingdialog.h"
#include "ui_mainwindow.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QMessageBox>
#include <QTimer>

int g_currItem = 0;
bool g_insreted = false;
quint16 g_currInterface = 0;
quint16 g_currProtocol = 0;
bool isfidoHavePin = false;

namespace {

constexpr int kStartAttempts = 3;
constexpr int kStartWaitMs = 30000;
// A backend that dies this often within the window is broken; restarting it again is futile.
constexpr int kMaxRestarts = 5;
constexpr qint64 kRestartWindowMs = 30000;
constexpr int kRestartDelayMs = 500;
// A reply object that stays incomplete this long is handed on as it is.
constexpr int kFramerFlushMs = 2000;

} // namespace

MainWindow::MainWindow(QWidget* parent, const QString& backendPath)
    : QMainWindow(parent), ui(new Ui::MainWindow),
      m_backendPath(backendPath.isEmpty() ? defaultBackendPath(QCoreApplication::applicationDirPath()) : backendPath)
{
    ui->setupUi(this);
    setupWindowShell();
    m_process = new QProcess;

    ui->contentPage->setCurrentIndex(1);
    hideAppItem(true);
    reset_app_state();
    g_currInterface = 0;
    g_currProtocol = 0;
    g_currItem = 0;
    ui->application->setEnabled(false);
    ui->interface_2->setEnabled(false);
    g_insreted = false;

    m_json = new JSON;
    ui->btn_getdeviceinfo->hide();
    m_framerFlush = new QTimer(this);
    m_framerFlush->setSingleShot(true);
    m_framerFlush->setInterval(kFramerFlushMs);
    connect(m_framerFlush, &QTimer::timeout, this, &MainWindow::flushPartialReplies);
    m_restartTimer = new QTimer(this);
    m_restartTimer->setSingleShot(true);
    connect(m_restartTimer, &QTimer::timeout, this, &MainWindow::restartBackend);

    connect(m_process, SIGNAL(finished(int, QProcess::ExitStatus)), this, SLOT(on_finished()));
    connect(m_process, SIGNAL(readyReadStandardOutput()), this, SLOT(on_read_msg()));
    connect(m_process, SIGNAL(readyReadStandardError()), this, SLOT(on_read_err()));

    registerHandlers();
    startBackend();

    m_scale = 1.0;
    setupScaling();
    m_waiting = new WaitingDialog(this);
    m_msgBox = new QMessageBox(this);
    m_dlgMessage = new DialogMessage(this, m_scale);
    m_dlgMessage->close();
    connect(this, &MainWindow::scaleFactorChanged, m_dlgMessage, &DialogMessage::screenChanged);
    connect(m_waiting, &WaitingDialog::operationTimedout, this, &MainWindow::on_operationTimedout);
    createFidoDialogs();
}

MainWindow::~MainWindow()
{
    if (m_dlgMessage)
        m_dlgMessage->close();
    if (m_msgBox)
        m_msgBox->close();
    // Deleting the process ends the child without writing to it; it must not come back.
    m_process->disconnect(this);
    m_process->kill();
    m_process->waitForFinished(1000);
    delete m_process;
    releaseCommandLock();
    delete m_json;
}

void MainWindow::startBackend()
{
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        m_process->start(m_backendPath, QStringList{QStringLiteral(" ")}, QIODevice::ReadWrite);
        if (m_process->waitForStarted(kStartWaitMs)) {
            sendMonitorStart();
            return;
        }
    }
    reportBackendUnavailable();
}

void MainWindow::sendMonitorStart()
{
    writeToBackend(Cmd::monitorStart().toUtf8() + '\n');
    // Out at once, so the backend finds the key while the window is still being built.
    m_process->waitForBytesWritten(1000);
}

void MainWindow::writeToBackend(const QByteArray& bytes)
{
    if (m_process->state() == QProcess::Running)
        m_process->write(bytes);
}

void MainWindow::on_finished()
{
    if (m_exiting || m_backendGivenUp)
        return;
    // The command in flight can never be answered now; holding the lock would drop every
    // later command silently.
    m_cmdLock.tryLock();
    m_cmdLock.unlock();
    m_stdoutFramer.clear();
    m_stderrFramer.clear();

    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    while (!m_recentRestarts.isEmpty() && now - m_recentRestarts.first() > kRestartWindowMs)
        m_recentRestarts.removeFirst();
    m_recentRestarts.append(now);
    if (m_recentRestarts.size() > kMaxRestarts) {
        reportBackendUnavailable();
        return;
    }
    m_restartTimer->start(m_recentRestarts.size() == 1 ? 0 : kRestartDelayMs);
}

void MainWindow::restartBackend()
{
    if (m_process->state() == QProcess::NotRunning)
        startBackend();
}

void MainWindow::reportBackendUnavailable()
{
    if (m_backendGivenUp)
        return;
    m_backendGivenUp = true;
    qWarning() << "backend unavailable:" << m_backendPath;
    emit backendUnavailable(m_backendPath);
    // Told once the window is up, so the message has something to sit on.
    QTimer::singleShot(0, this, [this] {
        if (!m_dlgMessage)
            return;
        m_dlgMessage->setDialog(this, 2, QStringLiteral("Error"),
                                QStringLiteral("The key manager backend could not be started:\n") + m_backendPath);
        m_dlgMessage->exec();
    });
}

void MainWindow::on_exit_clicked()
{
    g_tmpBuf.clear();
    m_pivPin.clear();
    m_exiting = true;
    writeToBackend(Cmd::monitorStop().toUtf8() + '\n');
    writeToBackend(Cmd::exitBackend().toUtf8() + '\n');
    // A moment to leave on its own before it is killed.
    m_process->waitForBytesWritten(1000);
    if (!m_process->waitForFinished(1000))
        m_process->kill();
    QCoreApplication::exit(0);
}
