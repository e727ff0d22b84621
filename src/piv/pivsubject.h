#pragma once

#include <QString>
#include <QStringList>

// The distinguished-name forms the backend accepts for a certificate subject: a plain name (the
// common name), "field=value" parts separated by ",", or parts each led by "/". A backslash
// takes the next character as it is.
class PivSubject
{
public:
    // Why the backend would refuse `subject`, as a message for the user; empty when it would not.
    static QString problem(const QString& subject);

private:
    static QStringList parts(const QString& subject);
    static QString partProblem(const QString& part);
};
