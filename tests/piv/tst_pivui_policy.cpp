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

    void openingResetsThePage();
    void saveNeedsAnEnrolledFingerprint_data();
    void saveNeedsAnEnrolledFingerprint();
    void alwaysIsOneCommand();
    void cachedChainsTheCacheTime_data();
    void cachedChainsTheCacheTime();
    void cacheTimeFailure();
    void policyFailureEndsTheChain();
    void backReturnsToPivPage();

private:
    void openPolicyPage(bool enrolled);
    // From inside a dialog answer: the reply opens a message, which the helper can only answer
    // once the current answer has returned.
    void replyLater(const QString& text, int type)
    {
        QTimer::singleShot(0, this, [this, text, type] { f.reply(text, type); });
    }
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

void TestPivPolicy::openPolicyPage(bool enrolled)
{
    f.click("bioPolicy");
    QTRY_COMPARE(f.lastSent(), QStringLiteral(" piv has_fingerprint "));
    f.reply(enrolled ? status("9000", "1") : status("9000", "0"), CmdType::PivHasFingerprint);
}

void TestPivPolicy::openingResetsThePage()
{
    widget<QRadioButton>(f.window, "always")->setChecked(true);
    widget(f.window, "label_21")->hide();
    widget(f.window, "groupBox_5")->hide();
    f.click("bioPolicy");
    QCOMPARE(f.page(), 9);
    QVERIFY(!widget(f.window, "never")->isEnabled());
    QVERIFY(widget<QRadioButton>(f.window, "cached")->isChecked());
    QVERIFY(!widget(f.window, "save_pivPolicy")->isEnabled());
    QVERIFY(!widget(f.window, "label_21")->isHidden());
    QVERIFY(cacheTimeShown());
    QTRY_COMPARE(f.sent(), QStringList{" piv has_fingerprint "});
}

void TestPivPolicy::saveNeedsAnEnrolledFingerprint_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("enrolled") << status("9000", "1") << true;
    QTest::newRow("none") << status("9000", "0") << false;
    QTest::newRow("eleven") << status("9000", "11") << false;
    QTest::newRow("empty") << status("9000") << false;
    QTest::newRow("failure saying 1") << status("6A82", "1") << false;
}

void TestPivPolicy::saveNeedsAnEnrolledFingerprint()
{
    QFETCH(QString, reply);
    QFETCH(bool, enabled);
    f.click("bioPolicy");
    f.reply(reply, CmdType::PivHasFingerprint);
    QCOMPARE(widget(f.window, "save_pivPolicy")->isEnabled(), enabled);
    QVERIFY(f.modal->seen().isEmpty());
}

void TestPivPolicy::alwaysIsOneCommand()
{
    openPolicyPage(true);
    f.click("always");
    QVERIFY(!cacheTimeShown());
    QVERIFY(widget(f.window, "label_21")->isHidden());
    f.click("save_pivPolicy");
    QTRY_COMPARE(f.lastSent(), QStringLiteral(" piv set_biopolicy 9a --bio-policy ALWAYS"));
    f.confirmMessage();
    f.reply(kOk, CmdType::PivSetBioPolicy);
    QCOMPARE(f.messages(), QStringList{"Success / Biological policy set successfully."});
    QCOMPARE(f.sent().size(), 2);
}

void TestPivPolicy::cachedChainsTheCacheTime_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("seconds");
    QTest::newRow("20s") << 0 << "20";
    QTest::newRow("60s") << 4 << "60";
}

void TestPivPolicy::cachedChainsTheCacheTime()
{
    QFETCH(int, index);
    QFETCH(QString, seconds);
    // The slot is the PIV page's; the policy page has none of its own.
    widget<QComboBox>(f.window, "comboBox")->setCurrentIndex(2);
    f.reply(kOk, CmdType::PivReadObject);
    openPolicyPage(true);
    f.click("always");
    f.click("cached");
    QVERIFY(cacheTimeShown());
    widget<QComboBox>(f.window, "cachedTime")->setCurrentIndex(index);
    f.click("save_pivPolicy");
    QTRY_COMPARE(f.lastSent(), QStringLiteral(" piv set_biopolicy 9d --bio-policy CACHED"));

    // The cache time is written while the fingerprint prompt is up; its reply closes it.
    QString prompt;
    f.modal->actWhenShown(QStringLiteral("registFingerprint"), [&](QWidget* dialog) {
        prompt = dialog->findChild<QLabel*>(QStringLiteral("Tip"))->text();
        replyLater(kOk, CmdType::PivSetCachedTime);
    });
    f.confirmMessage();
    f.reply(kOk, CmdType::PivSetBioPolicy);
    QCOMPARE(prompt, QStringLiteral("Touch the fingerprint sensor"));
    QCOMPARE(f.messages(), QStringList{"Success / Change bio cachedtime successfully."});
    QTRY_COMPARE(f.sent().mid(3), QStringList{" piv set_cachedtime  -t " + seconds});
}

void TestPivPolicy::cacheTimeFailure()
{
    openPolicyPage(true);
    f.click("save_pivPolicy");
    QTRY_COMPARE(f.sent().size(), 2);
    f.modal->actWhenShown(QStringLiteral("registFingerprint"),
                          [&](QWidget*) { replyLater(status("6983", "No finger"), CmdType::PivSetCachedTime); });
    f.confirmMessage();
    f.reply(kOk, CmdType::PivSetBioPolicy);
    QCOMPARE(f.messages(), QStringList{"Warning / No finger"});
}

void TestPivPolicy::policyFailureEndsTheChain()
{
    openPolicyPage(true);
    f.click("save_pivPolicy");
    QTRY_COMPARE(f.sent().size(), 2);
    f.confirmMessage();
    f.reply(status("6A80"), CmdType::PivSetBioPolicy);
    QCOMPARE(f.messages(), QStringList{"Warning / Other error.Please try again or replug..."});
    QCOMPARE(f.sent().size(), 2);
}

void TestPivPolicy::backReturnsToPivPage()
{
    openPolicyPage(false);
    f.click("backPiv_2");
    QCOMPARE(f.page(), 6);
    QTRY_COMPARE(f.lastSent(), QStringLiteral(" piv read-object 9a"));
}

QTEST_MAIN(TestPivPolicy)
#include "tst_pivui_policy.moc"
