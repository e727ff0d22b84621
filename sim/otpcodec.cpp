#include "otpcodec.h"

#include <cctype>
#include <openssl/evp.h>
#include <openssl/hmac.h>

namespace OtpCodec {

namespace {

int nibble(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

} // namespace

std::optional<Bytes> fromHex(const std::string& text)
{
    if (text.size() % 2 != 0) {
        return std::nullopt;
    }
    Bytes bytes;
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = nibble(text[i]);
        const int low = nibble(text[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes.push_back(static_cast<uint8_t>(high << 4 | low));
    }
    return bytes;
}

std::string toHex(const Bytes& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    return text;
}

std::string upperCase(std::string text)
{
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

Bytes hmacSha1(const Bytes& key, const Bytes& data)
{
    unsigned char mac[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    // OpenSSL refuses null pointers even for length 0.
    static const unsigned char none = 0;
    HMAC(EVP_sha1(), key.empty() ? &none : key.data(), static_cast<int>(key.size()), data.empty() ? &none : data.data(),
         data.size(), mac, &length);
    return Bytes(mac, mac + length);
}

std::string hotp(const Bytes& key, uint64_t counter, int digits)
{
    Bytes message(8);
    for (int i = 7; i >= 0; --i) {
        message[static_cast<size_t>(i)] = static_cast<uint8_t>(counter & 0xFF);
        counter >>= 8;
    }
    const Bytes mac = hmacSha1(key, message);
    // Dynamic truncation, RFC 4226 section 5.3.
    const size_t offset = mac.back() & 0x0F;
    const uint32_t binary = (uint32_t(mac[offset] & 0x7F) << 24) | (uint32_t(mac[offset + 1]) << 16) |
                            (uint32_t(mac[offset + 2]) << 8) | uint32_t(mac[offset + 3]);
    uint32_t modulus = 1;
    for (int i = 0; i < digits; ++i) {
        modulus *= 10;
    }
    std::string code = std::to_string(binary % modulus);
    return std::string(static_cast<size_t>(digits) - code.size(), '0') + code;
}

} // namespace OtpCodec
