#include "common/fakebackend.h"

#include <sys/stat.h>

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

} // namespace

FakeBackend::FakeBackend(const QString& mode)
    : m_out(m_dir.filePath(QStringLiteral("out.fifo"))), m_err(m_dir.filePath(QStringLiteral("err.fifo")))
{
    QFile file(program());
    file.open(QIODevice::WriteOnly);
    file.write(mode == QLatin1String("die") ? kDieScript : kRecordScript);
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    for (QFile* fifo : {&m_out, &m_err}) {
        ::mkfifo(QFile::encodeName(fifo->fileName()).constData(), 0600);
        // Opened read-write so that neither side blocks waiting for the other.
        fifo->open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    }
}

QString FakeBackend::program() const
{
    return m_dir.filePath(QStringLiteral("backend.sh"));
}

QByteArray FakeBackend::received() const
{
    QFile file(m_dir.filePath(QStringLiteral("in.log")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList FakeBackend::receivedLines() const
{
    QStringList lines = QString::fromUtf8(received()).split(QLatin1Char('\n'));
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

int FakeBackend::starts() const
{
    QFile file(m_dir.filePath(QStringLiteral("starts")));
    return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : 0;
}
