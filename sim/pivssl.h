#pragma once

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>

#include <memory>
#include <string>

// Owning pointers for the libcrypto objects the PIV simulation uses, and the memory-buffer
// conversions between them and text.
template <auto FreeFunction> struct SslFree
{
    template <typename T> void operator()(T* object) const { FreeFunction(object); }
};

using BioPtr = std::unique_ptr<BIO, SslFree<BIO_free_all>>;
using PkeyPtr = std::unique_ptr<EVP_PKEY, SslFree<EVP_PKEY_free>>;
using X509Ptr = std::unique_ptr<X509, SslFree<X509_free>>;
using X509NamePtr = std::unique_ptr<X509_NAME, SslFree<X509_NAME_free>>;
using X509ReqPtr = std::unique_ptr<X509_REQ, SslFree<X509_REQ_free>>;
using Pkcs12Ptr = std::unique_ptr<PKCS12, SslFree<PKCS12_free>>;

// A read-only memory BIO over the text; the text must outlive it.
inline BioPtr readBio(const std::string& text)
{
    return BioPtr(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
}

inline BioPtr writeBio()
{
    return BioPtr(BIO_new(BIO_s_mem()));
}

// Everything written to a memory BIO so far.
inline std::string bioText(BIO* bio)
{
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return size > 0 ? std::string(data, static_cast<size_t>(size)) : std::string();
}
