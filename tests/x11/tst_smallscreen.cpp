#include "app/mainwindow.h"
#include "common/fakebackend.h"
#include "common/windowprobe.h"
#include "common/xserver.h"

#include <QPushButton>
#include <QScreen>
#include <QtTest>

namespace {

QString g_noServer;

} // namespace

// At scale 1.5 a 1024 x 700 screen offers less than the form's 720 x 480 minimum: the window
// used to run off the screen, with Exit out of reach.
class TestSmallScreen : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void windowFitsTheScreen();
};

void TestSmallScreen::initTestCase()
{
    if (!g_noServer.isEmpty())
        QSKIP(qPrintable(g_noServer));
}

void TestSmallScreen::windowFitsTheScreen()
{
    FakeBackend backend;
    MainWindow w(nullptr, backend.program());
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QRect available = w.screen()->availableGeometry();
    QVERIFY2(available.contains(w.frameGeometry()), qPrintable(QStringLiteral("%1x%2 on %3x%4")
                                                                   .arg(w.width())
                                                                   .arg(w.height())
                                                                   .arg(available.width())
                                                                   .arg(available.height())));
    for (const char* name : {"exit", "btn_min"}) {
        auto* button = widget<QPushButton>(&w, name);
        QVERIFY2(available.contains(QRect(button->mapToGlobal(QPoint()), button->size())), name);
    }
}

int main(int argc, char** argv)
{
    XServer server(QSize(1024, 700));
    g_noServer = server.reason();
    qputenv("QT_SCALE_FACTOR", "1.5");
    QApplication app(argc, argv);
    TestSmallScreen test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_smallscreen.moc"
