#pragma once

#include <QChar>
#include <QString>

class QRandomGenerator;

// The rules of the OTP configuration form that need no widgets: the modhex pattern, the
// static key's character rule and the generators of serial numbers and secrets.
namespace OtpInput {

// The busy text while the key waits for the touch that confirms a write.
QString touchPrompt();

// The static password's rule unless any character is allowed; the other rules are InputRule's.
QString modhexPattern();
// The 32 letters a modhex character is drawn from (each of the 16 in both cases).
QString modhexAlphabet();

// Whether the key can type this character of a static password: " " to "~" except "<" and ">".
bool isStaticKeyChar(QChar c);
// The characters of `text` the key cannot type, each once, in their order.
QString untypeable(const QString& text);
// `text` without the characters the key cannot type.
QString typeable(const QString& text);
// Why `refused` (the untypeable characters) left the static password.
QString refusedMessage(const QString& refused);

// `count` random characters: printable " " to "}" when anyChar, modhex letters otherwise;
// written as two upper-case hex digits each when hexFormat. Drawn from `random` (default:
// the system's cryptographic source).
QString randomData(int count, bool hexFormat, bool anyChar, QRandomGenerator* random = nullptr);
// A static password of 16 characters the key can type: modhex letters unless anyChar.
QString randomStaticKey(bool anyChar, QRandomGenerator* random = nullptr);
// A serial number: 12 decimal digits.
QString randomSerial(QRandomGenerator* random = nullptr);

} // namespace OtpInput
