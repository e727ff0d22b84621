#include "otp/hotpcode.h"

#include <QMessageAuthenticationCode>
#include <QtEndian>

namespace {

constexpr int kCounterBytes = 8;
constexpr char kOffsetMask = 0x0F;
constexpr quint32 kSignBitMask = 0x7FFFFFFF;

quint32 powerOfTen(int digits)
{
    quint32 power = 1;
    for (int i = 0; i < digits; ++i)
        power *= 10;
    return power;
}

} // namespace

QString HotpCode::compute(const QByteArray& key, int digits, quint64 counter)
{
    QByteArray message(kCounterBytes, '\0');
    qToBigEndian(counter, message.data());
    const QByteArray mac = QMessageAuthenticationCode::hash(message, key, QCryptographicHash::Sha1);
    // Dynamic truncation: the last nibble picks the four bytes that make the code.
    const int offset = mac.at(mac.size() - 1) & kOffsetMask;
    const quint32 binary = qFromBigEndian<quint32>(mac.constData() + offset) & kSignBitMask;
    return QStringLiteral("%1").arg(binary % powerOfTen(digits), digits, 10, QLatin1Char('0'));
}
