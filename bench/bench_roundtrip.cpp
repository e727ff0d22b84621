// Round trip through the real window and the simulated key: from writing a command until its
// reply has been dispatched. The command goes out as type 6, whose replies the dispatcher parses
// and then drops, so no handler's work is counted.

#include "app/commands.h"
#include "app/mainwindow.h"
#include "common/windowaccess.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

const int kReplyLimitMs = 5000;
QStringList dispatched;

void noteDispatch(QtMsgType, const QMessageLogContext&, const QString& text)
{
    if (text.startsWith(QLatin1String("setCurrentItemInfo")))
        dispatched.append(text);
}

bool waitUntil(const std::function<bool()>& done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > kReplyLimitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * values.size()))];
}

void BM_CommandRoundTrip(benchmark::State& state)
{
    MainWindow window(nullptr, QStringLiteral(KVSIM_PATH));
    // Wakes the waits below now and then, so a lost reply ends in an error, not a hang.
    QTimer watchdog;
    watchdog.start(500);
    // The start-up exchange (" monitor start", key details) is over once the transport is known.
    if (!waitUntil([&window] { return g_currInterface != 0 && !Access::lockHeld(window); })) {
        state.SkipWithError("the simulated key did not come up");
        return;
    }
    // One unmeasured command, watched through the window's debug log, shows that the reply
    // really reaches the dispatcher under the type sent.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=true"));
    const QtMessageHandler previous = qInstallMessageHandler(noteDispatch);
    window.cmdSend(Cmd::otpList(), CmdType::Dropped6);
    const bool answered = waitUntil([&window] { return !Access::lockHeld(window); });
    qInstallMessageHandler(previous);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    if (!answered || dispatched.size() != 1 || !dispatched.first().contains(QLatin1String("SW")) ||
        !dispatched.first().endsWith(QLatin1String("indec: 6"))) {
        state.SkipWithError(qPrintable(dispatched.value(0)));
        return;
    }
    std::vector<double> trips;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        window.cmdSend(Cmd::otpList(), CmdType::Dropped6);
        if (!Access::lockHeld(window) || !waitUntil([&window] { return !Access::lockHeld(window); })) {
            state.SkipWithError("no reply was dispatched");
            return;
        }
        const double seconds = timer.nsecsElapsed() / 1e9;
        trips.push_back(seconds);
        state.SetIterationTime(seconds);
    }
    state.counters["median_ms"] = median(trips) * 1e3;
    state.counters["p99_ms"] = percentile(trips, 0.99) * 1e3;
}
BENCHMARK(BM_CommandRoundTrip)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(1000);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // A plain simulated key: no state file or control channel from the caller's environment.
    for (const char* name : {"KVSIM_STATE", "KVSIM_CONTROL", "KVSIM_LOG", "KVSIM_KEYS", "KVSIM_MODEL"})
        qunsetenv(name);
    QApplication app(argc, argv);
    // The window logs every command and reply at debug level; the terminal is not the subject.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
