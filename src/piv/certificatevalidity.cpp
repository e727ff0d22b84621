#include "piv/certificatevalidity.h"

namespace {

const QString kSeparator = QStringLiteral(" to ");

} // namespace

CertificateValidity::CertificateValidity(const QString& text) : m_text(text)
{
    const QStringList dates = text.trimmed().split(kSeparator);
    if (dates.size() != 2)
        return;
    m_notBefore = QDate::fromString(dates.at(0).trimmed(), Qt::ISODate);
    m_notAfter = QDate::fromString(dates.at(1).trimmed(), Qt::ISODate);
}

bool CertificateValidity::isValid() const
{
    return m_notBefore.isValid() && m_notAfter.isValid();
}

int CertificateValidity::daysLeft(const QDate& today) const
{
    return static_cast<int>(today.daysTo(m_notAfter));
}

bool CertificateValidity::needsWarning(const QDate& today) const
{
    return isValid() && daysLeft(today) <= kWarningDays;
}

QString CertificateValidity::describe(const QDate& today, const QLocale& locale) const
{
    // A text we cannot read is shown as the backend gave it.
    if (!isValid())
        return m_text;
    const QString dates = locale.toString(m_notBefore, QLocale::ShortFormat) + kSeparator +
                          locale.toString(m_notAfter, QLocale::ShortFormat);
    if (!needsWarning(today))
        return dates;
    return dates + QStringLiteral(" (") + daysText(daysLeft(today)) + QLatin1Char(')');
}

QString CertificateValidity::daysText(int days) const
{
    if (days < 0)
        return QStringLiteral("expired %1 days ago").arg(-days);
    if (days == 0)
        return QStringLiteral("expires today");
    return QStringLiteral("expires in %1 days").arg(days);
}
