// Time from starting the app's process to the window's first paint (offscreen), and the peak
// resident memory at that moment and after every page has been shown.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>

#include <benchmark/benchmark.h>

namespace {

struct Run
{
    double seconds = 0;
    double paintRssKb = 0;
    double steadyRssKb = 0;
    bool ok = false;
};

double valueAfter(const QByteArray& line, const char* word)
{
    return line.startsWith(word) ? line.mid(qstrlen(word)).trimmed().toDouble() : -1;
}

Run startOnce()
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.setStandardErrorFile(QProcess::nullDevice());
    Run run;
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral(FIRSTPAINT_PATH), QStringList());
    while (process.waitForReadyRead(10000) || process.canReadLine()) {
        while (process.canReadLine()) {
            const QByteArray line = process.readLine();
            if (line.startsWith("painted ")) {
                run.seconds = timer.nsecsElapsed() / 1e9;
                run.paintRssKb = valueAfter(line, "painted ");
            } else if (line.startsWith("steady ")) {
                run.steadyRssKb = valueAfter(line, "steady ");
                run.ok = run.seconds > 0;
            }
        }
        if (run.ok)
            break;
    }
    process.waitForFinished(10000);
    return run;
}

void BM_StartToFirstPaint(benchmark::State& state)
{
    Run last;
    for (auto _ : state) {
        last = startOnce();
        if (!last.ok) {
            state.SkipWithError("the window did not paint");
            return;
        }
        state.SetIterationTime(last.seconds);
    }
    state.counters["rss_paint_MB"] = last.paintRssKb / 1024.0;
    state.counters["rss_steady_MB"] = last.steadyRssKb / 1024.0;
}
BENCHMARK(BM_StartToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
