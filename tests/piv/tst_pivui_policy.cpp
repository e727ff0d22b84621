// The biometric policy page: fingerprint check, policy and cache time.
#include "pivfixture.h"

#include <QComboBox>
#include <QLabel>
#include <QRadioButton>

using namespace piv;

class TestPivPolicy : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void saveNeedsAnEnrolledFingerprint_data();
    void saveNeedsAnEnrolledFingerprint();
    void alwaysIsOneCommand_data();
    void alwaysIsOneCommand();
    void cachedChainsTheCacheTime_data();
    void cachedChainsTheCacheTime();

private:
    void openPolicyPage(const QString& fingerprintReply);
    bool cacheTimeShown() const { return !widget(f.window, "groupBox_5")->isHidden(); }
    Fixture f;
};

void TestPivPolicy::init()
{
    f.start();
    QTRY_VERIFY(f.started());
}

void TestPivPolicy::cleanup()
{
    QVERIFY(f.modal->idle());
    f.stop();
    QCOMPARE(visibleDialogCount(), 0);
}

void TestPivPolicy::openPolicyPage(const QString& fingerprintReply)
{
    f.click("bioPolicy");
    QTRY_COMPARE(f.lastSent(), QStringLiteral(" piv has_fingerprint "));
    f.reply(fingerprintReply, CmdType::PivHasFingerprint);
}

void TestPivPolicy::saveNeedsAnEnrolledFingerprint_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("enrolled") << status("9000", "1") << true;
    QTest::newRow("none") << status("9000", "0") << false;
    QTest::newRow("eleven") << status("9000", "11") << false;
    QTest::newRow("failure saying 1") << status("6A82", "1") << false;
}

void TestPivPolicy::saveNeedsAnEnrolledFingerprint()
{
    QFETCH(QString, reply);
    QFETCH(bool, enabled);
    widget<QRadioButton>(f.window, "always")->setChecked(true);
    widget(f.window, "groupBox_5")->hide();
    f.click("bioPolicy");
    QCOMPARE(f.page(), 9);
    QVERIFY(!widget(f.window, "never")->isEnabled());
    QVERIFY(widget<QRadioButton>(f.window, "cached")->isChecked());
    QVERIFY(!widget(f.window, "save_pivPolicy")->isEnabled());
    QVERIFY(!widget(f.window, "label_21")->isHidden());
    QVERIFY(cacheTimeShown());
    QTRY_COMPARE(f.sent(), QStringList{" piv has_fingerprint "});
    f.reply(reply, CmdType::PivHasFingerprint);
    QCOMPARE(widget(f.window, "save_pivPolicy")->isEnabled(), enabled);
    QVERIFY(f.modal->seen().isEmpty());
}

void TestPivPolicy::alwaysIsOneCommand_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("message");
    QTest::newRow("ok") << QString(kOk) << "Success / Biological policy set successfully.";
    QTest::newRow("failure") << status("6A80") << "Warning / Other error.Please try again or replug...";
}

void TestPivPolicy::alwaysIsOneCommand()
{
    QFETCH(QString, reply);
    QFETCH(QString, message);
    openPolicyPage(status("9000", "1"));
    f.click("always");
    QVERIFY(!cacheTimeShown());
    QVERIFY(widget(f.window, "label_21")->isHidden());
    f.click("save_pivPolicy");
    QTRY_COMPARE(f.lastSent(), QStringLiteral(" piv set_biopolicy 9a --bio-policy ALWAYS"));
    f.confirmMessage();
    f.reply(reply, CmdType::PivSetBioPolicy);
    QCOMPARE(f.messages(), QStringList{message});
    QVERIFY(Access::channelFree(*f.window));

    f.click("backPiv_2");
    QCOMPARE(f.page(), 6);
    QTRY_COMPARE(f.lastSent(), QStringLiteral(" piv read-object 9a"));
}

void TestPivPolicy::cachedChainsTheCacheTime_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("seconds");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("message");
    QTest::newRow("20s") << 0 << "20" << QString(kOk) << "Success / Change bio cachedtime successfully.";
    QTest::newRow("60s") << 4 << "60" << QString(kOk) << "Success / Change bio cachedtime successfully.";
    QTest::newRow("no finger") << 1 << "30" << status("6983", "No finger") << "Warning / No finger";
}

void TestPivPolicy::cachedChainsTheCacheTime()
{
    QFETCH(int, index);
    QFETCH(QString, seconds);
    QFETCH(QString, reply);
    QFETCH(QString, message);
    // The slot is the PIV page's; the policy page has none of its own.
    widget<QComboBox>(f.window, "comboBox")->setCurrentIndex(2);
    f.reply(kOk, CmdType::PivReadObject);
    openPolicyPage(status("9000", "1"));
    f.click("always");
    f.click("cached");
    QVERIFY(cacheTimeShown());
    widget<QComboBox>(f.window, "cachedTime")->setCurrentIndex(index);
    f.click("save_pivPolicy");
    QTRY_COMPARE(f.lastSent(), QStringLiteral(" piv set_biopolicy 9d --bio-policy CACHED"));

    // The cache time is written while the fingerprint prompt is up; its reply closes the prompt
    // and opens a message, which the helper answers once this answer has returned.
    QString prompt;
    f.modal->actWhenShown(QStringLiteral("registFingerprint"), [&](QWidget* dialog) {
        prompt = dialog->findChild<QLabel*>(QStringLiteral("Tip"))->text();
        QTimer::singleShot(0, this, [&] { f.reply(reply, CmdType::PivSetCachedTime); });
    });
    f.confirmMessage();
    f.reply(kOk, CmdType::PivSetBioPolicy);
    QCOMPARE(prompt, QStringLiteral("Touch the fingerprint sensor"));
    QCOMPARE(f.messages(), QStringList{message});
    QTRY_COMPARE(f.sent().mid(3), QStringList{" piv set_cachedtime  -t " + seconds});
}

QTEST_MAIN(TestPivPolicy)
#include "tst_pivui_policy.moc"
