#pragma once

#include <QString>

class QObject;
class QValidator;

// Character rules of typed input, as case-sensitive patterns for a QRegExpValidator: a line
// edit refuses the keystroke that would break its rule.
namespace InputRule {

QString digits();
QString hexadecimal();
// One or more characters, none a CJK ideograph (U+4E00 to U+9FA5) nor the full-width
// punctuation an input method produces.
QString noCjk();

QValidator* validator(const QString& pattern, QObject* parent);

} // namespace InputRule
