// The harness reaches the simulator that a window starts as its backend.
#include "app/mainwindow.h"
#include "common/simharness.h"

#include <QLabel>
#include <QtTest>

class TestSimWindow : public QObject
{
    Q_OBJECT

private slots:
    void windowBackendObeysHarness();
};

void TestSimWindow::windowBackendObeysHarness()
{
    SimHarness harness;
    MainWindow window(nullptr, SimHarness::simPath());
    QVERIFY(harness.waitUntilReady());
    QTRY_COMPARE(harness.receivedLines().value(0), QStringLiteral(" monitor start"));

    auto* state = window.findChild<QLabel*>(QStringLiteral("label_24"));
    QVERIFY(state);
    QTRY_COMPARE(state->text(), QStringLiteral("VELMORA FIDO Security Key Inserted"));
    QCOMPARE(harness.control(QStringLiteral("second")), QStringLiteral("ok keys=2"));
    QTRY_COMPARE(state->text(), QStringLiteral("Multiable VELMORA FIDO Security Key Inserted"));
    QCOMPARE(harness.control(QStringLiteral("unplug")), QStringLiteral("ok keys=0"));
    QTRY_COMPARE(state->text(), QStringLiteral("No VELMORA FIDO Security Key Inserted"));
}

QTEST_MAIN(TestSimWindow)
#include "tst_simwindow.moc"
