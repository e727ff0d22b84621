// The OTP pages against the real kvman-sim: what the window writes makes the simulated key
// type the codes an independent HMAC computation (the openssl tool) predicts.
#include "common/simharness.h"
#include "otpwindow.h"

#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QtEndian>

#include <memory>

namespace {

// RFC 4226 section 5.3, six digits, over an HMAC-SHA1 that the openssl tool computes.
QString opensslHotp(const QString& hexKey, quint64 counter)
{
    QByteArray message(8, '\0');
    qToBigEndian(counter, message.data());
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"), {"dgst", "-sha1", "-mac", "HMAC", "-macopt", "hexkey:" + hexKey});
    openssl.write(message);
    openssl.closeWriteChannel();
    openssl.waitForFinished(10000);
    const QByteArray out = openssl.readAllStandardOutput().trimmed();
    const QByteArray mac = QByteArray::fromHex(out.mid(out.lastIndexOf(' ') + 1));
    if (mac.size() != 20)
        return QStringLiteral("openssl failed");
    const quint32 binary = qFromBigEndian<quint32>(mac.constData() + (mac[19] & 0x0F)) & 0x7FFFFFFF;
    return QStringLiteral("%1").arg(binary % 1000000, 6, 10, QLatin1Char('0'));
}

} // namespace

class TestOtpEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void hotpFromTheWindowTypesOpensslCodes();
    void challengeResponseAnswersRfc2202Case2();
    void slotWrittenWithoutSerialIsListedAndDeleted();
    void hotpCheckComparesWhatTheKeyTypes();
    void hotpCheckClosesWhenTheKeyGoes();
    void challengeCheckWaitsForTheTouch();

private:
    // A window on a fresh simulated key, its details read, on the OTP page.
    bool start(const QString& model = QStringLiteral("R15"));
    // Clicks OK on the open page and confirms the message that comes, declining the check a
    // HOTP or challenge-response slot offers; returns the message's text.
    QString configure(const QString& page)
    {
        const int before = f->modal.seen().size();
        f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
        if (page != QLatin1String("sta"))
            f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("cancel"));
        f->click(page + "_config");
        return OtpWindow::waitFor([this] { return f->modal.idle(); }) ? f->modal.seen().value(before).text : QString();
    }
    // Writes a fresh HOTP key into the open page's slot, accepts the check, and types into its
    // field what a press on `touchedSlot` of the simulated key types. Returns the messages seen.
    QStringList writeAndCheck(int touchedSlot);
    bool received(const QString& line) const { return m_harness->receivedLines().contains(line); }

    std::unique_ptr<SimHarness> m_harness;
    std::unique_ptr<OtpWindow> f;
};

void TestOtpEndToEnd::cleanup()
{
    QVERIFY(!f || f->modal.idle());
    f.reset();
    m_harness.reset();
    QCOMPARE(visibleDialogCount(), 0);
}

bool TestOtpEndToEnd::start(const QString& model)
{
    m_harness.reset(new SimHarness(model));
    // The command type is program-wide: the previous test's window left its last one behind.
    g_currItem = 0;
    f.reset(new OtpWindow(SimHarness::simPath()));
    if (!m_harness->waitUntilReady() ||
        !OtpWindow::waitFor([this] { return !f->widget("btn_getdeviceinfo")->isHidden() && f->idle(); }))
        return false;
    f->click(QStringLiteral("btn_getdeviceinfo"));
    if (!OtpWindow::waitFor([this] { return f->widget("otp")->isEnabled() && f->idle(); }))
        return false;
    f->click(QStringLiteral("otp"));
    return OtpWindow::waitFor([this] { return received(QStringLiteral("otp list")) && !f->busy(); });
}

void TestOtpEndToEnd::hotpFromTheWindowTypesOpensslCodes()
{
    if (QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty())
        QSKIP("the openssl tool is not installed");
    QVERIFY(start());
    f->click(QStringLiteral("otp1Conf"));
    QTRY_VERIFY(f->idle());
    f->click(QStringLiteral("hotp_gen_key"));
    const QString key = f->text("lineEdit_hotp_key");
    QCOMPARE(key.size(), 32);
    QCOMPARE(configure(QStringLiteral("hotp")), QStringLiteral("OTP personalization successfully. "));
    QVERIFY(received("otp put -s 0 -k " + key + " -a SHA1 -t HOTP -d 6 -n 3443374431334138"));
    for (quint64 counter = 0; counter < 3; ++counter)
        QCOMPARE(m_harness->control(QStringLiteral("otp touch 1")), "ok " + opensslHotp(key, counter));
}

void TestOtpEndToEnd::challengeResponseAnswersRfc2202Case2()
{
    QVERIFY(start());
    f->click(QStringLiteral("otp2Conf"));
    f->click(QStringLiteral("otp_mode_cr"));
    QTest::keyClicks(f->widget<QLineEdit>("lineEdit_cr_key"), QByteArray("Jefe").toHex());
    QCOMPARE(configure(QStringLiteral("cr")), QStringLiteral("OTP personalization successfully. "));
    const QByteArray data = QByteArray("what do ya want for nothing?").toHex();
    QCOMPARE(m_harness->control("otp touch 2 " + QString::fromLatin1(data)),
             QStringLiteral("ok effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"));

    // The overview reads the slot back from the key.
    QTRY_VERIFY(f->idle());
    f->click(QStringLiteral("backOtp"));
    QTRY_COMPARE(f->text("label_otp_2_state"), QStringLiteral("This slot is configured"));
    QCOMPARE(f->text("label_otp_1_state"), QStringLiteral("This slot is empty"));
}

