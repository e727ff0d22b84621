#include "app/buildinfo.h"
#include "app/coredumps.h"
#include "app/mainwindow.h"
#include "app/singleinstance.h"
#include "app/terminaloptions.h"

#include <QApplication>
#include <QFont>
#include <QIcon>

int main(int argc, char* argv[])
{
    disableCoreDumps();
    if (answerTerminalOptions(argc, argv))
        return 0;
    // A Widgets window needs no OpenGL; loading GLX on X11 costs start-up time and memory. A
    // value the user set wins.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    // Icons take the @2x pictures on a scaled screen.
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication app(argc, argv);
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QLatin1String(kAppId));
    QApplication::setWindowIcon(QIcon::fromTheme(QLatin1String(kAppId)));
    QFont font;
    font.setFamily(QStringLiteral("Microsoft Sans Serif"));
    QApplication::setFont(font);

    SingleInstance guard(QStringLiteral("vela_7C2E91A0-5D3B-4F86-A1E4-29B7C0D5E8F3"));
    if (!guard.acquire())
        return -1;

    MainWindow window;
    QObject::connect(&guard, &SingleInstance::activated, &window, [&window] {
        window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
        window.raise();
        window.activateWindow();
    });
    window.show();
    return app.exec();
}
