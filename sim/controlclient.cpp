#include "controlclient.h"

#include "fileio.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

int connectTo(const std::string& path, std::string* error)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        *error = "socket path too long";
        return -1;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        *error = std::strerror(errno);
        if (fd >= 0) {
            ::close(fd);
        }
        return -1;
    }
    return fd;
}

std::optional<std::string> readLine(int fd)
{
    std::string reply;
    char c;
    while (true) {
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return std::nullopt;
        }
        if (c == '\n') {
            return reply;
        }
        reply += c;
    }
}

} // namespace

std::optional<std::string> ControlClient::request(const std::string& path, const std::string& line, std::string* error)
{
    const int fd = connectTo(path, error);
    if (fd < 0) {
        return std::nullopt;
    }
    std::optional<std::string> reply;
    if (FileIo::writeAll(fd, line + "\n")) {
        reply = readLine(fd);
    }
    ::close(fd);
    if (!reply) {
        *error = "no reply from the simulator";
    }
    return reply;
}
