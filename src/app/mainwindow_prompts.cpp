// The dialogs the features share: the two PIN prompts and the fingerprint dialog.

#include "app/mainwindow.h"

#include "app/commands.h"
#include "ui/changepin.h"
#include "ui/dialogmessage.h"
#include "ui/piv_pin.h"
#include "ui/registfingerprint.h"
#include "ui_mainwindow.h"

void MainWindow::createSharedDialogs()
{
    m_changePin = new changePIN(this, m_scale);
    m_pivPinDlg = new piv_pin(this, m_scale);
    m_regFinger = new registFingerprint(this, m_scale);
    followScale(m_changePin);
    followScale(m_pivPinDlg);
    followScale(m_regFinger);
}

void MainWindow::followScale(ScaledDialog* dialog)
{
    connect(this, &MainWindow::scaleFactorChanged, dialog, &ScaledDialog::screenChanged);
}

QMap<QString, QString> MainWindow::askNewPins(QString const& type)
{
    m_changePin->setType(this, type);
    m_changePin->exec();
    QMap<QString, QString> input;
    if (m_changePin->okPressed)
        input = m_changePin->getinput();
    m_changePin->clearInput();
    for (const QString& value : qAsConst(input))
        if (!isSingleLine(value))
            return {};
    return input;
}

QString MainWindow::askPin(QString const& type)
{
    m_pivPinDlg->setType(this, type);
    m_pivPinDlg->exec();
    if (!m_pivPinDlg->okPressed)
        return QString();
    const QString input = m_pivPinDlg->getinput();
    m_pivPinDlg->clearInput();
    if (!isSingleLine(input)) {
        // Refused input ends the flow as Cancel does, also where an empty answer is accepted.
        m_pivPinDlg->okPressed = false;
        return QString();
    }
    return input;
}

bool MainWindow::pinAnswered() const
{
    return m_pivPinDlg->okPressed;
}

// Whatever is typed or pasted ends up on one command line: a line break, carriage return or NUL
// is refused here, before any step of a flow has changed the key.
bool MainWindow::isSingleLine(const QString& text)
{
    if (Cmd::isSafeLine(text))
        return true;
    showMessage(DialogMessage::Warning, QStringLiteral("Warning"),
                QStringLiteral("The input cannot contain line breaks."));
    return false;
}

registFingerprint* MainWindow::fingerprintDialog()
{
    return m_regFinger;
}

void MainWindow::runFingerprintDialog(const QString& mode, const QString& command, int type)
{
    m_regFinger->setType(this, mode);
    m_fingerCommandDropped = false;
    cmdSend(command, type);
    // A refused command gets no reply; a dialog waiting for one could only be closed by hand,
    // and the test and cached-time prompts have no close button.
    if (!m_fingerCommandDropped)
        m_regFinger->exec();
}

void MainWindow::closeFingerprintDialog()
{
    m_fingerCommandDropped = true;
    if (!m_regFinger)
        return;
    m_regFinger->close();
    ui->addfinger->setEnabled(true);
}
