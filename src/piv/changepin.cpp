#include "piv/changepin.h"

#include "ui/scaling.h"
#include "ui_changepin.h"

#include <QKeyEvent>
#include <QRegExpValidator>

namespace PinRule {

const char kDefaultPivPin[] = "80417326";
const char kDefaultManagementKey[] = "7E3D0C41F58B29D6B1C48E2F7D0B5C63D6E1F4C8072B3B5E";

QValidator* digits(QObject* parent)
{
    return new QRegExpValidator(QRegExp(QStringLiteral("^[0-9]+$")), parent);
}

QValidator* hexadecimal(QObject* parent)
{
    return new QRegExpValidator(QRegExp(QStringLiteral("^[A-Fa-f0-9]+$")), parent);
}

QValidator* noCjk(QObject* parent)
{
    // CJK ideographs and the full-width punctuation an input method produces.
    static const QString pattern = QString::fromUtf8("[^一-龥！￥……｛｝【】《》（）——；’‘：“，。、？]+$");
    return new QRegExpValidator(QRegExp(pattern), parent);
}

} // namespace PinRule

namespace {

enum class Rule { Digits, Hexadecimal, NoCjk };

struct Mode
{
    const char* name;
    const char* labels[3];
    const char* heading;
    const char* placeholders[3];
    Rule rule;
    bool useDefault;
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
     false,
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
     false,
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
     true,
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
     true,
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
     true,
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

changePIN::changePIN(QWidget* parent, double factor) : QDialog(parent), ui(new Ui::changePIN)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint);
    setWindowOpacity(0.99);
    m_digits = PinRule::digits(this);
    m_hexadecimal = PinRule::hexadecimal(this);
    m_noCjk = PinRule::noCjk(this);
    m_scale = scaling::scaleNewDialog(*this, factor);
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
        setRule(m->rule == Rule::Digits ? m_digits : m->rule == Rule::Hexadecimal ? m_hexadecimal : m_noCjk);
        ui->checkBox_usedefault_change->setVisible(m->useDefault);
    }

    ui->oldpinV->setFocus();
    if (parent)
        move(parent->geometry().center() - QPoint(width() / 2, height() / 2));
}

void changePIN::setRule(QValidator* rule)
{
    ui->oldpinV->setValidator(rule);
    ui->newpinV->setValidator(rule);
    ui->conformPinV->setValidator(rule);
}

bool changePIN::hasConfirmField() const
{
    return type != QLatin1String("fidosetpin");
}

QMap<QString, QString> changePIN::getinput() const
{
    QMap<QString, QString> input;
    if (type != QLatin1String("fidosetpin"))
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
    ui->oldpinV->setEnabled(true);
    ui->oldpinV->setEchoMode(QLineEdit::Password);
    ui->oldpinV->clear();
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

void changePIN::on_Cancel_clicked()
{
    okPressed = false;
    reject();
}

void changePIN::on_checkBox_usedefault_change_clicked()
{
    if (!ui->checkBox_usedefault_change->isChecked()) {
        ui->oldpinV->clear();
        ui->oldpinV->setEchoMode(QLineEdit::Password);
        ui->oldpinV->setEnabled(true);
        return;
    }
    QString value;
    if (type == QLatin1String("pivchangepin") || type == QLatin1String("pivchangepuk"))
        value = QString::fromLatin1(PinRule::kDefaultPivPin);
    else if (type == QLatin1String("changeManKey"))
        value = QString::fromLatin1(PinRule::kDefaultManagementKey);
    else
        return;
    ui->oldpinV->setText(value);
    ui->oldpinV->setEchoMode(QLineEdit::Normal);
    ui->oldpinV->setEnabled(false);
}

void changePIN::keyPressEvent(QKeyEvent* event)
{
    // Escape must not close the prompt; Return and Enter confirm it.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        on_OK_clicked();
}

void changePIN::screenChanged(double factor)
{
    m_scale = scaling::screenChanged(*this, m_scale, factor);
}

void changePIN::changeObjectSize(QObject const& obj, double factor)
{
    scaling::changeObjectSize(obj, factor);
}
