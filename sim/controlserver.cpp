#include "controlserver.h"

#include "fileio.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Portable to systems without SOCK_CLOEXEC and accept4.
int closeOnExec(int fd)
{
    if (fd >= 0) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    return fd;
}

bool revents(const std::vector<pollfd>& fds, int fd)
{
    return std::any_of(fds.begin(), fds.end(), [fd](const pollfd& p) { return p.fd == fd && p.revents != 0; });
}

} // namespace

ControlServer::ControlServer(std::string path, Handler handler) : m_path(std::move(path)), m_handler(std::move(handler))
{
    listen();
}

ControlServer::~ControlServer()
{
    for (const Client& client : m_clients) {
        ::close(client.fd);
    }
    if (m_listenFd >= 0) {
        ::close(m_listenFd);
        ::unlink(m_path.c_str());
    }
}

void ControlServer::listen()
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (m_path.empty() || m_path.size() >= sizeof address.sun_path) {
        return;
    }
    std::memcpy(address.sun_path, m_path.c_str(), m_path.size() + 1);
    // A socket left behind by a killed simulator would block the bind; anything else stays.
    struct stat info;
    if (::lstat(m_path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) {
        ::unlink(m_path.c_str());
    }
    const int fd = closeOnExec(::socket(AF_UNIX, SOCK_STREAM, 0));
    if (fd < 0) {
        return;
    }
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 8) != 0) {
        ::close(fd);
        return;
    }
    m_listenFd = fd;
}

void ControlServer::addPollFds(std::vector<pollfd>& fds) const
{
    if (m_listenFd >= 0) {
        fds.push_back({m_listenFd, POLLIN, 0});
    }
    for (const Client& client : m_clients) {
        fds.push_back({client.fd, POLLIN, 0});
    }
}

void ControlServer::handle(const std::vector<pollfd>& fds)
{
    for (size_t i = 0; i < m_clients.size();) {
        if (!revents(fds, m_clients[i].fd) || serve(m_clients[i])) {
            ++i;
            continue;
        }
        ::close(m_clients[i].fd);
        m_clients.erase(m_clients.begin() + long(i));
    }
    if (m_listenFd >= 0 && revents(fds, m_listenFd)) {
        accept();
    }
}

void ControlServer::accept()
{
    const int fd = closeOnExec(::accept(m_listenFd, nullptr, nullptr));
    if (fd >= 0) {
        m_clients.push_back({fd, LineBuffer(4096)});
    }
}

bool ControlServer::serve(Client& client)
{
    char buffer[4096];
    const ssize_t n = ::recv(client.fd, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) {
        return true;
    }
    if (n <= 0) {
        return false;
    }
    client.input.append(buffer, static_cast<size_t>(n));
    while (const auto line = client.input.takeLine()) {
        FileIo::writeAll(client.fd, (line->tooLong ? "error line too long" : m_handler(line->text)) + "\n");
    }
    return true;
}
