#include "app/mainwindow.h"
#include "common/fakebackend.h"
#include "common/modalhelper.h"
#include "ui/dialogmessage.h"
#include "ui/usermanual.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTextEdit>
#include <QtTest>

// Reaches the scaling rules of the window with the screen's values given by the test.
class MainWindowTestAccess
{
public:
    static void applyScreen(MainWindow& window, double dpi, QSize available) { window.applyScreen(dpi, available); }
};

// Records the address the window asks the desktop to open.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened.append(url); }
};

class TestWindowShell : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startsFramelessOnNoKeyPage();
    void titleBarButtonsExplainThemselves_data();
    void titleBarButtonsExplainThemselves();
    void aboutShowsOneVersion();
    void maximiseDoesNothing();
    void minimiseMinimises();
    void helpOpensUserManual();
    void wheelLeavesSlotAlone();
    void dragMovesWindow();
    void dragOverSlotComboDoesNotMove();
    void resizeKeepsFrameCentred();
    void screenScale_data();
    void screenScale();
    void contentShrinksToFitSmallScreen();
    void shortWindowGrowsToScreenShare();

private:
    template <typename T> T* child(const char* name) const { return m_window->findChild<T*>(QLatin1String(name)); }
    void sendMouse(QEvent::Type type, const QPoint& global, Qt::MouseButton button, Qt::MouseButtons held);

    FakeBackend* m_backend = nullptr;
    MainWindow* m_window = nullptr;
};

void TestWindowShell::init()
{
    m_backend = new FakeBackend;
    m_window = new MainWindow(nullptr, m_backend->program());
    m_window->move(40, 30);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void TestWindowShell::cleanup()
{
    delete m_window;
    delete m_backend;
    QCOMPARE(visibleDialogCount(), 0);
}

void TestWindowShell::startsFramelessOnNoKeyPage()
{
    QVERIFY(m_window->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(m_window->testAttribute(Qt::WA_TranslucentBackground));
    QCOMPARE(m_window->minimumSize(), QSize(720, 480));
    QCOMPARE(child<QStackedWidget>("contentPage")->currentIndex(), 1);
    for (const char* item : {"fido", "piv", "otp"})
        QVERIFY(child<QPushButton>(item)->isHidden());
    for (const char* entry : {"application", "interface_2"}) {
        QVERIFY(!child<QPushButton>(entry)->isEnabled());
        QVERIFY(child<QPushButton>(entry)->styleSheet().contains(QLatin1String("#505050")));
    }
    QVERIFY(child<QPushButton>("btn_getdeviceinfo")->isHidden());
    QVERIFY(!child<QTextEdit>("PIVConfText")->isEnabled());
    QCOMPARE(child<QDateEdit>("dateEdit")->date(), QDate::currentDate().addYears(1));
    QVERIFY(child<QLabel>("keyname_top")->text().isEmpty());
}

void TestWindowShell::titleBarButtonsExplainThemselves_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("tip");
    QTest::newRow("minimise") << "btn_min"
                              << "Minimize";
    QTest::newRow("maximise") << "btn_max"
                              << "Maximize";
    QTest::newRow("exit") << "exit"
                          << "Exit";
}

void TestWindowShell::titleBarButtonsExplainThemselves()
{
    QFETCH(QString, button);
    QFETCH(QString, tip);
    auto* b = m_window->findChild<QPushButton*>(button);
    QCOMPARE(b->toolTip(), tip);
    QVERIFY(!b->accessibleName().isEmpty());
    QVERIFY(b->text().isEmpty());
    QVERIFY(b->width() <= 50 && b->height() <= 50);
}

void TestWindowShell::aboutShowsOneVersion()
{
    child<QPushButton>("about")->click();
    child<QPushButton>("about")->click();
    QCOMPARE(child<QLabel>("label_29")->text(), QStringLiteral("VELMORA Security Key Manager Version: 1.0.21.0913"));
    QCOMPARE(child<QStackedWidget>("contentPage")->currentIndex(), 13);
    QVERIFY(child<QPushButton>("about")->styleSheet().contains(QLatin1String("#566886")));
    QVERIFY(child<QPushButton>("application")->styleSheet().contains(QLatin1String("#505050")));
}

void TestWindowShell::maximiseDoesNothing()
{
    const QRect before = m_window->geometry();
    const Qt::WindowStates state = m_window->windowState();
    child<QPushButton>("btn_max")->click();
    QCoreApplication::processEvents();
    QCOMPARE(m_window->geometry(), before);
    QCOMPARE(m_window->windowState(), state);
    QCOMPARE(child<QStackedWidget>("contentPage")->currentIndex(), 1);
}

void TestWindowShell::minimiseMinimises()
{
    child<QPushButton>("btn_min")->click();
    QTRY_VERIFY(m_window->isMinimized());
}

void TestWindowShell::helpOpensUserManual()
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
    child<QPushButton>("help")->click();
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QCOMPARE(catcher.opened, QList<QUrl>{QUrl(QLatin1String(kUserManualUrl))});
}

