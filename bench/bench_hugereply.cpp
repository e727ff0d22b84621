// The longest event-loop stall while the window reads and handles a device-details reply of
// 16 MB (the framing cap), and a flood of key insert/remove events, through the real channel.
// A zero-interval timer ticks whenever the event loop runs; the widest gap between ticks is the
// stall a user would see. The same gaps in this thread's processor time tell the window's own
// work apart from waiting for a processor on a busy machine.

#include "app/commands.h"
#include "app/mainwindow.h"
#include "app/replyframer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>

#include <ctime>

namespace {

const int kRunLimitMs = 120000;
const int kEventPairs = 100000;
const char kLastName[] = "last record";

// A device-details reply just under the cap, every record a full set of details.
QByteArray detailsReply()
{
    const QByteArray record = "{\"NAME\":\"Key\",\"PID\":\"0x0001\",\"COS_VERSION\":\"2.1.00\",\"SERIAL_NUMBER\":"
                              "\"12345678\",\"MODULE\":\"R22\",\"TRANSPORT\":\"FIDO+CCID+OTP\",\"APPLICATION\":"
                              "\"FIDO2U2F+PIV+OTP\"},";
    const QByteArray last = "{\"NAME\":\"" + QByteArray(kLastName) + "\"}]}";
    QByteArray reply = "{\"SW\":\"9000\",\"DATA\":[";
    const int count = (ReplyFramer::kMaxPending - reply.size() - last.size() - 1) / record.size();
    reply.reserve(ReplyFramer::kMaxPending);
    for (int i = 0; i < count; ++i)
        reply += record;
    return reply + last;
}

// Removal and insertion events back to back after " monitor start", then the start-up report
// that ends the run. (A reply to a command would not do: a removal ends the command in flight.)
QByteArray eventFlood()
{
    QByteArray flood;
    for (int i = 0; i < kEventPairs; ++i)
        flood += "{\"SW\":\"80900001\"}{\"SW\":\"80900002\"}";
    return flood + "{\"SW\":\"9000\",\"DATA\":[{\"TRANSPORT\":\"FIDO+CCID\",\"APPLICATION\":\"PIV\"}]}";
}

// A backend that writes the file's content after " monitor start", or, when `answers`, after the
// first command that follows it.
QString writeBackend(const QTemporaryDir& dir, const QByteArray& output, bool answers)
{
    QFile reply(dir.filePath(QStringLiteral("reply")));
    reply.open(QIODevice::WriteOnly);
    reply.write(output);
    const QString path = dir.filePath(QStringLiteral("backend.sh"));
    QFile script(path);
    script.open(QIODevice::WriteOnly);
    script.write(answers ? "#!/bin/sh\nread start\nread command\ncat \"$(dirname \"$0\")/reply\"\nexec cat >/dev/null\n"
                         : "#!/bin/sh\nread start\ncat \"$(dirname \"$0\")/reply\"\nexec cat >/dev/null\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

struct Run
{
    double stallMs = -1;
    double stallCpuMs = -1;
    double totalMs = -1;
};

qint64 threadCpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

Run handleOnce(const QString& backend, bool answers)
{
    MainWindow window(nullptr, backend);
    QLabel* name = window.findChild<QLabel*>(QStringLiteral("keyname"));
    const auto done = [&] { return answers ? name->text() == QLatin1String(kLastName) : g_currInterface != 0; };
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(0);
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 widest = 0;
    qint64 lastCpu = threadCpuNs();
    qint64 widestCpu = 0;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        const qint64 now = clock.nsecsElapsed();
        widest = std::max(widest, now - last);
        last = now;
        const qint64 cpu = threadCpuNs();
        widestCpu = std::max(widestCpu, cpu - lastCpu);
        lastCpu = cpu;
        if (done())
            loop.quit();
    });
    QTimer::singleShot(kRunLimitMs, &loop, &QEventLoop::quit);
    clock.start();
    tick.start();
    if (answers)
        window.cmdSend(Cmd::deviceInfo(), CmdType::DeviceInfo);
    loop.exec();
    if (!done())
        return Run();
    return Run{widest / 1e6, widestCpu / 1e6, clock.nsecsElapsed() / 1e6};
}

void measure(benchmark::State& state, const QByteArray& output, bool answers)
{
    QTemporaryDir dir;
    const QString backend = writeBackend(dir, output, answers);
    Run worst;
    for (auto _ : state) {
        const Run run = handleOnce(backend, answers);
        if (run.stallMs < 0) {
            state.SkipWithError("the end of the output was never shown");
            return;
        }
        worst.stallMs = std::max(worst.stallMs, run.stallMs);
        worst.stallCpuMs = std::max(worst.stallCpuMs, run.stallCpuMs);
        worst.totalMs = std::max(worst.totalMs, run.totalMs);
        state.SetIterationTime(run.totalMs / 1e3);
    }
    state.counters["max_stall_ms"] = worst.stallMs;
    state.counters["max_stall_cpu_ms"] = worst.stallCpuMs;
    state.counters["handled_ms"] = worst.totalMs;
}

void BM_DetailsReply16MB(benchmark::State& state)
{
    measure(state, detailsReply(), true);
}
BENCHMARK(BM_DetailsReply16MB)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_InsertRemoveFlood(benchmark::State& state)
{
    measure(state, eventFlood(), false);
}
BENCHMARK(BM_InsertRemoveFlood)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
