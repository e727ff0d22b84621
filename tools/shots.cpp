// Renders every page of the main window and every dialog to PNG files, offscreen, against the
// simulated key, so the look can be checked by eye: ./dev shots writes them under build/shots.

#include "app/mainwindow.h"
#include "ui/dialogmessage.h"
#include "ui/waitingdialog.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QStackedWidget>

#include <cstdio>
#include <functional>

namespace {

// The page, and the menu entry that navigation highlights for it.
struct PageShot
{
    int index;
    const char* name;
    int menu;
};

const PageShot kPages[] = {
    {0, "home", 0},           {1, "nokey", 0},        {2, "transports", 12}, {3, "fido_bio", 4},
    {4, "fido", 4},           {5, "fingerprints", 4}, {6, "piv", 6},         {7, "piv_generate", 6},
    {8, "macos_pairing", 6},  {9, "piv_policy", 6},   {10, "otp", 10},       {11, "otp_configure", 10},
    {12, "applications", 12}, {13, "about", 13},
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
    {"message_error", 2, "Error", "The key manager backend could not be started:\n/usr/local/bin/kvman"},
    {"message_question", 3, "Reset FIDO", "All FIDO related credentials will be removed, continue ? "},
    {"message_two_lines", 3, "Delete certificate",
     "This will delete the certificate and cannot be recovered. \nNote that the key is not deleted."},
    {"message_three_lines", 0, "Success",
     "Setup for macOS successfully.\nRe-plug the device and complete the pairing process.\nYou can log in to "
     "macOS with the devices"},
};

// Dialogs that later features add to the window; each is shot when it exists.
const char* const kFeatureDialogs[] = {"changePIN", "piv_pin", "CreListDialog", "registFingerprint"};

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
        QCoreApplication::processEvents();
        const QString path = m_dir.filePath(name + QStringLiteral(".png"));
        if (!widget->grab().save(path)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ++m_failures;
        }
    }
    int failures() const { return m_failures; }

private:
    QDir m_dir;
    int m_failures = 0;
};

void showSubItems(MainWindow& window, bool shown)
{
    for (const char* name : {"fido", "piv", "otp"})
        window.findChild<QPushButton*>(name)->setVisible(shown);
}

void shootPages(MainWindow& window, Shooter& shooter, const QString& prefix)
{
    auto* stack = window.findChild<QStackedWidget*>(QStringLiteral("contentPage"));
    for (const PageShot& page : kPages) {
        stack->setCurrentIndex(page.index);
        showSubItems(window, page.menu >= 2 && page.menu <= 10);
        window.setBtnStyleSheet(page.menu);
        shooter.save(&window, QStringLiteral("%1%2_%3")
                                  .arg(prefix)
                                  .arg(page.index, 2, 10, QLatin1Char('0'))
                                  .arg(QLatin1String(page.name)));
    }
}

void shootDialogs(MainWindow& window, Shooter& shooter)
{
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
    for (const char* name : kFeatureDialogs) {
        auto* dialog = window.findChild<QDialog*>(QLatin1String(name));
        if (!dialog)
            continue;
        dialog->show();
        shooter.save(dialog, QLatin1String(name));
        dialog->hide();
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    QFont font;
    font.setFamily(QStringLiteral("Microsoft Sans Serif"));
    QApplication::setFont(font);
    Shooter shooter(QString::fromLocal8Bit(argv[1]));

    MainWindow window(nullptr, QStringLiteral(KVSIM_PATH));
    window.show();
    auto* details = window.findChild<QPushButton*>(QStringLiteral("btn_getdeviceinfo"));
    if (!waitFor([details] { return details->isVisible(); }, 5000))
        std::fprintf(stderr, "the simulated key did not show up; shooting the empty window\n");
    shooter.save(&window, QStringLiteral("start_key_inserted"));
    details->click();
    waitFor([] { return g_insreted; }, 5000);

    shootPages(window, shooter, QString());
    shootDialogs(window, shooter);
    window.resize(1280, 800);
    shootPages(window, shooter, QStringLiteral("large_"));
    return shooter.failures() == 0 ? 0 : 1;
}