void TestWindowShell::wheelLeavesSlotAlone()
{
    auto* slot = child<QComboBox>("comboBox");
    auto* cached = child<QComboBox>("cachedTime");
    slot->setCurrentIndex(1);
    cached->setCurrentIndex(1);
    for (QComboBox* box : {slot, cached}) {
        QWheelEvent wheel(QPointF(5, 5), QPointF(box->mapToGlobal(QPoint(5, 5))), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(box, &wheel);
    }
    QCOMPARE(slot->currentIndex(), 1);
    QVERIFY(cached->currentIndex() != 1); // the same wheel does move an unguarded combo box
}

void TestWindowShell::sendMouse(QEvent::Type type, const QPoint& global, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent event(type, m_window->mapFromGlobal(global), global, button, held, Qt::NoModifier);
    QApplication::sendEvent(m_window, &event);
}

void TestWindowShell::dragMovesWindow()
{
    const QPoint start = child<QLabel>("keyname_top")->mapToGlobal(QPoint(10, 10));
    const QPoint before = m_window->pos();
    sendMouse(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    sendMouse(QEvent::MouseMove, start + QPoint(30, 20), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(m_window->pos(), before + QPoint(30, 20));
    // Moving without the button held does not drag.
    sendMouse(QEvent::MouseMove, start + QPoint(60, 60), Qt::NoButton, Qt::NoButton);
    QCOMPARE(m_window->pos(), before + QPoint(30, 20));
}

void TestWindowShell::dragOverSlotComboDoesNotMove()
{
    child<QStackedWidget>("contentPage")->setCurrentIndex(6);
    auto* slot = child<QComboBox>("comboBox");
    QTRY_VERIFY(slot->isVisible());
    const QPoint over = slot->mapToGlobal(slot->rect().center());
    QCOMPARE(QApplication::widgetAt(over), slot);
    const QPoint before = m_window->pos();
    sendMouse(QEvent::MouseButtonPress, over - QPoint(20, 0), Qt::LeftButton, Qt::LeftButton);
    sendMouse(QEvent::MouseMove, over, Qt::NoButton, Qt::LeftButton);
    QCOMPARE(m_window->pos(), before);
}

void TestWindowShell::resizeKeepsFrameCentred()
{
    m_window->resize(1000, 700);
    QCoreApplication::processEvents();
    auto* frame = child<QWidget>("mframe");
    QCOMPARE(frame->pos(), QPoint((1000 - frame->width()) / 2, (700 - frame->height()) / 2));
    QCOMPARE(child<QWidget>("backgroundFrame")->size(), QSize(998, 698));
}

void TestWindowShell::screenScale_data()
{
    QTest::addColumn<double>("dpi");
    QTest::newRow("72 dpi") << 72.0;
    QTest::newRow("96 dpi") << 96.0;
    QTest::newRow("144 dpi") << 144.0;
}

void TestWindowShell::screenScale()
{
    QFETCH(double, dpi);
    const QSize large(4000, 3000);
    MainWindowTestAccess::applyScreen(*m_window, 96, large);
    m_window->resize(800, 600);
    QCoreApplication::processEvents();
    // The central widget's geometry is the window's to set, so the scaled value stays visible.
    QWidget* central = m_window->centralWidget();
    const QRect before = central->geometry();
    const QFont font = child<QLabel>("keyname_top")->font();
    auto* message = m_window->findChild<DialogMessage*>();
    const double messageScale = message->scaleFactor();
    QSignalSpy spy(m_window, &MainWindow::scaleFactorChanged);

    MainWindowTestAccess::applyScreen(*m_window, dpi, large);

    const double factor = dpi / 96.0;
    QCOMPARE(m_window->scaleFactor(), factor);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().first().toDouble(), factor);
    QCOMPARE(central->geometry(), QRect(int(before.x() * factor), int(before.y() * factor),
                                        int(before.width() * factor), int(before.height() * factor)));
    QCOMPARE(child<QLabel>("keyname_top")->font(), font);
    QCOMPARE(m_window->size(), QSize(800, 600));
    // A dialog told 1.0 keeps the scale it has.
    QCOMPARE(message->scaleFactor(), dpi == 96.0 ? messageScale : factor);
}

void TestWindowShell::contentShrinksToFitSmallScreen()
{
    MainWindowTestAccess::applyScreen(*m_window, 96, QSize(4000, 3000));
    m_window->resize(800, 600);
    QCoreApplication::processEvents();
    const QSize central = m_window->centralWidget()->size();
    const QSize small(780, 900); // narrower than the window, taller than it
    MainWindowTestAccess::applyScreen(*m_window, 96, small);
    const double fit = qMin(780.0 / central.width() - 0.03, 900.0 / central.height() - 0.03);
    QCOMPARE(m_window->scaleFactor(), fit);
    QCOMPARE(m_window->centralWidget()->width(), int(central.width() * fit));
}

void TestWindowShell::shortWindowGrowsToScreenShare()
{
    MainWindowTestAccess::applyScreen(*m_window, 96, QSize(4000, 3000));
    m_window->resize(760, 500);
    MainWindowTestAccess::applyScreen(*m_window, 96, QSize(1200, 900));
    QCOMPARE(m_window->size(), QSize(840, 720));
    // A window of 560 px or more is left as it is.
    m_window->resize(760, 560);
    MainWindowTestAccess::applyScreen(*m_window, 96, QSize(1200, 900));
    QCOMPARE(m_window->size(), QSize(760, 560));
}

QTEST_MAIN(TestWindowShell)
#include "tst_windowshell.moc"
