#include "support/hex.h"

#include <QByteArray>

void Str2HexStr(QString in, QString& out)
{
    out = QString::fromLatin1(in.toUtf8().toHex());
}

void u1_2_hex_str(unsigned char* data, unsigned int len, std::string& out)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text(2 * static_cast<std::size_t>(len), '\0');
    for (unsigned int i = 0; i < len; ++i) {
        text[2 * i] = digits[data[i] >> 4];
        text[2 * i + 1] = digits[data[i] & 0x0F];
    }
    out.swap(text);
}
