#include "otp/otpinput.h"

#include <QRandomGenerator>

namespace OtpInput {

namespace {

constexpr int kSerialDigits = 12;
constexpr int kStaticKeyLength = 16;
// " " (0x20) to "}" (0x7D): 94 printable characters.
constexpr int kFirstPrintable = 0x20;
constexpr int kPrintableCount = 94;

QRandomGenerator* source(QRandomGenerator* random)
{
    return random ? random : QRandomGenerator::system();
}

} // namespace

QString touchPrompt()
{
    return QStringLiteral("  Please touch your VELMORA FIDO Security Key ... ");
}

QString modhexPattern()
{
    return QStringLiteral("^[bcdefghijklnrtuvBCDEFGHIJKLNRTUV]+$");
}

QString modhexAlphabet()
{
    return QStringLiteral("bcdefghijklnrtuvBCDEFGHIJKLNRTUV");
}

bool isStaticKeyChar(QChar c)
{
    return c >= QLatin1Char(' ') && c <= QLatin1Char('~') && c != QLatin1Char('<') && c != QLatin1Char('>');
}

QString untypeable(const QString& text)
{
    QString refused;
    for (const QChar c : text)
        if (!isStaticKeyChar(c) && !refused.contains(c))
            refused += c;
    return refused;
}

QString typeable(const QString& text)
{
    QString kept;
    for (const QChar c : text)
        if (isStaticKeyChar(c))
            kept += c;
    return kept;
}

QString refusedMessage(const QString& refused)
{
    return QStringLiteral("The key cannot type \"%1\". A static password takes the printable ASCII characters "
                          "except \"<\" and \">\"; the others were removed.")
        .arg(refused);
}

QString randomData(int count, bool hexFormat, bool anyChar, QRandomGenerator* random)
{
    QString out;
    const QString modhex = modhexAlphabet();
    for (int i = 0; i < count; ++i) {
        const QChar c = anyChar ? QChar(kFirstPrintable + int(source(random)->bounded(kPrintableCount)))
                                : modhex.at(int(source(random)->bounded(modhex.size())));
        if (hexFormat)
            out += QString::number(c.unicode(), 16).toUpper();
        else
            out += c;
    }
    return out;
}

QString randomStaticKey(bool anyChar, QRandomGenerator* random)
{
    QString out;
    while (out.size() < kStaticKeyLength)
        out += typeable(randomData(kStaticKeyLength - out.size(), false, anyChar, random));
    return out;
}

QString randomSerial(QRandomGenerator* random)
{
    QString out;
    for (int i = 0; i < kSerialDigits; ++i)
        out += QChar(QLatin1Char('0').unicode() + int(source(random)->bounded(10)));
    return out;
}

} // namespace OtpInput
