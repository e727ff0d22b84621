#pragma once

#include <QMetaType>
#include <QString>

// One resident FIDO2 credential as the key reports it.
struct Credential
{
    QString rpId;
    QString userName;
    QString credentialId;
    QString credentialType;

    bool operator==(const Credential& other) const
    {
        return rpId == other.rpId && userName == other.userName && credentialId == other.credentialId &&
               credentialType == other.credentialType;
    }
    bool operator!=(const Credential& other) const { return !(*this == other); }
};

Q_DECLARE_METATYPE(Credential)
