#pragma once

#include <QString>

// One OTP slot's configuration: as the key lists it, or as the configuration form fills it.
struct OTP_STRUCT
{
    int slot = 0; // 0 = slot 1 (short touch), 1 = slot 2 (long touch)
    QString hash;
    QString type; // "HOTP", "STATIC_PASSWORD" or "CHALLENGE_RESPONSE"
    int digits = 0;
    QString name; // the serial number field as hex text; may be empty on a configured slot
    QString key;
    // The key listed the slot (or the window has just written it); the name alone
    // cannot tell, since a key that hides its serial writes an empty one by default.
    bool configured = false;
};
