#include "fileio.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace FileIo {

namespace {

std::string folderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

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

std::optional<std::string> readAll(int fd, size_t stopAfter)
{
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0) {
            text.append(buffer, static_cast<size_t>(n));
        }
        if (text.size() > stopAfter) {
            return text;
        }
    }
    if (n < 0) {
        return std::nullopt;
    }
    return text;
}

bool replace(const std::string& path, const std::string& text, mode_t mode, std::string* error)
{
    std::string temporary = folderOf(path) + "/kvman-sim.tmp.XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        *error = systemError("write in the folder of", path);
        return false;
    }
    const bool written = ::fchmod(fd, mode) == 0 && writeAll(fd, text);
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        *error = systemError("write", path);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

std::string systemError(const std::string& what, const std::string& path)
{
    return "Cannot " + what + " " + path + ": " + std::strerror(errno) + ".";
}

} // namespace FileIo
