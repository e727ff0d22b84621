#include "output.h"

#include <cerrno>
#include <unistd.h>

Output::Output(int fd) : m_fd(fd) {}

bool Output::write(const Reply& reply)
{
    if (m_broken) {
        return false;
    }
    const std::string text = reply.text() + "\n";
    size_t done = 0;
    // A blocking pipe takes the whole reply in one call; the loop only covers signals.
    while (done < text.size()) {
        const ssize_t n = ::write(m_fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            m_broken = true;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}
