// The OTP pages against the real kvman-sim: what the window writes makes the simulated key
// type the codes an independent HMAC computation (the openssl tool) predicts.
#include "common/simharness.h"
#include "otpwindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>

namespace {

// RFC 4226 section 5.3, over an HMAC-SHA1 that the openssl tool computes.
QString opensslHotp(const QByteArray& hexKey, quint64 counter, int digits)
{
    QByteArray message(8, '\0');
    for (int i = 7; i >= 0; --i, counter >>= 8)
        message[i] = char(counter & 0xFF);
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"), {"dgst", "-sha1", "-mac", "HMAC", "-macopt", "hexkey:" + hexKey});
    openssl.write(message);
    openssl.closeWriteChannel();
    if (!openssl.waitForFinished(10000))
        return QString();
    const QByteArray out = openssl.readAllStandardOutput().trimmed();
    const QByteArray mac = QByteArray::fromHex(out.mid(out.lastIndexOf(' ') + 1));
    if (mac.size() != 20)
        return QString();
    const int offset = mac[19] & 0x0F;
    const quint32 binary = (quint32(quint8(mac[offset]) & 0x7F) << 24) | (quint32(quint8(mac[offset + 1])) << 16) |
                           (quint32(quint8(mac[offset + 2])) << 8) | quint32(quint8(mac[offset + 3]));
    quint32 modulus = 1;
    for (int i = 0; i < digits; ++i)
        modulus *= 10;
    return QStringLiteral("%1").arg(binary % modulus, digits, 10, QLatin1Char('0'));
}

} // namespace

class TestOtpEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void hotpKeyFromTheWindowTypesOpensslCodes();
    void challengeResponseAnswersRfc2202Case2();
    void listSwapAndDeleteFollowTheKey();
    void singleSlotKeyIsResetInstead();

private:
    void start(const QString& model);
    // Configures the open page's mode with `key` (or a generated one) and `name` (unless
    // null), and answers the outcome. Returns the key as sent.
    QString configure(const char* mode, const char* keyEdit, const char* ok, const QString& key,
                      const QString& name = QString());
    bool received(const QString& line) const { return m_harness->receivedLines().contains(line); }

    SimHarness* m_harness = nullptr;
    MainWindow* m_window = nullptr;
    ModalHelper* m_modal = nullptr;

    template <typename T> T* widget(const char* name) const
    {
        T* found = m_window->findChild<T*>(QLatin1String(name));
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }
    bool busy() const { return MainWindowTestAccess::waiting(*m_window)->isShowing(); }
    bool idle() const { return MainWindowTestAccess::lockFree(*m_window); }
    QString lastMessage() const { return m_modal->seen().isEmpty() ? QString() : m_modal->seen().last().text; }
};

void TestOtpEndToEnd::init()
{
    m_modal = new ModalHelper;
}

void TestOtpEndToEnd::cleanup()
{
    QVERIFY(m_modal->idle());
    delete m_window;
    m_window = nullptr;
    delete m_harness;
    m_harness = nullptr;
    delete m_modal;
    QCOMPARE(visibleDialogCount(), 0);
}

// A window on a fresh simulated key of `model`, its details read, on the OTP page.
void TestOtpEndToEnd::start(const QString& model)
{
    m_harness = new SimHarness(model);
    // The command type is program-wide: the previous test's window left its last one behind.
    g_currItem = 0;
    m_window = new MainWindow(nullptr, SimHarness::simPath());
    QVERIFY(m_harness->waitUntilReady());
    QTRY_VERIFY(!widget<QWidget>("btn_getdeviceinfo")->isHidden());
    QTRY_VERIFY(idle());
    widget<QAbstractButton>("btn_getdeviceinfo")->click();
    QTRY_VERIFY(widget<QWidget>("otp")->isEnabled());
    QTRY_VERIFY(idle());
    widget<QAbstractButton>("otp")->click();
    QTRY_VERIFY(received(QStringLiteral("otp list")));
    QTRY_VERIFY(!busy());
    QCOMPARE(widget<QWidget>("contentPage")->property("currentIndex").toInt(), 10);
}

