#include "pivrequest.h"

#include "pivkey.h"
#include "pivname.h"

#include <openssl/pem.h>

std::optional<std::string> PivRequest::pem(const PivKey& key, const PivName& subject)
{
    X509ReqPtr request(X509_REQ_new());
    const bool built = request && X509_REQ_set_version(request.get(), X509_REQ_VERSION_1) &&
                       X509_REQ_set_subject_name(request.get(), subject.get()) &&
                       X509_REQ_set_pubkey(request.get(), key.get()) &&
                       X509_REQ_sign(request.get(), key.get(), EVP_sha256()) > 0;
    const BioPtr bio = writeBio();
    if (!built || !PEM_write_bio_X509_REQ(bio.get(), request.get())) {
        return std::nullopt;
    }
    return bioText(bio.get());
}
