// The window around the pages: menu looks, the About page, scaling to the screen, the position kept
// across starts, the keyboard, and that every focusable control of every page and dialog tells a
// screen reader what it is (icon-only buttons also show a tool tip).
#include "app/mainwindow.h"
#include "common/fakebackend.h"
#include "common/modalhelper.h"
#include "common/windowaccess.h"
#include "fido/credential.h"
#include "ui/dialogmessage.h"

#include <QAccessible>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>

namespace {

// Reached with Tab. Qt's own parts of a control (a spin box's editor, a combo box's list) are
// not controls of their own.
bool isControl(QWidget* widget)
{
    for (QWidget* up = widget->parentWidget(); up; up = up->parentWidget()) {
        if (qobject_cast<QComboBox*>(up))
            return false;
    }
    return (widget->focusPolicy() & Qt::TabFocus) && !widget->objectName().startsWith(QLatin1String("qt_")) &&
           !widget->focusProxy();
}

// A field without a name of its own is announced by the title of the group it sits in, which
// names the group, not the field.
bool namedByItsGroupOnly(QWidget* control, const QString& name)
{
    for (QWidget* up = control->parentWidget(); up; up = up->parentWidget()) {
        if (auto* group = qobject_cast<QGroupBox*>(up))
            return !group->title().isEmpty() && name == group->title() && control->accessibleName().isEmpty();
    }
    return false;
}

} // namespace

class TestWindowShell : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void menuHighlight_data();
    void menuHighlight();
    void aboutShowsOneVersion();
    void wheelLeavesSlotAlone();
    void screen_data();
    void screen();
    void positionKeptAcrossStarts_data();
    void positionKeptAcrossStarts();
    void everyControlIsNamed();
    void ctrlQClosesTheWindow();

private:
    template <typename T = QPushButton> T* child(const char* name) const { return m_window->findChild<T*>(name); }

    QTemporaryDir m_settings;
    FakeBackend* m_backend = nullptr;
    MainWindow* m_window = nullptr;
};

void TestWindowShell::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_settings.path()));
}

void TestWindowShell::init()
{
    m_backend = new FakeBackend;
    m_window = new MainWindow(nullptr, m_backend->program());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

void TestWindowShell::cleanup()
{
    delete m_window;
    delete m_backend;
    g_insreted = false;
    QCOMPARE(visibleDialogCount(), 0);
}

void TestWindowShell::menuHighlight_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("active");
    QTest::addColumn<bool>("greyWithoutKey");
    QTest::addColumn<QString>("activeSub");
    QTest::newRow("0") << 0 << "home" << true << "";
    QTest::newRow("2") << 2 << "application" << false << "";
    QTest::newRow("4") << 4 << "application" << false << "fido";
    QTest::newRow("6") << 6 << "application" << false << "piv";
    QTest::newRow("10") << 10 << "application" << false << "otp";
    QTest::newRow("12") << 12 << "interface_2" << false << "";
    QTest::newRow("13") << 13 << "about" << true << "";
    QTest::newRow("unknown") << 7 << "" << false << "";
}

// Only the active entry gets the highlight; Applications and Interfaces turn grey without a key.
void TestWindowShell::menuHighlight()
{
    QFETCH(int, page);
    QFETCH(QString, active);
    QFETCH(bool, greyWithoutKey);
    QFETCH(QString, activeSub);
    for (bool key : {false, true}) {
        g_insreted = key;
        m_window->setBtnStyleSheet(page);
        for (const char* entry : {"home", "application", "interface_2", "about"})
            QCOMPARE(child(entry)->styleSheet().contains(QLatin1String("#566886")), active == QLatin1String(entry));
        for (const char* entry : {"application", "interface_2"})
            QCOMPARE(child(entry)->styleSheet().contains(QLatin1String("#505050")), greyWithoutKey && !key);
        for (const char* entry : {"fido", "piv", "otp"})
            QCOMPARE(child(entry)->styleSheet().contains(QLatin1String("menus.png")),
                     activeSub == QLatin1String(entry));
    }
}

void TestWindowShell::aboutShowsOneVersion()
{
    child("fido")->show();
    child("about")->click();
    child("about")->click();
    QCOMPARE(child<QLabel>("label_29")->text(), QStringLiteral("VELMORA Security Key Manager Version: 1.0.21.0913"));
    QCOMPARE(child<QStackedWidget>("contentPage")->currentIndex(), 13);
    QVERIFY(child("fido")->isHidden());
}

