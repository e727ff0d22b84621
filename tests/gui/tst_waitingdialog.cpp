#include "ui/waitingdialog.h"

#include <QLabel>
#include <QMovie>
#include <QSignalSpy>
#include <QtTest>

// The busy panel's 60 seconds run from the showing that put it up; a clock the test moves checks
// them. Its animation runs only while it is shown.
class TestWaitingDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void timeLimit_data();
    void timeLimit();

private:
    void advance(int seconds) { m_now = m_now.addSecs(seconds); }
    QMovie::MovieState animation() const
    {
        return m_busy->panel()->findChild<QLabel*>(QStringLiteral("waitingAnimation"))->movie()->state();
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
}

void TestWaitingDialog::timeLimit_data()
{
    QTest::addColumn<bool>("hideBetween");
    QTest::addColumn<int>("lastQuietSecond"); // seconds after the first show
    QTest::newRow("shown twice") << false << 60;
    QTest::newRow("hidden, then shown again") << true << 100;
}

void TestWaitingDialog::timeLimit()
{
    QFETCH(bool, hideBetween);
    QFETCH(int, lastQuietSecond);
    QSignalSpy spy(m_busy, &WaitingDialog::operationTimedout);
    QCOMPARE(animation(), QMovie::NotRunning);
    m_busy->show(m_parent, QStringLiteral("first"));
    QCOMPARE(m_busy->panel()->windowModality(), Qt::ApplicationModal);
    QCOMPARE(animation(), QMovie::Running);
    advance(40);
    if (hideBetween) {
        m_busy->hide();
        QCOMPARE(animation(), QMovie::NotRunning); // a hidden animation kept the idle application busy
    }
    m_busy->show(m_parent, QStringLiteral("second"));
    QCOMPARE(m_busy->text(), QStringLiteral("second"));

    advance(lastQuietSecond - 40);
    m_busy->updateProgress();
    QCOMPARE(spy.count(), 0);
    QVERIFY(m_busy->isShowing());
    advance(1); // the panel's own tick notices
    QVERIFY(spy.wait(2000));
    QCOMPARE(spy.count(), 1);
    QVERIFY(!m_busy->isShowing());
    QCOMPARE(animation(), QMovie::NotRunning);
}

QTEST_MAIN(TestWaitingDialog)
#include "tst_waitingdialog.moc"
