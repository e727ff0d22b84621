#pragma once

// The canned backend replies the window tests answer with, in one place.

#include <QString>

namespace Reply {

inline const char kPlugged[] = "{\"SW\":\"80900002\"}";
inline const char kRemoved[] = "{\"SW\":\"80900001\"}";
inline const char kSeveral[] = "{\"SW\":\"80900003\"}";
inline const char kOk[] = "{\"SW\":\"9000\",\"INFO\":\"\"}";

// A reply with only a status word (hex, as the backend writes it) and an INFO text.
inline QString status(const QString& sw, const QString& info = QString())
{
    return QStringLiteral("{\"SW\":\"%1\",\"INFO\":\"%2\"}").arg(sw, info);
}

// The details of a key of `model` with these transport and application texts.
inline QString details(const QString& transport, const QString& application, const QString& model = "R15")
{
    return QStringLiteral("{\"SW\":\"9000\",\"DATA\":[{\"NAME\":\"Kestra FIDO Plus\",\"PID\":\"0x0F15&0x3E5C\","
                          "\"COS_VERSION\":\"4.3.11\",\"SERIAL_NUMBER\":\"4C7D13A8\",\"MODULE\":\"%3\","
                          "\"TRANSPORT\":\"%1\",\"APPLICATION\":\"%2\"}]}")
        .arg(transport, application, model);
}

} // namespace Reply
