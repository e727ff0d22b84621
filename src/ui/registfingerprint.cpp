#include "ui/registfingerprint.h"

#include "ui_registfingerprint.h"

#include <QKeyEvent>

registFingerprint::registFingerprint(QWidget* parent, double factor)
    : ScaledDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint), ui(new Ui::registFingerprint)
{
    ui->setupUi(this);
    scaleForm(factor);
}

registFingerprint::~registFingerprint() = default;

void registFingerprint::setType(QWidget* parent, QString const& mode)
{
    showCloseButton();
    m_cancel = false;
    m_closable = true;
    if (mode == QLatin1String("addfinger")) {
        ui->title->setText(QStringLiteral("Add Fingerprint"));
        setPicture("Rec_Finger_Add.png");
        ui->Tip->setText(QStringLiteral("Touch the fingerprint sensor"));
        ui->Tip_2->setText(QStringLiteral("Repeatedly lift and rest your finger on the sensor"));
        ui->Tip_3->setText(QStringLiteral(" until setup is complete."));
        ui->Tip_2->show();
        ui->Tip_3->show();
    } else if (mode == QLatin1String("testfinger")) {
        ui->title->setText(QStringLiteral("Test FingerPrint"));
        ui->Tip_2->hide();
        ui->Tip_3->hide();
        setPicture("Rec_Finger_Add.png");
        ui->Tip->setText(QStringLiteral("Touch the fingerprint sensor"));
        // A test cannot be abandoned before the key answers.
        ui->close->hide();
    }
    centreOn(parent);
}

void registFingerprint::updateUI(QString text)
{
    struct Step
    {
        const char* remaining;
        const char* image;
        const char* tip;
    };
    static const Step steps[] = {
        {"3", "Rec_Finger_1.png", "Great, touch sensor three more times"},
        {"2", "Rec_Finger_2.png", "Great, touch sensor two more times"},
        {"1", "Rec_Finger_3.png", "Great, touch sensor one more time"},
    };
    showCloseButton();
    ui->Tip_2->hide();
    ui->Tip_3->hide();
    for (const Step& step : steps) {
        if (text == QLatin1String(step.remaining)) {
            setPicture(step.image);
            ui->Tip->setText(QString::fromLatin1(step.tip));
            m_closable = false;
            return;
        }
    }
    setPicture("Pass.png");
    ui->Tip->setText(text == QLatin1String("0") ? QStringLiteral("All Set!") : text);
    m_closable = true;
}

void registFingerprint::errCode(QString code)
{
    showCloseButton();
    m_closable = true;
    ui->Tip_2->hide();
    ui->Tip_3->hide();
    if (code == QLatin1String("13")) {
        ui->Tip->setText(QStringLiteral("User did not touch the authenticator"));
    } else if (code == QLatin1String("14")) {
        ui->Tip->setText(QStringLiteral("User did not lift the finger off the sensor"));
    } else if (code == QLatin1String("2F")) {
        ui->Tip->setText(QStringLiteral("Timeout waiting for user interaction"));
        setPicture("Fail.png");
    } else {
        ui->Tip->setText(QStringLiteral("Error, please close and reenter"));
    }
}

void registFingerprint::on_close_clicked()
{
    m_cancel = true;
    ui->Tip->setText(QStringLiteral("Cancel..."));
    ui->close->setEnabled(false);
    // While a sample is awaited the key must be told first; the cancel reply closes the dialog.
    if (m_closable)
        close();
}

void registFingerprint::keyPressEvent(QKeyEvent*)
{
    // Every key is swallowed: Escape must not end an enrolment behind the key's back.
}

void registFingerprint::setPicture(const char* image)
{
    ui->imag->setStyleSheet(QStringLiteral("image: url(:/new/prefix1/%1);").arg(QLatin1String(image)));
}

void registFingerprint::showCloseButton()
{
    ui->close->show();
    ui->close->setEnabled(true);
}
