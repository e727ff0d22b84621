#pragma once

#include <QString>

// The command line as it may appear in a log: everything from the first PIN, PUK, key, password
// or OTP secret up to the non-secret tail of the line is replaced by one "****", however the
// secrets were typed. Lines without secrets come back unchanged.
QString maskSecrets(const QString& line);

// A reply as it may appear in a log. Replies that name people or credentials (the resident
// credentials, the fingerprint names) are summarised: status, number of records and each
// credential ID cut to its first characters. Other replies come back unchanged.
QString replyForLog(const QString& reply, int type);
// Whether replies to commands of this type are summarised so.
bool replyNamesPeople(int type);
