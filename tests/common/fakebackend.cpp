#include "common/fakebackend.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kRecordScript[] = "#!/bin/sh\n"
                             "d=$(dirname \"$0\")\n"
                             "echo started >> \"$d/starts\"\n"
                             "cat \"$d/out.fifo\" &\n"
                             "cat \"$d/err.fifo\" >&2 &\n"
                             "exec cat >> \"$d/in.log\"\n";
const char kDieScript[] = "#!/bin/sh\n"
                          "echo started >> \"$(dirname \"$0\")/starts\"\n"
                          "exit 3\n";

void writeAll(int fd, const QByteArray& bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            return;
        done += n;
    }
}

} // namespace

FakeBackend::FakeBackend(const QString& mode)
{
    const QString script = program();
    QFile file(script);
    file.open(QIODevice::WriteOnly);
    file.write(mode == QLatin1String("die") ? kDieScript : kRecordScript);
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray out = m_dir.filePath(QStringLiteral("out.fifo")).toLocal8Bit();
    const QByteArray err = m_dir.filePath(QStringLiteral("err.fifo")).toLocal8Bit();
    ::mkfifo(out.constData(), 0600);
    ::mkfifo(err.constData(), 0600);
    // Opened read-write so that neither side blocks waiting for the other.
    m_out = ::open(out.constData(), O_RDWR | O_CLOEXEC);
    m_err = ::open(err.constData(), O_RDWR | O_CLOEXEC);
}

FakeBackend::~FakeBackend()
{
    ::close(m_out);
    ::close(m_err);
}

QString FakeBackend::program() const
{
    return m_dir.filePath(QStringLiteral("backend.sh"));
}

void FakeBackend::writeStdout(const QByteArray& bytes)
{
    writeAll(m_out, bytes);
}

void FakeBackend::writeStderr(const QByteArray& bytes)
{
    writeAll(m_err, bytes);
}

QByteArray FakeBackend::received() const
{
    QFile file(m_dir.filePath(QStringLiteral("in.log")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList FakeBackend::receivedLines() const
{
    QStringList lines = QString::fromUtf8(received()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

int FakeBackend::starts() const
{
    QFile file(m_dir.filePath(QStringLiteral("starts")));
    return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : 0;
}
