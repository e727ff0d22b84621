#pragma once

#include "ui/pindialog.h"

#include <QString>

#include <memory>

namespace Ui {
class piv_pin;
}

// Asks for one existing secret: "FIDO PIN:", "PIV PIN:", "Management Key:" or "Password:" (the
// password of a certificate file, which may be empty).
class piv_pin : public PinDialog
{
    Q_OBJECT

public:
    piv_pin(QWidget* parent, double factor);
    ~piv_pin() override;

    void setType(QWidget* parent, QString const& type);
    // The typed secret when it passes its kind's rules; otherwise empty, with the reason shown.
    QString getinput();
    void clearInput() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private slots:
    void on_OK_clicked();
    void on_checkBox_usedefault_clicked();

private:
    bool isKind(const char* kind) const;

    std::unique_ptr<Ui::piv_pin> ui;
};
