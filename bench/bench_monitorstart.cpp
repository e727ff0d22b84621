// Time from starting the real app (offscreen) until its backend, the simulated key, has
// received " monitor start": the moment the window can first hear about a key. The simulator
// appends every line it reads to KVSIM_LOG, so the log file changing is the signal.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace {

const int kRunLimitMs = 10000;

bool logHasMonitorStart(const QString& path)
{
    QFile log(path);
    return log.open(QIODevice::ReadOnly) && log.readAll().startsWith(" monitor start\n");
}

// Seconds from process start to " monitor start" received, or a negative value on failure.
double startOnce(const QString& logPath)
{
    const QString folder = QFileInfo(logPath).path();
    QFile(logPath).open(QIODevice::WriteOnly | QIODevice::Truncate);
    QFileSystemWatcher watcher({logPath});
    QEventLoop loop;
    bool seen = false;
    QObject::connect(&watcher, &QFileSystemWatcher::fileChanged, &loop, [&] {
        seen = logHasMonitorStart(logPath);
        if (seen)
            loop.quit();
    });
    QProcess app;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("KVSIM_LOG"), logPath);
    // A single-instance guard of its own, away from a manager the user is running.
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder);
    env.remove(QStringLiteral("KVSIM_CONTROL"));
    env.remove(QStringLiteral("KVSIM_STATE"));
    app.setProcessEnvironment(env);
    app.setStandardOutputFile(QProcess::nullDevice());
    app.setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(&app, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), &loop, &QEventLoop::quit);
    QTimer::singleShot(kRunLimitMs, &loop, &QEventLoop::quit);

    QElapsedTimer timer;
    timer.start();
    app.start(QStringLiteral(APP_PATH), QStringList());
    loop.exec();
    const double seconds = timer.nsecsElapsed() / 1e9;

    // Runs must not overlap: the app refuses to start while another instance holds the guard.
    app.terminate();
    app.waitForFinished(5000);
    return seen ? seconds : -1;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void BM_StartToMonitorStart(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString logPath = dir.filePath(QStringLiteral("kvsim.log"));
    // One unmeasured start fills the caches.
    if (startOnce(logPath) < 0) {
        state.SkipWithError("the backend never received \" monitor start\" (another instance running?)");
        return;
    }
    std::vector<double> runs;
    for (auto _ : state) {
        const double seconds = startOnce(logPath);
        if (seconds < 0) {
            state.SkipWithError("the backend never received \" monitor start\"");
            return;
        }
        runs.push_back(seconds);
        state.SetIterationTime(seconds);
    }
    state.counters["median_ms"] = median(runs) * 1e3;
    state.counters["min_ms"] = *std::min_element(runs.begin(), runs.end()) * 1e3;
    state.counters["max_ms"] = *std::max_element(runs.begin(), runs.end()) * 1e3;
}
BENCHMARK(BM_StartToMonitorStart)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
