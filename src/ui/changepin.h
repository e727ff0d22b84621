#pragma once

#include "ui/pindialog.h"

#include <QMap>
#include <QString>

#include <memory>

namespace Ui {
class changePIN;
}

// Asks for a new secret twice and, when changing, for the current one. Modes: "fidosetpin",
// "fidochangepin", "pivchangepin", "pivchangepuk", "changeManKey".
class changePIN : public PinDialog
{
    Q_OBJECT

public:
    changePIN(QWidget* parent, double factor);
    ~changePIN() override;

    void setType(QWidget* parent, QString const& type);
    // "new" always; "old" in every mode that changes an existing secret.
    QMap<QString, QString> getinput() const;
    void clearInput() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private slots:
    void on_OK_clicked();
    void on_checkBox_usedefault_change_clicked();

private:
    bool hasConfirmField() const;
    // The first failed rule's message, or an empty text when the input passes.
    QString check() const;
    void resetFields();

    QString type;
    std::unique_ptr<Ui::changePIN> ui;
};
