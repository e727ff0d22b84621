#include "pivfile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Certificates, keys and PKCS#12 files are a few kilobytes; anything this large is not one.
constexpr off_t MaxFileSize = 1024 * 1024;

std::string systemError(const std::string& what, const std::string& path)
{
    return "Cannot " + what + " " + path + ": " + std::strerror(errno) + ".";
}

std::string folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::optional<std::string> readOpen(int fd, const std::string& path, std::string* error)
{
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        *error = path + " is not a regular file.";
        return std::nullopt;
    }
    if (info.st_size > MaxFileSize) {
        *error = path + " is too large for a certificate or key file.";
        return std::nullopt;
    }
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0) {
            text.append(buffer, static_cast<size_t>(n));
        }
        if (text.size() > static_cast<size_t>(MaxFileSize)) {
            *error = path + " is too large for a certificate or key file.";
            return std::nullopt;
        }
    }
    if (n < 0) {
        *error = systemError("read", path);
        return std::nullopt;
    }
    return text;
}

bool writeAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
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
        *error = systemError("open", path);
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
        *error = errno == ELOOP ? path + " is a symbolic link; it is not read." : systemError("open", path);
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
    std::string temporary = folderOf(path) + "/.kvman-sim-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        *error = systemError("write in the folder of", path);
        return false;
    }
    const bool written = ::fchmod(fd, 0644) == 0 && writeAll(fd, text);
    const bool closed = ::close(fd) == 0;
    // rename() replaces a symbolic link at the path instead of writing through it.
    if (!written || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        *error = systemError("write", path);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}
