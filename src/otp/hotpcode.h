#pragma once

#include <QByteArray>
#include <QString>

// The one-time code an OATH HOTP slot types (RFC 4226, HMAC-SHA1), computed here so a freshly
// written slot can be checked against what the key really types.
class HotpCode
{
public:
    // The code for `counter`, `digits` long with leading zeros.
    static QString compute(const QByteArray& key, int digits, quint64 counter);
};