QString TestOtpEndToEnd::configure(const char* mode, const char* keyEdit, const char* ok, const QString& key,
                                   const QString& name)
{
    widget<QAbstractButton>(mode)->click();
    if (!name.isNull())
        widget<QLineEdit>(mode == QLatin1String("otp_mode_cr") ? "lineEdit_cr_name" : "lineEdit_hotp_name")
            ->setText(name);
    auto* edit = widget<QLineEdit>(keyEdit);
    if (key.isEmpty())
        widget<QAbstractButton>(mode == QLatin1String("otp_mode_cr") ? "cr_gen_key" : "hotp_gen_key")->click();
    else
        QTest::keyClicks(edit, key);
    const QString typed = edit->text();
    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    widget<QAbstractButton>(ok)->click();
    return typed;
}

void TestOtpEndToEnd::hotpKeyFromTheWindowTypesOpensslCodes()
{
    if (QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty())
        QSKIP("the openssl tool is not installed");
    start(QStringLiteral("R15"));
    widget<QAbstractButton>("otp1Conf")->click();
    QTRY_VERIFY(idle());
    QVERIFY(widget<QWidget>("checkBox_withenter")->isEnabled());

    const QString key = configure("otp_mode_hotp", "lineEdit_hotp_key", "hotp_config", QString());
    QCOMPARE(key.size(), 32);
    QTRY_VERIFY(m_modal->idle());
    QCOMPARE(lastMessage(), QStringLiteral("OTP personalization successfully. "));
    QVERIFY(received("otp put -s 0 -k " + key + " -a SHA1 -t HOTP -d 6 -n 3443374431334138"));

    for (quint64 counter = 0; counter < 3; ++counter) {
        const QString expected = opensslHotp(key.toLatin1(), counter, 6);
        QCOMPARE(expected.size(), 6);
        QCOMPARE(m_harness->control(QStringLiteral("otp touch 1")), "ok " + expected);
    }

    // The with-enter box, clicked on, makes slot 1 press Return after the code.
    QVERIFY(idle());
    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    auto* enter = widget<QAbstractButton>("checkBox_withenter");
    QTest::mouseClick(enter, Qt::LeftButton, Qt::NoModifier, QPoint(5, enter->height() / 2));
    QTRY_VERIFY(m_modal->idle());
    QCOMPARE(lastMessage(), QStringLiteral("Set successfully."));
    QVERIFY(received(QStringLiteral("device send_apdu -c 80E105010101")));
    QCOMPARE(m_harness->control(QStringLiteral("otp touch 1")), "ok " + opensslHotp(key.toLatin1(), 3, 6) + "<enter>");
}

void TestOtpEndToEnd::challengeResponseAnswersRfc2202Case2()
{
    start(QStringLiteral("R3"));
    widget<QAbstractButton>("otp2Conf")->click();
    configure("otp_mode_cr", "lineEdit_cr_key", "cr_config", QByteArray("Jefe").toHex());
    QTRY_VERIFY(m_modal->idle());
    QCOMPARE(lastMessage(), QStringLiteral("OTP personalization successfully. "));
    QVERIFY(received(QStringLiteral("otp put -s 1 -k 4a656665 -a SHA1 -t CHALLENGE_RESPONSE -n 3330413137433432")));

    const QByteArray data = QByteArray("what do ya want for nothing?").toHex();
    QCOMPARE(m_harness->control("otp touch 2 " + QString::fromLatin1(data)),
             QStringLiteral("ok effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"));
}

