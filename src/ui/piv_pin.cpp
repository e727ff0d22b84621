#include "ui/piv_pin.h"

#include "ui_piv_pin.h"

#include <QKeyEvent>

piv_pin::piv_pin(QWidget* parent, double factor) : PinDialog(parent), ui(new Ui::piv_pin)
{
    ui->setupUi(this);
    scaleForm(factor);
}

piv_pin::~piv_pin() = default;

void piv_pin::setType(QWidget* parent, QString const& type)
{
    okPressed = false;
    ui->pinTip->clear();
    clearInput();
    ui->checkBox_usedefault->hide();

    struct Kind
    {
        const char* key;
        const char* heading;
        const char* placeholder;
        Rule rule;
        bool useDefault;
    };
    // Tested in this order: the first kind the type text names wins.
    const Kind kinds[] = {
        {"Password", "Verify Cert Password", "Please input cert password", Rule::Any, false},
        {"PIV", "Verify PIV", "Please input PIV PIN", Rule::Digits, true},
        {"FIDO", "Verify FIDO", "Please input FIDO PIN", Rule::NoCjk, false},
        {"Management", "Verify PIV Management Key", "Please input PIV Management Key", Rule::Hexadecimal, true},
    };
    for (const Kind& kind : kinds) {
        if (!type.contains(QLatin1String(kind.key)))
            continue;
        ui->title->setText(QString::fromLatin1(kind.heading));
        ui->pinV->setPlaceholderText(QString::fromLatin1(kind.placeholder));
        ui->pinV->setValidator(validator(kind.rule));
        ui->checkBox_usedefault->setVisible(kind.useDefault);
        break;
    }
    ui->pinType->setText(type);

    ui->pinV->setFocus();
    centreOn(parent);
}

bool piv_pin::isKind(const char* kind) const
{
    return ui->pinType->text().contains(QLatin1String(kind));
}

QString piv_pin::getinput()
{
    const QString value = ui->pinV->text();
    if (value.isEmpty()) {
        if (!isKind("Password"))
            ui->pinTip->setText(QStringLiteral("Please input data"));
        return QString();
    }
    QString failure;
    if (isKind("Password") && value.size() >= 128)
        failure = QStringLiteral("The length of Certificate password must be less 128 characters.");
    else if (isKind("FIDO PIN") && (value.size() < 4 || value.size() > 63))
        failure = QStringLiteral("The length of FIDO2 PIN must be between 4-63 characters.");
    else if (isKind("PIV PIN") && (value.size() < 6 || value.size() > 8))
        failure = QStringLiteral("The length of PIV PIN must be between 6-8 characters.");
    else if (isKind("Management Key") && value.size() != 48)
        failure = QStringLiteral("The management key must be 48 hexadecimal digits.");
    if (!failure.isEmpty()) {
        ui->pinTip->setText(failure);
        return QString();
    }
    return value;
}

void piv_pin::clearInput()
{
    ui->checkBox_usedefault->setChecked(false);
    resetSecret(*ui->pinV);
}

void piv_pin::on_OK_clicked()
{
    const bool emptyPassword = ui->pinV->text().isEmpty() && isKind("Password");
    if (getinput().isEmpty() && !emptyPassword)
        return;
    okPressed = true;
    accept();
}

void piv_pin::on_checkBox_usedefault_clicked()
{
    const char* value = isKind("PIV PIN")          ? PinRule::kDefaultPivPin
                        : isKind("Management Key") ? PinRule::kDefaultManagementKey
                                                   : nullptr;
    useDefault(*ui->pinV, ui->checkBox_usedefault->isChecked(), value);
}

void piv_pin::keyPressEvent(QKeyEvent* event)
{
    // Escape must not close the prompt; Return and Enter confirm it.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        on_OK_clicked();
}
