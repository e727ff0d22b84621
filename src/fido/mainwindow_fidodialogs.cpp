// The FIDO dialogs' creation and the two PIN prompts, which PIV uses as well.

#include "app/mainwindow.h"

#include "fido/crelistdialog.h"
#include "fido/registfingerprint.h"
#include "piv/changepin.h"
#include "piv/piv_pin.h"

void MainWindow::createFidoDialogs()
{
    m_changePin = new changePIN(this, m_scale);
    m_changePin->close();
    m_pivPinDlg = new piv_pin(this, m_scale);
    m_pivPinDlg->close();
    m_creList = new CreListDialog(this, m_scale);
    m_creList->close();
    connect(m_creList, &CreListDialog::message, this, &MainWindow::cmdSend);
    m_regFinger = new registFingerprint(this, m_scale);
    m_regFinger->close();

    connect(this, &MainWindow::scaleFactorChanged, m_changePin, &changePIN::screenChanged);
    connect(this, &MainWindow::scaleFactorChanged, m_pivPinDlg, &piv_pin::screenChanged);
    connect(this, &MainWindow::scaleFactorChanged, m_creList, &CreListDialog::screenChanged);
    connect(this, &MainWindow::scaleFactorChanged, m_regFinger, &registFingerprint::screenChanged);
}

QMap<QString, QString> MainWindow::showChangePINDialog(QString const& type)
{
    m_changePin->setType(this, type);
    m_changePin->exec();
    QMap<QString, QString> input;
    if (m_changePin->okPressed)
        input = m_changePin->getinput();
    m_changePin->clearInput();
    return input;
}

bool MainWindow::askFidoPin()
{
    if (!isfidoHavePin) {
        showMessage(0, QStringLiteral("Information"), QStringLiteral("Please set pin first. "));
        return false;
    }
    m_fidoPin = showPINDialog(QStringLiteral("FIDO PIN:"));
    return !m_fidoPin.isEmpty();
}

QString MainWindow::showPINDialog(QString const& type)
{
    m_pivPinDlg->setType(this, type);
    m_pivPinDlg->exec();
    if (!m_pivPinDlg->okPressed) {
        m_pivPinDlg->close();
        return QString();
    }
    const QString input = m_pivPinDlg->getinput();
    m_pivPinDlg->clearInput();
    return input;
}
