#pragma once

#include <QDialog>
#include <QMap>
#include <QString>

#include <memory>

class QLineEdit;
class QValidator;

namespace Ui {
class changePIN;
}

// Character rules of the secrets, shared by both PIN dialogs. A keystroke that would break the
// rule is refused by the line edit.
namespace PinRule {
QValidator* digits(QObject* parent);
QValidator* hexadecimal(QObject* parent);
QValidator* noCjk(QObject* parent);
// Factory values offered by "Use Default".
extern const char kDefaultPivPin[];
extern const char kDefaultManagementKey[];
} // namespace PinRule

// Asks for a new secret twice and, when changing, for the current one. Modes: "fidosetpin",
// "fidochangepin", "pivchangepin", "pivchangepuk", "changeManKey".
class changePIN : public QDialog
{
    Q_OBJECT

public:
    changePIN(QWidget* parent, double factor);
    ~changePIN() override;

    void setType(QWidget* parent, QString const& type);
    // "new" always; "old" in every mode that changes an existing secret.
    QMap<QString, QString> getinput() const;
    // Forgets what was typed, so no secret stays in the widgets between showings.
    void clearInput();

    void screenChanged(double factor);
    void changeObjectSize(QObject const& obj, double factor);

    bool okPressed = false;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private slots:
    void on_OK_clicked();
    void on_Cancel_clicked();
    void on_checkBox_usedefault_change_clicked();

private:
    bool hasConfirmField() const;
    // The first failed rule's message, or an empty text when the input passes.
    QString check() const;
    void resetFields();
    void setRule(QValidator* rule);

    QString type;
    std::unique_ptr<Ui::changePIN> ui;
    double m_scale = 1.0;
    QValidator* m_digits = nullptr;
    QValidator* m_hexadecimal = nullptr;
    QValidator* m_noCjk = nullptr;
};
