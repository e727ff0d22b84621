#include "common/simprocess.h"

#include "common/simharness.h"

#include <QDeadlineTimer>

SimProcess::~SimProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool SimProcess::start(const QStringList& arguments)
{
    m_buffer.clear();
    m_process.start(SimHarness::simPath(), arguments);
    return m_process.waitForStarted(10000);
}

void SimProcess::send(const QByteArray& line)
{
    m_process.write(line + '\n');
    m_process.waitForBytesWritten(5000);
}

QByteArray SimProcess::nextReply(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!m_buffer.contains('\n')) {
        if (m_process.bytesAvailable() == 0 && !m_process.waitForReadyRead(int(deadline.remainingTime())))
            return QByteArray();
        m_buffer += m_process.readAllStandardOutput();
    }
    const int end = m_buffer.indexOf('\n');
    const QByteArray reply = m_buffer.left(end);
    m_buffer.remove(0, end + 1);
    return reply;
}

QByteArray SimProcess::request(const QByteArray& line, int timeoutMs)
{
    send(line);
    return nextReply(timeoutMs);
}

JSON_OBJ SimProcess::requestParsed(const QByteArray& line)
{
    return parse(request(line));
}

bool SimProcess::finish(int timeoutMs)
{
    m_process.closeWriteChannel();
    return waitForExit(timeoutMs);
}

bool SimProcess::waitForExit(int timeoutMs)
{
    return m_process.state() == QProcess::NotRunning || m_process.waitForFinished(timeoutMs);
}

JSON_OBJ SimProcess::parse(const QByteArray& reply)
{
    JSON parser;
    const char* cursor = reply.constData();
    return parser.Parse(cursor);
}
