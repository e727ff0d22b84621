#include "otp/otpcheckdialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

OtpCheckDialog::OtpCheckDialog(QWidget* parent, const QString& expected) : QDialog(parent), m_expected(expected)
{
    setObjectName(QStringLiteral("OtpCheckDialog"));
    setWindowTitle(QStringLiteral("Check the slot"));
    auto* prompt = new QLabel(QStringLiteral("Touch the key now: it types its code into the field below."), this);
    m_code = new QLineEdit(this);
    m_code->setObjectName(QStringLiteral("otpCheckCode"));
    m_code->setAccessibleName(QStringLiteral("Code typed by the key"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("ok"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(m_code);
    layout->addWidget(buttons);
    m_code->setFocus();
}

void OtpCheckDialog::done(int result)
{
    // A slot with the with-enter flag ends its code with Return, which accepts the dialog.
    m_matches = result == Accepted && m_code->text().trimmed() == m_expected;
    m_expected.clear();
    m_code->clear();
    QDialog::done(result);
}
