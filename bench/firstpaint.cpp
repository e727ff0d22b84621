// Started by bench_startup and bench_x11map: builds the window as the app does, against the
// simulated key, and reports on standard output when it first painted and how much memory it
// took, first at that moment and then once the key's details are read and every page has been
// shown. With --minimal it shows the smallest Qt Widgets window instead, to compare against.

#include "app/mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

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

bool showAndWaitForPaint(QWidget& window)
{
    PaintWatch watch;
    window.installEventFilter(&watch);
    window.show();
    if (!waitFor([&watch] { return watch.painted; }, 10000))
        return false;
    QCoreApplication::processEvents();
    window.removeEventFilter(&watch);
    return true;
}

int minimalWindow()
{
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(QStringLiteral("Minimal")));
    layout->addWidget(new QPushButton(QStringLiteral("OK")));
    return showAndWaitForPaint(window) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const bool minimal = argc > 1 && qstrcmp(argv[1], "--minimal") == 0;
    // As the app's main does: a Widgets window needs no OpenGL integration.
    if (!minimal && !qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    QApplication app(argc, argv);
    if (minimal)
        return minimalWindow();
    QFont font;
    font.setFamily(QStringLiteral("Microsoft Sans Serif"));
    QApplication::setFont(font);

    MainWindow window(nullptr, QStringLiteral(KVSIM_PATH));
    if (!showAndWaitForPaint(window))
        return 1;

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
