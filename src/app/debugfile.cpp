#include "app/debugfile.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isOurPlainFile(int fd)
{
    struct stat st;
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1 && st.st_uid == ::geteuid();
}

bool writeAll(int fd, const QByteArray& bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace

DebugFile::DebugFile(const QString& path) : m_path(QFile::encodeName(path)) {}

bool DebugFile::replace(const QByteArray& bytes) const
{
    // Not truncated on open: only once the file is known to be ours.
    const int fd = ::open(m_path.constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool ok = isOurPlainFile(fd) && ::ftruncate(fd, 0) == 0 && writeAll(fd, bytes);
    ::close(fd);
    return ok;
}
