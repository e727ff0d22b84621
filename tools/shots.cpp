// Screenshots of every page and dialog as a user sees them: the real window against the
// simulated key, every page reached through the menu and buttons as a user reaches it.
// On an X server the pictures are taken from the screen, so they show what the server shows;
// elsewhere (offscreen) the widgets render themselves. ./dev shots writes the sets under
// build/shots.

#include "app/mainwindow.h"
#include "ui/dialogmessage.h"
#include "ui/waitingdialog.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>

#include <cstdio>
#include <functional>

namespace {

// A click a user makes, the page it leads to, and the name of the picture taken there (none:
// just passing by).
struct Step
{
    const char* click;
    int page;
    const char* shot;
};

const Step kKeyWithSensor[] = {
    {"btn_getdeviceinfo", 0, "00_home"},
    {"application", 0, "00_home_applications"},
    {"fido", 3, "03_fido"},
    {"bioMgr1", 5, "05_fingerprints"},
    {"backBio", 3, nullptr},
    {"piv", 6, "06_piv"},
    {"certGen", 7, "07_piv_generate"},
    {"backPiv", 6, nullptr},
    {"bioPolicy", 9, "09_piv_policy"},
    {"backPiv_2", 6, nullptr},
    {"pivRLogin", 8, "08_macos_pairing"},
    {"pivConfBack", 6, nullptr},
    {"otp", 10, "10_otp"},
    {"otp1Conf", 11, "11_otp_configure"},
    {"backOtp", 10, nullptr},
    {"interface_2", 2, "02_transports"},
    {"about", 13, "13_about"},
};

const Step kKeyWithoutSensor[] = {
    {"btn_getdeviceinfo", 0, nullptr},
    {"application", 0, nullptr},
    {"fido", 4, "04_fido_no_sensor"},
    {"interface_2", 12, "12_applications"},
};

struct MessageShot
{
    const char* name;
    int kind;
    const char* title;
    const char* text;
};

const MessageShot kMessages[] = {
    {"message_information", 0, "Success", "Set PIN successfully."},
    {"message_warning", 1, "Warning", "Other error.Please try again or replug..."},
    {"message_question", 3, "Reset FIDO", "All FIDO related credentials will be removed, continue ? "},
    {"message_three_lines", 0, "Success",
     "Setup for macOS successfully.\nRe-plug the device and complete the pairing process.\nYou can log in to "
     "macOS with the devices"},
};

const char* const kDialogs[] = {"changePIN", "piv_pin", "CreListDialog", "registFingerprint"};

bool waitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

class Shooter
{
public:
    explicit Shooter(const QString& folder) : m_dir(folder) { QDir().mkpath(folder); }

    void save(QWidget* widget, const QString& name)
    {
        waitFor([widget] { return widget->isVisible(); }, 2000);
        QCoreApplication::processEvents();
        const QPixmap picture = fromScreen() ? widget->screen()->grabWindow(widget->winId()) : widget->grab();
        const QString path = m_dir.filePath(name + QStringLiteral(".png"));
        if (!picture.save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ++m_failures;
        }
    }
    int failures() const { return m_failures; }

private:
    static bool fromScreen() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

    QDir m_dir;
    int m_failures = 0;
};

template <size_t N> void walk(const QString& model, const Step (&steps)[N], Shooter& shooter)
{
    qputenv("KVSIM_MODEL", model.toLatin1());
    MainWindow window(nullptr, QStringLiteral(KVSIM_PATH));
    window.show();
    auto* details = window.findChild<QPushButton*>(QStringLiteral("btn_getdeviceinfo"));
    if (!waitFor([details] { return details->isVisible(); }, 5000))
        std::fprintf(stderr, "the simulated key did not show up\n");
    if (model == QLatin1String("R15"))
        shooter.save(&window, QStringLiteral("01_nokey_inserted"));
    auto* busy = window.findChild<QDialog*>(QStringLiteral("waitingPanel"));
    auto* pages = window.findChild<QStackedWidget*>(QStringLiteral("contentPage"));
    for (const Step& step : steps) {
        window.findChild<QPushButton*>(QLatin1String(step.click))->click();
        if (!waitFor([&] { return pages->currentIndex() == step.page && !busy->isVisible(); }, 5000))
            std::fprintf(stderr, "%s did not lead to page %d\n", step.click, step.page);
        if (step.shot)
            shooter.save(&window, QLatin1String(step.shot));
    }
    if (model != QLatin1String("R15"))
        return;
    // The ring keyboard focus draws: on the dark menu and on a light page.
    window.activateWindow();
    waitFor([&window] { return window.isActiveWindow(); }, 2000);
    for (const char* name : {"about", "help"}) {
        window.findChild<QPushButton*>(QLatin1String(name))->setFocus(Qt::TabFocusReason);
        shooter.save(&window, QStringLiteral("focus_on_") + QLatin1String(name));
    }
}

void shootDialogs(Shooter& shooter)
{
    MainWindow window(nullptr, QStringLiteral(KVSIM_PATH));
    window.show();
    auto* message = window.findChild<DialogMessage*>();
    for (const MessageShot& shot : kMessages) {
        message->setDialog(&window, shot.kind, QLatin1String(shot.title), QString::fromUtf8(shot.text));
        message->show();
        shooter.save(message, QLatin1String(shot.name));
        message->hide();
    }
    WaitingDialog busy(&window);
    busy.show(&window, QStringLiteral("  Please touch your VELMORA FIDO Security Key ... "));
    shooter.save(busy.panel(), QStringLiteral("busy_panel"));
    busy.hide();
    for (const char* name : kDialogs) {
        auto* dialog = window.findChild<QDialog*>(QLatin1String(name));
        dialog->show();
        shooter.save(dialog, QLatin1String(name));
        dialog->hide();
    }
}

} // namespace

int main(int argc, char** argv)
{
    // As the app's main does.
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    QFont font;
    font.setFamily(QStringLiteral("Microsoft Sans Serif"));
    QApplication::setFont(font);
    Shooter shooter(QString::fromLocal8Bit(argv[1]));
    walk(QStringLiteral("R15"), kKeyWithSensor, shooter);
    walk(QStringLiteral("R3"), kKeyWithoutSensor, shooter);
    shootDialogs(shooter);
    return shooter.failures() == 0 ? 0 : 1;
}