void TestWindowShell::wheelLeavesSlotAlone()
{
    auto* slot = child<QComboBox>("comboBox");
    auto* cached = child<QComboBox>("cachedTime");
    for (QComboBox* box : {slot, cached}) {
        box->setCurrentIndex(1);
        QWheelEvent wheel(QPointF(5, 5), QPointF(box->mapToGlobal(QPoint(5, 5))), QPoint(), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(box, &wheel);
    }
    QCOMPARE(slot->currentIndex(), 1);
    QVERIFY(cached->currentIndex() != 1); // the same wheel does move an unguarded combo box
}

void TestWindowShell::screen_data()
{
    QTest::addColumn<QSize>("start");
    QTest::addColumn<double>("dpi");
    QTest::addColumn<QSize>("available");
    QTest::addColumn<double>("scale");
    QTest::addColumn<QSize>("size");
    const QSize large(4000, 3000);
    const QSize odd(801, 601);
    QTest::newRow("96 dpi") << odd << 96.0 << large << 1.0 << odd;
    QTest::newRow("144 dpi") << odd << 144.0 << large << 1.5 << odd;
    // Shrunk to the screen's width, less a margin of 3%.
    QTest::newRow("narrower screen: fit") << QSize(800, 600) << 96.0 << QSize(780, 900) << 0.945 << QSize(780, 600);
    QTest::newRow("short window grows") << QSize(760, 500) << 96.0 << QSize(1200, 900) << 1.0 << QSize(840, 720);
    QTest::newRow("560 px is left alone") << QSize(760, 560) << 96.0 << QSize(1200, 900) << 1.0 << QSize(760, 560);
}

// The scale follows the screen and fonts stay. The message dialog, a window of its own, is
// left to follow through its screenChanged (by the ratio, unless told 1.0), so it is scaled once.
void TestWindowShell::screen()
{
    QFETCH(QSize, start);
    QFETCH(double, dpi);
    QFETCH(QSize, available);
    QFETCH(double, scale);
    QFETCH(QSize, size);
    Access::applyScreen(*m_window, 96, QSize(4000, 3000));
    m_window->resize(start);
    QCoreApplication::processEvents();
    const QFont font = child<QLabel>("keyname_top")->font();
    auto* message = m_window->findChild<DialogMessage*>();
    const double messageScale = message->scaleFactor();
    const QSize messageSize = message->size();

    Access::applyScreen(*m_window, dpi, available);

    QCOMPARE(m_window->scaleFactor(), scale);
    QCOMPARE(child<QLabel>("keyname_top")->font(), font);
    QCOMPARE(m_window->size(), size);
    QCOMPARE(message->scaleFactor(), scale == 1.0 ? messageScale : scale);
    const double ratio = scale == 1.0 ? 1.0 : scale / messageScale;
    QCOMPARE(message->size(), QSize(int(messageSize.width() * ratio), int(messageSize.height() * ratio)));
}

void TestWindowShell::positionKeptAcrossStarts_data()
{
    QTest::addColumn<QPoint>("left");
    QTest::addColumn<bool>("restored");
    QTest::newRow("on the screen") << QPoint(40, 30) << true;
    QTest::newRow("partly off the screen") << QPoint(300, 300) << false;
}

void TestWindowShell::positionKeptAcrossStarts()
{
    QFETCH(QPoint, left);
    QFETCH(bool, restored);
    m_window->move(left);
    QMetaObject::invokeMethod(qApp, "aboutToQuit");
    MainWindow next(nullptr, m_backend->program());
    QCOMPARE(next.pos() == left, restored);
}

void TestWindowShell::everyControlIsNamed()
{
    Credential credential;
    credential.rpId = QStringLiteral("example.org");
    credential.userName = QStringLiteral("alice");
    Access::creList(*m_window)->addItem(credential);
    QStringList unnamed;
    for (QWidget* control : m_window->findChildren<QWidget*>()) {
        if (!isControl(control))
            continue;
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        const QString name = accessible ? accessible->text(QAccessible::Name) : QString();
        auto* button = qobject_cast<QPushButton*>(control);
        const bool iconOnly = button && button->text().trimmed().isEmpty();
        if (name.trimmed().isEmpty() || namedByItsGroupOnly(control, name) ||
            (iconOnly && control->toolTip().isEmpty()))
            unnamed << QStringLiteral("%1 (%2)").arg(control->objectName(), control->metaObject()->className());
    }
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QLatin1String(", "))));
}

void TestWindowShell::ctrlQClosesTheWindow()
{
    QVERIFY(QTest::qWaitForWindowActive(m_window));
    QTest::keyClick(m_window, Qt::Key_Q, Qt::ControlModifier);
    QTRY_VERIFY(m_backend->receivedLines().contains(QStringLiteral("exit")));
}

QTEST_MAIN(TestWindowShell)
#include "tst_windowshell.moc"
