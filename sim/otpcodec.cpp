#include "otpcodec.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

namespace OtpCodec {

Hex::Bytes hmacSha1(const Hex::Bytes& key, const Hex::Bytes& data)
{
    unsigned char mac[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    // OpenSSL refuses null pointers even for length 0.
    static const unsigned char none = 0;
    HMAC(EVP_sha1(), key.empty() ? &none : key.data(), static_cast<int>(key.size()), data.empty() ? &none : data.data(),
         data.size(), mac, &length);
    return Hex::Bytes(mac, mac + length);
}

std::string hotp(const Hex::Bytes& key, uint64_t counter, int digits)
{
    Hex::Bytes message(8);
    for (int i = 7; i >= 0; --i) {
        message[static_cast<size_t>(i)] = static_cast<uint8_t>(counter & 0xFF);
        counter >>= 8;
    }
    const Hex::Bytes mac = hmacSha1(key, message);
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
