#include "ui/inputrule.h"

#include <QRegExpValidator>

namespace InputRule {

QString digits()
{
    return QStringLiteral("^[0-9]+$");
}

QString hexadecimal()
{
    return QStringLiteral("^[A-Fa-f0-9]+$");
}

QString noCjk()
{
    return QStringLiteral("[^\u4e00-\u9fa5\uff01\uffe5\u2026\u2026\uff5b\uff5d\u3010\u3011\u300a\u300b\uff08\uff09"
                          "\u2014\u2014\uff1b\u2019\u2018\uff1a\u201c\uff0c\u3002\u3001\uff1f]+$");
}

QValidator* validator(const QString& pattern, QObject* parent)
{
    return new QRegExpValidator(QRegExp(pattern, Qt::CaseSensitive), parent);
}

} // namespace InputRule
