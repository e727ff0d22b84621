#pragma once

#include "ui/scaleddialog.h"

class QLineEdit;
class QValidator;

namespace PinRule {
// Factory values offered by "Use Default".
extern const char kDefaultPivPin[];
extern const char kDefaultManagementKey[];
} // namespace PinRule

// What the two PIN prompts share: the answer of a showing, the character rules of the
// secrets, Cancel, and the secret field that "Use Default" fills.
class PinDialog : public ScaledDialog
{
    Q_OBJECT

public:
    // The character rule of a secret field.
    enum class Rule { Any, Digits, Hexadecimal, NoCjk };

    // The outcome of the current showing: true only when OK (or Return/Enter) closed it with
    // input that passed every check.
    bool okPressed = false;

    // Forgets what was typed, so no secret stays in the widgets between showings.
    virtual void clearInput() = 0;

protected:
    explicit PinDialog(QWidget* parent);

    // Every showing starts empty, and a prompt closed other than by OK keeps nothing typed.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

    // Null for Rule::Any.
    QValidator* validator(Rule rule) const;
    // Typed again: editable, password echo, empty.
    static void resetSecret(QLineEdit& field);
    // Ticked: the factory `value` in clear and locked; a kind without one (null) changes
    // nothing. Unticked: resetSecret.
    static void useDefault(QLineEdit& field, bool ticked, const char* value);

private slots:
    void on_Cancel_clicked();

private:
    QValidator* m_digits = nullptr;
    QValidator* m_hexadecimal = nullptr;
    QValidator* m_noCjk = nullptr;
};
