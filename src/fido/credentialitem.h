#pragma once

#include "fido/credential.h"

#include <QWidget>

class QCheckBox;
class QLineEdit;

// One row of the credential list: a check box, the relying party and the user.
class CredentialItem : public QWidget
{
    Q_OBJECT

public:
    CredentialItem(QWidget* parent, Credential credential);

    void setCheckState(bool checked);
    bool getCheckState() const;
    Credential getCredential() const { return m_credential; }

signals:
    void SendItem(Credential item);

private slots:
    void checkBox_State_Change();

private:
    QCheckBox* m_checkBox = nullptr;
    QLineEdit* m_rpId = nullptr;
    QLineEdit* m_user = nullptr;
    Credential m_credential;
};
