#pragma once

// The window's private state as tests and benchmarks reach it (MainWindow befriends this class).

#include "app/mainwindow.h"
#include "device/devicecontroller.h"
#include "fido/crelistdialog.h"
#include "fido/fidocontroller.h"
#include "otp/otpcontroller.h"
#include "piv/pivcontroller.h"
#include "ui/registfingerprint.h"
#include "ui/waitingdialog.h"

#include <QMap>
#include <QString>
#include <QTimer>

class MainWindowTestAccess
{
public:
    // What the channel does with one reply: free the channel, then dispatch.
    static void reply(MainWindow& w, const QString& text, int type)
    {
        w.m_channel->completeCommand();
        w.setCurrentItemInfo(text, type);
    }
    // A command is in flight: no reply to it has been read yet.
    static bool lockHeld(MainWindow& w) { return w.m_channel->isBusy(); }
    static qint64 backendPid(MainWindow& w) { return w.m_channel->processId(); }
    // A backend is running or about to be started again.
    static bool backendAlive(MainWindow& w) { return w.m_channel->isAlive(); }
    static WaitingDialog* waiting(MainWindow& w) { return w.m_waiting; }
    static bool& switching(MainWindow& w) { return w.m_device->m_isSwitching; }
    static bool resetting(MainWindow& w) { return w.m_fido->isRunning(); }
    static QString& model(MainWindow& w) { return w.m_device->m_model; }
    // Stand-ins for the native file dialogs and the shell, put in place by the PIV and report tests.
    static auto& pivOpenFile(MainWindow& w) { return w.m_piv->m_pivOpenFile; }
    static auto& pivSaveFile(MainWindow& w) { return w.m_piv->m_pivSaveFile; }
    static auto& reportSaveFile(MainWindow& w) { return w.m_reportSaveFile; }
    static auto& pivShell(MainWindow& w) { return w.m_piv->m_pivShell; }
    // The scaling rules with the screen's values given by the test.
    static void applyScreen(MainWindow& w, double dpi, QSize available) { w.applyScreen(dpi, available); }
    static QString& fidoPin(MainWindow& w) { return w.m_fido->m_fidoPin; }
    // Everything an operation may hold: the FIDO PIN, the PIV PIN, management key and password,
    // the response an OTP slot check expects, and a slot secret kept after its write.
    static QString heldSecrets(MainWindow& w)
    {
        const PivController& piv = *w.m_piv;
        const OtpController& otp = *w.m_otp;
        return w.m_fido->m_fidoPin + piv.m_pivPin + piv.currentPin + piv.currentMgmtKey + piv.currentPassword +
               QString::fromLatin1(otp.m_otpExpectedResponse) + otp.m_slots[0].key + otp.m_slots[1].key;
    }
    static void holdSecrets(MainWindow& w, const QString& secret)
    {
        PivController& piv = *w.m_piv;
        w.m_fido->m_fidoPin = piv.m_pivPin = piv.currentPin = piv.currentMgmtKey = piv.currentPassword = secret;
        w.m_otp->m_otpExpectedResponse = secret.toLatin1();
    }
    static CreListDialog* creList(MainWindow& w) { return w.m_fido->m_creList; }
    static registFingerprint* regFinger(MainWindow& w) { return w.m_regFinger; }
    static QMap<QString, QString> askChangePin(MainWindow& w) { return w.askNewPins("fidochangepin"); }
};
using Access = MainWindowTestAccess;
