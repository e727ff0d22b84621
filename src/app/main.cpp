#include "app/coredumps.h"
#include "app/mainwindow.h"
#include "app/singleinstance.h"

#include <QApplication>
#include <QFont>

int main(int argc, char* argv[])
{
    disableCoreDumps();
    QApplication app(argc, argv);
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
