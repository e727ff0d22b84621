// Started by bench_startup: builds the window as the app does, against the simulated key, and
// reports on standard output when it first painted and how much memory it took, first at that
// moment and then once the key's details are read and every page has been shown.

#include "app/mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <sys/resource.h>

namespace {

long peakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Notes the first paint of the window; the report follows once that paint has finished.
class PaintWatch : public QObject
{
public:
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !painted) {
            painted = true;
            QTimer::singleShot(0, [] {
                std::printf("painted %ld\n", peakRssKb());
                std::fflush(stdout);
            });
        }
        return QObject::eventFilter(watched, event);
    }
};

bool waitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QFont font;
    font.setFamily(QStringLiteral("Microsoft Sans Serif"));
    QApplication::setFont(font);

    MainWindow window(nullptr, QStringLiteral(KVSIM_PATH));
    PaintWatch watch;
    window.installEventFilter(&watch);
    window.show();
    if (!waitFor([&watch] { return watch.painted; }, 10000))
        return 1;
    QCoreApplication::processEvents();

    auto* details = window.findChild<QPushButton*>(QStringLiteral("btn_getdeviceinfo"));
    if (waitFor([details] { return details->isVisible(); }, 5000)) {
        details->click();
        waitFor([] { return g_insreted; }, 5000);
    }
    auto* pages = window.findChild<QStackedWidget*>(QStringLiteral("contentPage"));
    for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentIndex(i);
        window.grab();
    }
    std::printf("steady %ld\n", peakRssKb());
    return 0;
}