// An R8 reports no serial, so the default name is empty; the slot still holds a configuration.
void TestOtpEndToEnd::slotWrittenWithoutSerialIsListedAndDeleted()
{
    QVERIFY(start(QStringLiteral("R8")));
    f->click(QStringLiteral("otp1Conf"));
    QTRY_VERIFY(f->idle());
    QCOMPARE(f->text("lineEdit_hotp_name"), QString());
    f->click(QStringLiteral("hotp_gen_key"));
    QCOMPARE(configure(QStringLiteral("hotp")), QStringLiteral("OTP personalization successfully. "));
    QVERIFY(m_harness->control(QStringLiteral("status")).contains(QLatin1String("otp_slot1=HOTP")));

    QTRY_VERIFY(f->idle());
    f->click(QStringLiteral("backOtp"));
    QTRY_COMPARE(f->text("label_otp_1_state"), QStringLiteral("This slot is configured"));
    QTRY_VERIFY(f->idle());
    f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok")); // the question
    f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok")); // the outcome
    f->click(QStringLiteral("otp1Delete"));
    QTRY_VERIFY(f->modal.idle());
    QCOMPARE(f->lastMessage().second, QStringLiteral("Delete successfully."));
    QVERIFY(m_harness->control(QStringLiteral("status")).contains(QLatin1String("otp_slot1=empty")));
}

QStringList TestOtpEndToEnd::writeAndCheck(int touchedSlot)
{
    f->click(QStringLiteral("hotp_gen_key"));
    f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok")); // written
    f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok")); // the check
    f->modal.actWhenShown(QStringLiteral("OtpCheckDialog"), [this, touchedSlot](QWidget* dialog) {
        const QString typed = m_harness->control("otp touch " + QString::number(touchedSlot)).mid(3);
        QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("otpCheckCode")), typed);
        dialog->findChild<QAbstractButton*>(QStringLiteral("ok"))->click();
    });
    f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok")); // the verdict
    f->modal.clearSeen();
    f->click(QStringLiteral("hotp_config"));
    QStringList texts;
    if (OtpWindow::waitFor([this] { return f->modal.idle(); }))
        for (const ModalHelper::Seen& seen : f->modal.seen())
            texts << seen.text;
    return texts;
}

// The right slot types the code computed from what was written; a press on the other slot,
// which holds another secret, is reported as a mismatch.
void TestOtpEndToEnd::hotpCheckComparesWhatTheKeyTypes()
{
    QVERIFY(start());
    f->click(QStringLiteral("otp1Conf"));
    QTRY_VERIFY(f->idle());
    const QString written = QStringLiteral("OTP personalization successfully. ");
    QCOMPARE(writeAndCheck(1),
             (QStringList{written, "Check the slot now?", QString(), "The slot answers as expected."}));

    QTRY_VERIFY(f->idle());
    f->click(QStringLiteral("backOtp"));
    QTRY_VERIFY(f->idle());
    f->click(QStringLiteral("otp2Conf"));
    QTRY_VERIFY(f->idle());
    const QStringList texts = writeAndCheck(1);
    QCOMPARE(texts.size(), 4);
    QVERIFY2(texts.last().startsWith(QLatin1String("The key did not type the expected code.")),
             qPrintable(texts.last()));
}

// Removing the key ends the check with no verdict.
void TestOtpEndToEnd::hotpCheckClosesWhenTheKeyGoes()
{
    QVERIFY(start());
    f->click(QStringLiteral("otp1Conf"));
    QTRY_VERIFY(f->idle());
    f->click(QStringLiteral("hotp_gen_key"));
    f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    f->modal.actWhenShown(QStringLiteral("OtpCheckDialog"), [this](QWidget*) {
        QVERIFY(m_harness->control(QStringLiteral("unplug")).startsWith(QLatin1String("ok")));
    });
    f->click(QStringLiteral("hotp_config"));
    QTRY_VERIFY(f->modal.idle());
    QCOMPARE(f->modal.seen().size(), 3);
}

// The simulated key answers the window's challenge only once touched, with the response the
// window computed from the secret it wrote.
void TestOtpEndToEnd::challengeCheckWaitsForTheTouch()
{
    QVERIFY(start());
    f->click(QStringLiteral("otp2Conf"));
    f->click(QStringLiteral("otp_mode_cr"));
    f->click(QStringLiteral("cr_gen_key"));
    f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok")); // written
    f->modal.actWhenShown(QStringLiteral("DialogMessage"), [this](QWidget* question) {
        QVERIFY(m_harness->control(QStringLiteral("touch manual")).startsWith(QLatin1String("ok")));
        question->findChild<QAbstractButton*>(QStringLiteral("ok"))->click();
    });
    f->click(QStringLiteral("cr_config"));
    QTRY_VERIFY(m_harness->control(QStringLiteral("status")).contains(QLatin1String("touch_pending=yes")));
    QVERIFY(m_harness->receivedLines().last().startsWith(QLatin1String("otp challenge -s 1 -c ")));
    QCOMPARE(f->busyText(), QStringLiteral("  Please touch your VELMORA FIDO Security Key ... "));

    f->modal.clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok")); // the verdict
    QVERIFY(m_harness->control(QStringLiteral("touch")).startsWith(QLatin1String("ok")));
    QTRY_VERIFY(f->modal.idle());
    QCOMPARE(f->modal.seen().size(), 3);
    QCOMPARE(f->lastMessage().second, QStringLiteral("The slot answers as expected."));
}

QTEST_MAIN(TestOtpEndToEnd)
#include "tst_otpe2e.moc"
