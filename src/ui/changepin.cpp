#include "ui/changepin.h"

#include "ui_changepin.h"

#include <QKeyEvent>

namespace {

using Rule = PinDialog::Rule;

struct Mode
{
    const char* name;
    const char* labels[3];
    const char* heading;
    const char* placeholders[3];
    Rule rule;
    // What "Use Default" fills in; null where the box is hidden.
    const char* defaultValue;
    const char* empty[3];
    const char* mismatch;
    int minLength;
    int maxLength;
    const char* lengthMessage;
};

const char kFidoLength[] = "The length of FIDO2 PIN must be between 4-63 characters.";

const Mode kModes[] = {
    {"fidosetpin",
     {"New PIN:", "Confirm PIN:", ""},
     "Set PIN",
     {"Please input new pin", "Please input confirm pin", ""},
     Rule::NoCjk,
     nullptr,
     {"New PIN cannot be empty.", "Confirm PIN cannot be empty.", ""},
     "Current PIN not match the confirm PIN.",
     4,
     63,
     kFidoLength},
    {"fidochangepin",
     {"Old PIN:", "New PIN:", "Confirm PIN:"},
     "Change PIN",
     {"Please input old pin", "Please input new pin", "Please input confirm pin"},
     Rule::NoCjk,
     nullptr,
     {"Old PIN cannot be empty.", "New PIN cannot be empty.", "Confirm PIN cannot be empty."},
     "New PIN not match the confirm PIN.",
     4,
     63,
     kFidoLength},
    {"pivchangepin",
     {"Old PIN:", "New PIN:", "Confirm PIN:"},
     "Change PIN",
     {"Please input old pin", "Please input new pin", "Please input confirm pin"},
     Rule::Digits,
     PinRule::kDefaultPivPin,
     {"Old PIN cannot be empty.", "New PIN cannot be empty.", "Confirm PIN cannot be empty."},
     "New PIN not match the confirm PIN.",
     6,
     8,
     "The length of PIV PIN must be between 6-8 characters."},
    {"pivchangepuk",
     {"Old PUK:", "New PUK:", "Confirm PUK:"},
     "Change PUK",
     {"Please input old puk", "Please input new puk", "Please input confirm puk"},
     Rule::Digits,
     PinRule::kDefaultPivPin,
     {"Old PUK cannot be empty.", "New PUK cannot be empty.", "Confirm PUK cannot be empty."},
     "New PUK not match the confirm PUK.",
     6,
     8,
     "The length of PIV PUK must be between 6-8 characters."},
    {"changeManKey",
     {"Old MKey:", "New MKey:", "Confirm MKey:"},
     "Change Management Key",
     {"Please input old manager key", "Please input new manager key", "Please input confirm manager key"},
     Rule::Hexadecimal,
     PinRule::kDefaultManagementKey,
     {"Old management key cannot be empty.", "New management key cannot be empty.",
      "Confirm management key cannot be empty."},
     "New management key not match the confirm management key.",
     48,
     48,
     "The management key must be 48 hexadecimal digits."},
};

const Mode* findMode(const QString& name)
{
    for (const Mode& mode : kModes)
        if (name == QLatin1String(mode.name))
            return &mode;
    return nullptr;
}

} // namespace

changePIN::changePIN(QWidget* parent, double factor) : PinDialog(parent), ui(new Ui::changePIN)
{
    ui->setupUi(this);
    scaleForm(factor);
}

changePIN::~changePIN() = default;

void changePIN::setType(QWidget* parent, QString const& mode)
{
    okPressed = false;
    ui->tip->clear();
    resetFields();
    ui->checkBox_usedefault_change->hide();
    type = mode;

    if (const Mode* m = findMode(mode)) {
        const bool confirm = hasConfirmField();
        ui->conformpin->setVisible(confirm);
        ui->conformPinV->setVisible(confirm);
        ui->oldpin->setText(QString::fromUtf8(m->labels[0]));
        ui->newpin->setText(QString::fromUtf8(m->labels[1]));
        ui->conformpin->setText(QString::fromUtf8(m->labels[2]));
        ui->title->setText(QString::fromUtf8(m->heading));
        ui->oldpinV->setPlaceholderText(QString::fromUtf8(m->placeholders[0]));
        ui->newpinV->setPlaceholderText(QString::fromUtf8(m->placeholders[1]));
        ui->conformPinV->setPlaceholderText(QString::fromUtf8(m->placeholders[2]));
        for (QLineEdit* field : {ui->oldpinV, ui->newpinV, ui->conformPinV})
            field->setValidator(validator(m->rule));
        ui->checkBox_usedefault_change->setVisible(m->defaultValue != nullptr);
    }

    ui->oldpinV->setFocus();
    centreOn(parent);
}

// Every mode that changes an existing secret asks for it first, so the new one is typed in the
// second field and confirmed in the third.
bool changePIN::hasConfirmField() const
{
    return type != QLatin1String("fidosetpin");
}

QMap<QString, QString> changePIN::getinput() const
{
    QMap<QString, QString> input;
    if (hasConfirmField())
        input.insert(QStringLiteral("old"), ui->oldpinV->text());
    input.insert(QStringLiteral("new"), ui->newpinV->text());
    return input;
}

void changePIN::clearInput()
{
    resetFields();
}

QString changePIN::check() const
{
    const Mode* m = findMode(type);
    if (!m)
        return QString();
    const QString first = ui->oldpinV->text();
    const QString second = ui->newpinV->text();
    const QString third = ui->conformPinV->text();
    const bool confirm = hasConfirmField();

    if (first.isEmpty())
        return QString::fromUtf8(m->empty[0]);
    if (second.isEmpty())
        return QString::fromUtf8(m->empty[1]);
    if (confirm && third.isEmpty())
        return QString::fromUtf8(m->empty[2]);
    if (confirm ? second != third : first != second)
        return QString::fromUtf8(m->mismatch);
    const bool lengthOk = type == QLatin1String("changeManKey")
                              ? first.size() == 48 && second.size() == 48
                              : second.size() >= m->minLength && second.size() <= m->maxLength;
    if (!lengthOk)
        return QString::fromUtf8(m->lengthMessage);
    return QString();
}

void changePIN::resetFields()
{
    ui->checkBox_usedefault_change->setChecked(false);
    resetSecret(*ui->oldpinV);
    ui->newpinV->clear();
    ui->conformPinV->clear();
}

void changePIN::on_OK_clicked()
{
    const QString failure = check();
    if (!failure.isEmpty()) {
        ui->tip->setText(failure);
        resetFields();
        return;
    }
    okPressed = true;
    accept();
}

void changePIN::on_checkBox_usedefault_change_clicked()
{
    const Mode* m = findMode(type);
    useDefault(*ui->oldpinV, ui->checkBox_usedefault_change->isChecked(), m ? m->defaultValue : nullptr);
}

void changePIN::keyPressEvent(QKeyEvent* event)
{
    // Escape must not close the prompt; Return and Enter confirm it.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        on_OK_clicked();
}
