#pragma once

#include <QString>

// One OTP slot's configuration: as the key lists it, or as the configuration form fills it.
struct OTP_STRUCT
{
    int slot = 0; // 0 = slot 1 (short touch), 1 = slot 2 (long touch)
    QString hash;
    QString type; // "HOTP", "STATIC_PASSWORD" or "CHALLENGE_RESPONSE"
    int digits = 0;
    QString name; // the serial number field as hex text; a slot is configured when it is set
    QString key;
};
