// The FIDO dialogs' creation and the two PIN prompts, which PIV uses as well.

#include "app/mainwindow.h"

#include "app/commands.h"
#include "fido/crelistdialog.h"
#include "ui/changepin.h"
#include "ui/dialogmessage.h"
#include "ui/piv_pin.h"
#include "ui/registfingerprint.h"

#include <algorithm>

void MainWindow::createFidoDialogs()
{
    m_changePin = new changePIN(this, m_scale);
    m_changePin->close();
    m_pivPinDlg = new piv_pin(this, m_scale);
    m_pivPinDlg->close();
    m_creList = new CreListDialog(this, m_scale);
    m_creList->close();
    connect(m_creList, &CreListDialog::deleteRequested, this, &MainWindow::deleteCredential);
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
    for (const QString& value : qAsConst(input))
        if (!isSingleLine(value))
            return {};
    return input;
}

bool MainWindow::askFidoPin()
{
    if (!isfidoHavePin) {
        showMessage(DialogMessage::Information, QStringLiteral("Information"),
                    QStringLiteral("Please set pin first. "));
        return false;
    }
    m_fidoPin = showPINDialog(QStringLiteral("FIDO PIN:"));
    if (m_fidoPin.isEmpty() || !confirmLastTry(LastTryGuard::Secret::FidoPin)) {
        m_fidoPin.clear();
        return false;
    }
    return true;
}

bool MainWindow::askFidoPinAsWord()
{
    if (!askFidoPin())
        return false;
    const bool splits = m_fidoPin.contains(QLatin1Char('"')) ||
                        std::any_of(m_fidoPin.begin(), m_fidoPin.end(), [](QChar c) { return c.isSpace(); });
    if (!splits)
        return true;
    m_fidoPin.clear();
    showMessage(DialogMessage::Warning, QStringLiteral("Warning"),
                QStringLiteral("Fingerprints cannot be managed with a FIDO PIN that contains a blank or a "
                               "double quote. Change the PIN first."));
    return false;
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
    if (!isSingleLine(input)) {
        // Refused input ends the flow as Cancel does, also where an empty answer is accepted.
        m_pivPinDlg->okPressed = false;
        return QString();
    }
    return input;
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
