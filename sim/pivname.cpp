#include "pivname.h"

#include <vector>

namespace {

std::string trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            parts.back() += text[++i];
        } else if (text[i] == separator) {
            parts.emplace_back();
        } else {
            parts.back() += text[i];
        }
    }
    return parts;
}

// Each part is "field=value"; a value may itself hold "=".
bool addParts(X509_NAME* name, const std::vector<std::string>& parts, std::string* error)
{
    for (const std::string& part : parts) {
        const size_t equals = part.find('=');
        const std::string field = trimmed(part.substr(0, equals));
        const std::string value = equals == std::string::npos ? std::string() : trimmed(part.substr(equals + 1));
        if (field.empty() || value.empty()) {
            *error = "Subject part " + part + " is not of the form field=value.";
            return false;
        }
        const auto* bytes = reinterpret_cast<const unsigned char*>(value.c_str());
        if (!X509_NAME_add_entry_by_txt(name, field.c_str(), MBSTRING_UTF8, bytes, -1, -1, 0)) {
            *error = "Subject field " + field + " is unknown, or its value is too long.";
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<PivName> PivName::parse(const std::string& text, std::string* error)
{
    const std::string subject = trimmed(text);
    if (subject.empty()) {
        *error = "The subject name is empty.";
        return std::nullopt;
    }
    X509NamePtr name(X509_NAME_new());
    std::vector<std::string> parts;
    if (subject[0] == '/') {
        parts = split(subject.substr(1), '/');
    } else if (subject.find('=') != std::string::npos) {
        parts = split(subject, ',');
    } else {
        parts = {"CN=" + subject};
    }
    if (!name || !addParts(name.get(), parts, error)) {
        return std::nullopt;
    }
    return PivName(std::move(name));
}

std::string PivName::text(const X509_NAME* name)
{
    const BioPtr bio = writeBio();
    const unsigned long flags = XN_FLAG_SEP_COMMA_PLUS | XN_FLAG_FN_SN | ASN1_STRFLGS_UTF8_CONVERT |
                                ASN1_STRFLGS_ESC_CTRL | ASN1_STRFLGS_ESC_2253;
    if (X509_NAME_print_ex(bio.get(), name, 0, flags) < 0) {
        return {};
    }
    return bioText(bio.get());
}
