// How long the certificate shown is still valid.

#include "piv/pivcontroller.h"

#include "piv/certificatevalidity.h"
#include "ui_mainwindow.h"

#include <QDateTime>

namespace {

const QString kValidityStyle = QStringLiteral("color: rgb(53,64,85);");
const QString kExpiryWarningStyle = QStringLiteral("color: rgb(192,32,32); font-weight: bold;");

} // namespace

// Certificate dates are UTC, so the days left are counted from today's UTC date.
void PivController::showCertificateValidity(const QString& text)
{
    const CertificateValidity validity(text);
    const QDate today = QDateTime::currentDateTimeUtc().date();
    ui->validity->setText(validity.describe(today, QLocale()));
    ui->validity->setStyleSheet(validity.needsWarning(today) ? kExpiryWarningStyle : kValidityStyle);
}
