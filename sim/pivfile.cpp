#include "pivfile.h"

#include "fileio.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Certificates, keys and PKCS#12 files are a few kilobytes; anything this large is not one.
constexpr off_t MaxFileSize = 1024 * 1024;

std::string tooLarge(const std::string& path)
{
    return path + " is too large for a certificate or key file.";
}

std::optional<std::string> readOpen(int fd, const std::string& path, std::string* error)
{
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        *error = path + " is not a regular file.";
        return std::nullopt;
    }
    if (info.st_size > MaxFileSize) {
        *error = tooLarge(path);
        return std::nullopt;
    }
    auto text = FileIo::readAll(fd, MaxFileSize);
    if (!text) {
        *error = FileIo::systemError("read", path);
        return std::nullopt;
    }
    // The file may have grown since fstat().
    if (text->size() > static_cast<size_t>(MaxFileSize)) {
        *error = tooLarge(path);
        return std::nullopt;
    }
    return text;
}

bool ownedByOther(const struct stat& info)
{
    return info.st_uid != ::geteuid();
}

} // namespace

std::optional<std::string> PivFile::read(const std::string& path, std::string* error)
{
    if (path.empty()) {
        *error = "No file was given.";
        return std::nullopt;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        *error = FileIo::systemError("open", path);
        return std::nullopt;
    }
    auto text = readOpen(fd, path, error);
    ::close(fd);
    return text;
}

std::optional<std::string> PivFile::readOwn(const std::string& path, std::string* error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        *error = errno == ELOOP ? path + " is a symbolic link; it is not read." : FileIo::systemError("open", path);
        return std::nullopt;
    }
    struct stat info;
    std::optional<std::string> text;
    if (::fstat(fd, &info) == 0 && ownedByOther(info)) {
        *error = path + " belongs to another user; it is not read.";
    } else {
        text = readOpen(fd, path, error);
    }
    ::close(fd);
    return text;
}

bool PivFile::write(const std::string& path, const std::string& text, std::string* error)
{
    if (path.empty() || path.back() == '/') {
        *error = "No file name was given.";
        return false;
    }
    struct stat info;
    if (::lstat(path.c_str(), &info) == 0) {
        if (ownedByOther(info)) {
            *error = path + " belongs to another user; it is not overwritten.";
            return false;
        }
        if (S_ISDIR(info.st_mode)) {
            *error = path + " is a folder.";
            return false;
        }
    }
    return FileIo::replace(path, text, 0644, error);
}
