#include "commandlog.h"

#include <fcntl.h>
#include <unistd.h>

CommandLog::CommandLog(const std::string& path)
    : m_fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600))
{
}

CommandLog::~CommandLog()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void CommandLog::append(const std::string& line)
{
    if (m_fd < 0) {
        return;
    }
    const std::string text = line + "\n";
    // O_APPEND with one write per line; a short write of a log line is not worth a retry.
    const ssize_t written = ::write(m_fd, text.data(), text.size());
    (void)written;
}