void TestOtpEndToEnd::listSwapAndDeleteFollowTheKey()
{
    start(QStringLiteral("R14"));
    widget<QAbstractButton>("otp2Conf")->click();
    configure("otp_mode_hotp", "lineEdit_hotp_key", "hotp_config", QStringLiteral("00112233445566778899aabbccddeeff"),
              QStringLiteral("slot2"));
    QTRY_VERIFY(m_modal->idle());
    QTRY_VERIFY(idle());

    widget<QAbstractButton>("backOtp")->click();
    QTRY_COMPARE(widget<QLabel>("label_otp_2_state")->text(), QStringLiteral("This slot is configured"));
    QCOMPARE(widget<QLabel>("label_otp_1_state")->text(), QStringLiteral("This slot is empty"));
    QVERIFY(widget<QWidget>("otp_swap")->isEnabled());
    QTRY_VERIFY(idle());

    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    widget<QAbstractButton>("otp_swap")->click();
    QTRY_VERIFY(m_modal->idle());
    QCOMPARE(lastMessage(), QStringLiteral("Swap slots successfully."));
    QTRY_COMPARE(widget<QLabel>("label_otp_1_state")->text(), QStringLiteral("This slot is configured"));
    QCOMPARE(widget<QLabel>("label_otp_2_state")->text(), QStringLiteral("This slot is empty"));
    QTRY_VERIFY(idle());

    // Without a touch the key keeps the slot.
    QVERIFY(m_harness->control(QStringLiteral("touch never")).startsWith("ok"));
    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    widget<QAbstractButton>("otp1Delete")->click();
    QTRY_VERIFY(m_modal->idle());
    QCOMPARE(lastMessage(), QStringLiteral("Touch time out."));
    // "slot2" as hex of its Latin-1 bytes names the configuration.
    QVERIFY(received(QStringLiteral("otp delete -s 0 -n 736C6F7432")));
    QVERIFY(m_harness->control(QStringLiteral("status")).contains("otp_slot1=HOTP"));

    QVERIFY(m_harness->control(QStringLiteral("touch auto")).startsWith("ok"));
    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    widget<QAbstractButton>("otp1Delete")->click();
    QTRY_VERIFY(m_modal->idle());
    QCOMPARE(lastMessage(), QStringLiteral("Delete successfully."));
    QTRY_COMPARE(widget<QLabel>("label_otp_1_state")->text(), QStringLiteral("This slot is empty"));
    QTRY_VERIFY(!widget<QWidget>("otp_swap")->isEnabled());
    QVERIFY(m_harness->control(QStringLiteral("status")).contains("otp_slot1=empty"));
}

void TestOtpEndToEnd::singleSlotKeyIsResetInstead()
{
    start(QStringLiteral("R8"));
    QVERIFY(widget<QWidget>("groupBox_10")->isHidden());
    QVERIFY(widget<QWidget>("otp_swap")->isHidden());
    widget<QAbstractButton>("otp1Conf")->click();
    QTRY_VERIFY(idle());
    QVERIFY(widget<QWidget>("otp_mode_sp")->isHidden());
    // R8 reports no serial number: the name starts empty and is given here, since a slot
    // listed without a name counts as empty.
    QCOMPARE(widget<QLineEdit>("lineEdit_hotp_name")->text(), QString());
    const QString key = configure("otp_mode_hotp", "lineEdit_hotp_key", "hotp_config", QString(), QStringLiteral("r8"));
    QTRY_VERIFY(m_modal->idle());
    QCOMPARE(lastMessage(), QStringLiteral("OTP personalization successfully. "));
    QCOMPARE(m_harness->control(QStringLiteral("otp touch 1")), "ok " + opensslHotp(key.toLatin1(), 0, 6));
    QTRY_VERIFY(idle());

    widget<QAbstractButton>("backOtp")->click();
    QTRY_COMPARE(widget<QLabel>("label_otp_1_state")->text(), QStringLiteral("This slot is configured"));
    QTRY_VERIFY(idle());
    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    m_modal->clickWhenShown(QStringLiteral("DialogMessage"), QStringLiteral("ok"));
    widget<QAbstractButton>("otp1Delete")->click();
    QTRY_VERIFY(m_modal->idle());
    QCOMPARE(lastMessage(), QStringLiteral("Delete successfully."));
    QVERIFY(received(QStringLiteral("otp reset")));
    QTRY_COMPARE(widget<QLabel>("label_otp_1_state")->text(), QStringLiteral("This slot is empty"));
}

QTEST_MAIN(TestOtpEndToEnd)
#include "tst_otpe2e.moc"
