// On a private X server (Xvfb): time from starting a process to its window's first paint, and
// the peak resident memory then, for the manager and for a minimal Qt Widgets window in the same
// run. The ratios are what counts: the manager should map within 1.5x the minimal window's time
// and peak at no more than 1.2x its memory.

#include "common/xserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace {

XServer* g_server = nullptr;

struct Start
{
    double ms = 0;
    double rssKb = 0;
};

bool startOnce(const QStringList& arguments, Start& start)
{
    QProcess process;
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral(FIRSTPAINT_PATH), arguments);
    bool painted = false;
    while (!painted && process.waitForReadyRead(10000)) {
        while (process.canReadLine()) {
            const QByteArray line = process.readLine();
            if (line.startsWith("painted ")) {
                start.ms = timer.nsecsElapsed() / 1e6;
                start.rssKb = line.mid(8).trimmed().toDouble();
                painted = true;
            }
        }
    }
    process.kill();
    process.waitForFinished(10000);
    return painted;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void BM_MapManagerAgainstMinimal(benchmark::State& state)
{
    if (!g_server->running()) {
        state.SkipWithError(qPrintable(g_server->reason()));
        return;
    }
    std::vector<double> managerMs, minimalMs, managerRss, minimalRss;
    for (auto _ : state) {
        Start minimal, manager;
        // Taken in turns, so both see the same load on the machine.
        if (!startOnce({QStringLiteral("--minimal")}, minimal) || !startOnce({}, manager)) {
            state.SkipWithError("a window did not paint");
            return;
        }
        state.SetIterationTime(manager.ms / 1000);
        managerMs.push_back(manager.ms);
        minimalMs.push_back(minimal.ms);
        managerRss.push_back(manager.rssKb);
        minimalRss.push_back(minimal.rssKb);
    }
    state.counters["manager_ms"] = median(managerMs);
    state.counters["minimal_ms"] = median(minimalMs);
    state.counters["time_ratio"] = median(managerMs) / median(minimalMs);
    state.counters["manager_rss_MB"] = median(managerRss) / 1024;
    state.counters["minimal_rss_MB"] = median(minimalRss) / 1024;
    state.counters["rss_ratio"] = median(managerRss) / median(minimalRss);
}
BENCHMARK(BM_MapManagerAgainstMinimal)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char** argv)
{
    XServer server(QSize(1600, 1000));
    g_server = &server;
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
