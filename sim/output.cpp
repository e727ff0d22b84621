#include "output.h"

#include "fileio.h"

Output::Output(int fd) : m_fd(fd) {}

bool Output::write(const Reply& reply)
{
    if (m_broken) {
        return false;
    }
    // A blocking pipe takes the whole reply in one write(); writeAll only adds the retry after
    // a signal.
    if (!FileIo::writeAll(m_fd, reply.text() + "\n")) {
        m_broken = true;
        return false;
    }
    return true;
}
