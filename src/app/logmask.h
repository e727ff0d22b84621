#pragma once

#include <QString>

// The command line as it may appear in a log: PINs, PUKs, keys, passwords and OTP secrets
// replaced by "****". Lines without secrets come back unchanged.
QString maskSecrets(const QString& line);
