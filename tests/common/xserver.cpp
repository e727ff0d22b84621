#include "common/xserver.h"

#include <QByteArray>

#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kStartTimeoutMs = 10000;

// Xvfb writes the display number it picked, then a newline, to the descriptor it was given.
QByteArray readDisplayNumber(int fd)
{
    QByteArray number;
    pollfd ready{fd, POLLIN, 0};
    char c = 0;
    while (poll(&ready, 1, kStartTimeoutMs) == 1 && read(fd, &c, 1) == 1 && c != '\n')
        number.append(c);
    return number;
}

} // namespace

XServer::XServer(const QSize& screen)
{
    int fds[2];
    if (pipe(fds) != 0) {
        m_reason = QStringLiteral("no pipe for the X server");
        return;
    }
    const QByteArray fd = QByteArray::number(fds[1]);
    const QByteArray geometry = QByteArray::number(screen.width()) + 'x' + QByteArray::number(screen.height()) + "x24";
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.constData(), "-screen", "0", geometry.constData(), "-nolisten", "tcp",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    const QByteArray display = pid > 0 ? readDisplayNumber(fds[0]) : QByteArray();
    close(fds[0]);
    if (display.isEmpty()) {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
        m_reason = QStringLiteral("Xvfb could not be started (is the xvfb package installed?)");
        return;
    }
    m_pid = pid;
    qputenv("DISPLAY", ':' + display);
    qputenv("QT_QPA_PLATFORM", "xcb");
}

XServer::~XServer()
{
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGTERM);
    waitpid(m_pid, nullptr, 0);
}
