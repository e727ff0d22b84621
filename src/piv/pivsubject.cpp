#include "piv/pivsubject.h"

#include <QSet>

namespace {

// The field names the backend knows, short and long.
const QSet<QString> kKnownFields = {
    QStringLiteral("CN"),
    QStringLiteral("commonName"),
    QStringLiteral("C"),
    QStringLiteral("countryName"),
    QStringLiteral("L"),
    QStringLiteral("localityName"),
    QStringLiteral("ST"),
    QStringLiteral("O"),
    QStringLiteral("organizationName"),
    QStringLiteral("OU"),
    QStringLiteral("SN"),
    QStringLiteral("surname"),
    QStringLiteral("GN"),
    QStringLiteral("givenName"),
    QStringLiteral("DC"),
    QStringLiteral("UID"),
    QStringLiteral("title"),
    QStringLiteral("initials"),
    QStringLiteral("serialNumber"),
    QStringLiteral("emailAddress"),
    QStringLiteral("street"),
    QStringLiteral("name"),
    QStringLiteral("pseudonym"),
    QStringLiteral("postalCode"),
};
// A country is a two-letter code.
constexpr int kCountryLength = 2;

bool isCountry(const QString& field)
{
    return field == QLatin1String("C") || field == QLatin1String("countryName");
}

QStringList split(const QString& text, QChar separator)
{
    QStringList parts(QString{});
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('\\') && i + 1 < text.size())
            parts.last() += text[++i];
        else if (text[i] == separator)
            parts.append(QString());
        else
            parts.last() += text[i];
    }
    return parts;
}

} // namespace

QString PivSubject::problem(const QString& subject)
{
    for (const QString& part : parts(subject)) {
        const QString problem = partProblem(part);
        if (!problem.isEmpty())
            return problem;
    }
    return QString();
}

QStringList PivSubject::parts(const QString& subject)
{
    const QString trimmed = subject.trimmed();
    if (trimmed.startsWith(QLatin1Char('/')))
        return split(trimmed.mid(1), QLatin1Char('/'));
    if (trimmed.contains(QLatin1Char('=')))
        return split(trimmed, QLatin1Char(','));
    return {};
}

QString PivSubject::partProblem(const QString& part)
{
    const QString field = part.section(QLatin1Char('='), 0, 0).trimmed();
    const QString value = part.section(QLatin1Char('='), 1).trimmed();
    if (field.isEmpty() || value.isEmpty())
        return QStringLiteral("The subject part \"%1\" is not of the form field=value, such as CN=Alice.").arg(part);
    if (!kKnownFields.contains(field))
        return QStringLiteral("The subject field \"%1\" is unknown. Use CN, O, OU, L, ST, C or DC.").arg(field);
    if (isCountry(field) && value.size() != kCountryLength)
        return QStringLiteral("The country \"%1\" must be a two-letter code, such as C=DE.").arg(value);
    return QString();
}
