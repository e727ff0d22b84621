// The check of a HOTP slot against the real kvman-sim: the code the window expects from a slot it
// wrote is the one the simulated key types.
#include "common/simharness.h"
#include "common/testwindow.h"

#include <QLineEdit>
#include <QtTest>

#include <memory>

class TestOtpEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    // A window on a fresh simulated key, its details read, on the OTP page.
    void init();
    void cleanup();
    void hotpCheckComparesWhatTheKeyTypes();

private:
    // Opens a slot's configuration page once the channel is free.
    bool openConf(const QString& conf)
    {
        f->click(conf);
        return TestWindow::waitFor([this] { return f->channelFree(); });
    }
    // Writes a fresh HOTP key into the open page's slot and accepts the check; then a press on
    // `touchedSlot` of the simulated key types into its field, or with 0 the key is unplugged.
    // Returns the messages seen.
    QStringList writeAndCheck(int touchedSlot);

    std::unique_ptr<SimHarness> m_harness;
    std::unique_ptr<TestWindow> f;
};

void TestOtpEndToEnd::cleanup()
{
    QVERIFY(!f || f->modal.idle());
    f.reset();
    m_harness.reset();
    QCOMPARE(visibleDialogCount(), 0);
}

void TestOtpEndToEnd::init()
{
    m_harness.reset(new SimHarness);
    f.reset(new TestWindow(SimHarness::simPath()));
    QVERIFY(m_harness->waitUntilReady());
    QTRY_VERIFY(!f->widget("btn_getdeviceinfo")->isHidden() && f->channelFree());
    f->click(QStringLiteral("btn_getdeviceinfo"));
    QTRY_VERIFY(f->widget("otp")->isEnabled() && f->channelFree());
    f->click(QStringLiteral("otp"));
    QTRY_VERIFY(!f->busy() && f->channelFree());
}

QStringList TestOtpEndToEnd::writeAndCheck(int touchedSlot)
{
    f->click(QStringLiteral("hotp_gen_key"));
    f->answer({"ok", "ok"}); // written; check it
    f->modal.actWhenShown(QStringLiteral("OtpCheckDialog"), [this, touchedSlot](QWidget* dialog) {
        if (touchedSlot == 0) {
            QVERIFY(m_harness->control(QStringLiteral("unplug")).startsWith(QLatin1String("ok")));
            return;
        }
        const QString typed = m_harness->control("otp touch " + QString::number(touchedSlot)).mid(3);
        QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("otpCheckCode")), typed);
        dialog->findChild<QAbstractButton*>(QStringLiteral("ok"))->click();
    });
    if (touchedSlot != 0)
        f->answer({"ok"}); // the verdict
    f->modal.clearSeen();
    f->click(QStringLiteral("hotp_config"));
    return TestWindow::waitFor([this] { return f->modal.idle(); }) ? f->messages() : QStringList();
}

// The right slot types the code computed from what was written; a press on the other slot,
// which holds another secret, is reported as a mismatch; removing the key ends the check with
// no verdict.
void TestOtpEndToEnd::hotpCheckComparesWhatTheKeyTypes()
{
    QVERIFY(openConf(QStringLiteral("otp1Conf")));
    const QStringList asked{"Success / OTP personalization successfully. ", "Check the slot / Check the slot now?"};
    QCOMPARE(writeAndCheck(1), asked + QStringList("Success / The slot answers as expected."));

    for (int touched : {1, 0}) {
        QTRY_VERIFY(f->channelFree());
        f->click(QStringLiteral("backOtp"));
        QTRY_VERIFY(f->channelFree());
        QVERIFY(openConf(QStringLiteral("otp2Conf")));
        // The removal comes on the second write of slot 2, which asks to overwrite first.
        if (!touched)
            f->answer({"ok"});
        const QStringList texts = writeAndCheck(touched);
        QCOMPARE(texts.mid(touched ? 0 : 1, 2), asked);
        QCOMPARE(texts.size(), 3);
        QVERIFY(!touched || texts.last().startsWith(QLatin1String("Warning / The key did not type the expected")));
    }
}

QTEST_MAIN(TestOtpEndToEnd)
#include "tst_otpe2e.moc"
