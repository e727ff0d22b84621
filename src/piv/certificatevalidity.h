#pragma once

#include <QDate>
#include <QLocale>
#include <QString>

// A slot certificate's validity as the backend reports it ("2025-06-01 to 2026-06-01", UTC dates),
// told in the user's locale with a warning when it has expired or expires soon.
class CertificateValidity
{
public:
    // A certificate this close to its end is shown as a warning, so there is time to renew it.
    static constexpr int kWarningDays = 30;

    explicit CertificateValidity(const QString& text);

    bool isValid() const;
    QDate notBefore() const { return m_notBefore; }
    QDate notAfter() const { return m_notAfter; }
    // Negative once the certificate has expired.
    int daysLeft(const QDate& today) const;
    bool needsWarning(const QDate& today) const;
    // The dates in `locale`; a warning adds how many days are left or have passed.
    QString describe(const QDate& today, const QLocale& locale) const;

private:
    QString daysText(int days) const;

    QString m_text;
    QDate m_notBefore;
    QDate m_notAfter;
};
