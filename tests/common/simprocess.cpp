#include "common/simprocess.h"

#include "common/simharness.h"

namespace {

constexpr int kTimeoutMs = 10000;

} // namespace

SimProcess::~SimProcess()
{
    m_process.kill();
    m_process.waitForFinished(kTimeoutMs);
}

bool SimProcess::start()
{
    m_process.start(SimHarness::simPath(), {QStringLiteral(" ")});
    return m_process.waitForStarted(kTimeoutMs);
}

void SimProcess::send(const QByteArray& line)
{
    m_process.write(line + '\n');
    m_process.waitForBytesWritten(kTimeoutMs);
}

QByteArray SimProcess::nextReply()
{
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(kTimeoutMs))
            return QByteArray();
    }
    return m_process.readLine().chopped(1);
}

JSON_OBJ SimProcess::requestParsed(const QByteArray& line)
{
    send(line);
    return parse(nextReply());
}

bool SimProcess::finish()
{
    m_process.closeWriteChannel();
    return m_process.state() == QProcess::NotRunning || m_process.waitForFinished(kTimeoutMs);
}

JSON_OBJ SimProcess::parse(const QByteArray& reply)
{
    JSON parser;
    const char* cursor = reply.constData();
    return parser.Parse(cursor);
}
