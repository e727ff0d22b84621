#include "ui/pindialog.h"

#include "ui/inputrule.h"

#include <QHideEvent>
#include <QLineEdit>
#include <QShowEvent>

namespace PinRule {

const char kDefaultPivPin[] = "80417326";
const char kDefaultManagementKey[] = "7E3D0C41F58B29D6B1C48E2F7D0B5C63D6E1F4C8072B3B5E";

} // namespace PinRule

PinDialog::PinDialog(QWidget* parent)
    : ScaledDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint)
{
    m_digits = InputRule::validator(InputRule::digits(), this);
    m_hexadecimal = InputRule::validator(InputRule::hexadecimal(), this);
    m_noCjk = InputRule::validator(InputRule::noCjk(), this);
}

QValidator* PinDialog::validator(Rule rule) const
{
    switch (rule) {
    case Rule::Digits:
        return m_digits;
    case Rule::Hexadecimal:
        return m_hexadecimal;
    case Rule::NoCjk:
        return m_noCjk;
    case Rule::Any:
        break;
    }
    return nullptr;
}

void PinDialog::resetSecret(QLineEdit& field)
{
    field.setEnabled(true);
    field.setEchoMode(QLineEdit::Password);
    field.clear();
}

void PinDialog::useDefault(QLineEdit& field, bool ticked, const char* value)
{
    if (!ticked) {
        resetSecret(field);
        return;
    }
    if (!value)
        return;
    field.setText(QString::fromLatin1(value));
    field.setEchoMode(QLineEdit::Normal);
    field.setEnabled(false);
}

void PinDialog::on_Cancel_clicked()
{
    okPressed = false;
    reject();
}

void PinDialog::showEvent(QShowEvent* event)
{
    // A window system showing it again (after minimising) is not a new showing.
    if (!event->spontaneous())
        clearInput();
    ScaledDialog::showEvent(event);
}

void PinDialog::hideEvent(QHideEvent* event)
{
    // After OK the caller reads the answer, then clears it.
    if (!okPressed && !event->spontaneous())
        clearInput();
    ScaledDialog::hideEvent(event);
}
