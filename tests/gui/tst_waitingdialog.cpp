#include "ui/waitingdialog.h"

#include <QLabel>
#include <QSignalSpy>
#include <QtTest>

// The busy panel's 60 seconds are checked with a clock the test moves, never by waiting.
class TestWaitingDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void showsCentredAndModal();
    void limitIsCountedFromFirstShow_data();
    void limitIsCountedFromFirstShow();
    void tickTimerFiresTheTimeout();
    void hideOnHiddenPanelDoesNothing();
    void timeoutHidesPanelOnce();

private:
    void advance(int seconds) { m_now = m_now.addSecs(seconds); }
    // Runs the tick and tells whether the panel gave up.
    bool tick(QSignalSpy& spy)
    {
        m_busy->updateProgress();
        return spy.count() > 0;
    }

    QWidget* m_parent = nullptr;
    WaitingDialog* m_busy = nullptr;
    QDateTime m_now;
};

void TestWaitingDialog::init()
{
    m_now = QDateTime(QDate(2024, 5, 1), QTime(10, 0, 0, 250));
    m_parent = new QWidget;
    m_parent->setGeometry(50, 40, 900, 700);
    m_busy = new WaitingDialog(m_parent, [this] { return m_now; });
}

void TestWaitingDialog::cleanup()
{
    delete m_parent; // takes the busy dialog with it
    m_busy = nullptr;
}

void TestWaitingDialog::showsCentredAndModal()
{
    m_busy->show(m_parent, QStringLiteral("Please wait ..."));
    QDialog* panel = m_busy->panel();
    QVERIFY(panel->isVisible());
    QVERIFY(!m_busy->isVisible());
    QCOMPARE(panel->windowModality(), Qt::ApplicationModal);
    QCOMPARE(panel->pos(), m_parent->geometry().center() - panel->rect().center());
    QCOMPARE(panel->findChild<QLabel*>(QStringLiteral("waitingText"))->text(), QStringLiteral("Please wait ..."));
    QVERIFY(panel->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(panel->windowFlags() & Qt::FramelessWindowHint);
}

void TestWaitingDialog::limitIsCountedFromFirstShow_data()
{
    QTest::addColumn<bool>("hideBetween");
    QTest::addColumn<int>("lastQuietSecond"); // seconds after the first show
    QTest::newRow("shown twice") << false << 60;
    QTest::newRow("hidden, then shown again") << true << 100;
}

void TestWaitingDialog::limitIsCountedFromFirstShow()
{
    QFETCH(bool, hideBetween);
    QFETCH(int, lastQuietSecond);
    QSignalSpy spy(m_busy, &WaitingDialog::operationTimedout);
    m_busy->show(m_parent, QStringLiteral("first"));
    advance(40);
    if (hideBetween)
        m_busy->hide();
    m_busy->show(m_parent, QStringLiteral("second"));
    QCOMPARE(m_busy->text(), QStringLiteral("second"));

    advance(lastQuietSecond - 40);
    QVERIFY(!tick(spy));
    QVERIFY(m_busy->isShowing());
    advance(1);
    QVERIFY(tick(spy));
    QVERIFY(!m_busy->isShowing());
}

void TestWaitingDialog::tickTimerFiresTheTimeout()
{
    QSignalSpy spy(m_busy, &WaitingDialog::operationTimedout);
    m_busy->show(m_parent, QStringLiteral("Please wait ..."));
    advance(61);
    QVERIFY(spy.wait(2000));
    QCOMPARE(spy.count(), 1);
}

void TestWaitingDialog::hideOnHiddenPanelDoesNothing()
{
    QSignalSpy spy(m_busy, &WaitingDialog::operationTimedout);
    m_busy->hide();
    QVERIFY(!m_busy->isShowing());
    QCOMPARE(spy.count(), 0);
}

void TestWaitingDialog::timeoutHidesPanelOnce()
{
    QSignalSpy spy(m_busy, &WaitingDialog::operationTimedout);
    m_busy->show(m_parent, QStringLiteral("Please wait ..."));
    advance(120);
    QVERIFY(tick(spy));
    m_busy->hide();
    QCOMPARE(spy.count(), 1);
    // A fresh showing gets a fresh minute.
    m_busy->show(m_parent, QStringLiteral("again"));
    advance(30);
    m_busy->updateProgress();
    QCOMPARE(spy.count(), 1);
    QVERIFY(m_busy->isShowing());
}

QTEST_MAIN(TestWaitingDialog)
#include "tst_waitingdialog.moc"
