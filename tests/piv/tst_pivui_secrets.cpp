// The PIV page entry, the PIN, PUK and management key changes and the PIV reset.
#include "pivfixture.h"

#include <QValidator>

using namespace piv;

class TestPivSecrets : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void entry_data();
    void entry();
    void commandLines_data();
    void commandLines();
    void replies_data();
    void replies();
    void resetReplies_data();
    void resetReplies();

private:
    Fixture f;
};

void TestPivSecrets::init()
{
    f.start();
    QTRY_VERIFY(f.started());
}

void TestPivSecrets::cleanup()
{
    QVERIFY(f.modal->idle());
    QCOMPARE(Access::heldSecrets(*f.window), QString());
    f.stop();
    QCOMPARE(visibleDialogCount(), 0);
}

void TestPivSecrets::entry_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<bool>("policy");
    QTest::newRow("R14") << "R14" << true;
    QTest::newRow("R22") << "R22" << true;
    QTest::newRow("R3") << "R3" << false;
    QTest::newRow("lower-case r15") << "r15" << false;
}

void TestPivSecrets::entry()
{
    QFETCH(QString, model);
    QFETCH(bool, policy);
    Access::setModel(*f.window, model);
    f.click("piv");
    QCOMPARE(f.page(), 6);
    QCOMPARE(!widget(f.window, "bioPolicy")->isHidden(), policy);
    QTRY_COMPARE(f.sent(), QStringList{" piv read-object 9a"});

    const QValidator* rule = widget<QLineEdit>(f.window, "subjectV")->validator();
    QVERIFY(rule);
    QString latin = QStringLiteral("PIV Auth-1");
    QString cjk = QStringLiteral("证书");
    QString fullWidth = QStringLiteral("a（b）");
    int pos = 0;
    QCOMPARE(rule->validate(latin, pos), QValidator::Acceptable);
    QCOMPARE(rule->validate(cjk, pos), QValidator::Invalid);
    QCOMPARE(rule->validate(fullWidth, pos), QValidator::Invalid);
}

void TestPivSecrets::commandLines_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<QString>("line");
    const QString newKey = QStringLiteral("0123456789abcdef0123456789ABCDEF0123456789abcdef");
    const QString keyLine = QStringLiteral(" piv change-management-key -p %1 -k %2 -n %3").arg(kPin, kKey, newKey);

    QTest::newRow("PIN, capital P") << "pivPin" << QStringList{"change=123456,654321"}
                                    << " piv change-pin -P 123456 -n 654321";
    QTest::newRow("PUK, small p") << "pivPuk" << QStringList{"change=12345678,87654321"}
                                  << " piv change-puk -p 12345678 -n 87654321";
    QTest::newRow("management key, 142 characters")
        << "pivMKey" << QStringList{"pin", "change=" + QString(kKey) + "," + newKey} << keyLine;
    QTest::newRow("reset, no leading blank") << "pivReset" << QStringList{"ok"} << "piv reset";

    QTest::newRow("PIN cancelled") << "pivPin" << QStringList{"cancel change"} << QString();
    QTest::newRow("PUK cancelled") << "pivPuk" << QStringList{"cancel change"} << QString();
    QTest::newRow("key: PIN cancelled") << "pivMKey" << QStringList{"cancel"} << QString();
    QTest::newRow("key: change cancelled") << "pivMKey" << QStringList{"pin", "cancel change"} << QString();
    QTest::newRow("reset not confirmed") << "pivReset" << QStringList{"no"} << QString();
}

void TestPivSecrets::commandLines()
{
    QFETCH(QString, button);
    QFETCH(QStringList, script);
    QFETCH(QString, line);
    f.answer(script);
    f.click(button.toLatin1().constData());
    QTRY_VERIFY(f.modal->idle());
    // A command in flight holds the channel.
    QCOMPARE(Access::channelFree(*f.window), line.isEmpty());
    QTRY_COMPARE(f.sent(), line.isEmpty() ? QStringList() : QStringList{line});
    if (button == QLatin1String("pivMKey") && !line.isEmpty())
        QCOMPARE(line.size(), 142);
    // Only the reset waits under the busy panel.
    QCOMPARE(f.busy(), line == QLatin1String("piv reset"));
    if (f.busy())
        QCOMPARE(f.busyText(), QStringLiteral("Please touch your VELMORA FIDO Security Key, if necessary..."));
}

void TestPivSecrets::replies_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("message");
    const QString other = QStringLiteral("Warning / Other error.Please try again or replug...");
    const int pin = CmdType::PivChangePin;
    const int puk = CmdType::PivChangePuk;
    const int key = CmdType::PivChangeManagementKey;

    QTest::newRow("PIN ok") << pin << QString(kOk) << "Success / Change PIN successfully.";
    QTest::newRow("PIN 63C1 has no tries text") << pin << status("63C1") << other;
    QTest::newRow("PIN failure with text") << pin << status("6982", "Wrong PIN") << "Warning / Wrong PIN";

    QTest::newRow("PUK ok") << puk << QString(kOk) << "Success / Change PUK successfully.";
    QTest::newRow("PUK 63C2") << puk << status("63C2", "ignored")
                              << "Warning / Verify failed. Wrong current PUK,2 tries left.";
    QTest::newRow("PUK 63C1") << puk << status("63C1") << "Warning / Verify failed. Wrong current PUK,1 tries left.";
    QTest::newRow("PUK 63C0") << puk << status("63c0") << "Warning / PUK is blocked.";
    QTest::newRow("PUK 63C3") << puk << status("63C3") << other;
    QTest::newRow("PUK other with text") << puk << status("6A80", "Bad PUK") << "Warning / Bad PUK";

    QTest::newRow("key ok") << key << QString(kOk) << "Success / Change management key successfully.";
    QTest::newRow("key 63C2") << key << status("63C2")
                              << "Warning / Verify failed. Wrong current management key,2 tries left.";
    QTest::newRow("key 63C1") << key << status("63C1")
                              << "Warning / Verify failed. Wrong current management key,1 tries left.";
    QTest::newRow("key 63C0") << key << status("63C0") << "Warning / Management key is blocked.";
    QTest::newRow("key unparsable") << key << QStringLiteral("garbage") << other;
}

void TestPivSecrets::replies()
{
    QFETCH(int, type);
    QFETCH(QString, reply);
    QFETCH(QString, message);
    f.confirmMessage();
    f.reply(reply, type);
    QCOMPARE(f.messages(), QStringList{message});
    QCOMPARE(f.sent(), QStringList());
}

void TestPivSecrets::resetReplies_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("then");
    QTest::newRow("ok refreshes") << QString(kOk) << "Success / Reset successfully."
                                  << QStringList{" piv read-object 9a"};
    QTest::newRow("touch time-out") << status("6983") << "Warning / Touch time out." << QStringList();
    QTest::newRow("touch time-out with text")
        << status("6983", "No touch") << "Warning / Touch time out." << QStringList();
    QTest::newRow("other") << status("6A80") << "Warning / Other error.Please try again or replug..." << QStringList();
}

void TestPivSecrets::resetReplies()
{
    QFETCH(QString, reply);
    QFETCH(QString, message);
    QFETCH(QStringList, then);
    f.answer({"ok"});
    f.click("pivReset");
    QTRY_VERIFY(f.busy());
    QCOMPARE(f.modal->seen().first().title, QStringLiteral("Reset PIV"));
    QCOMPARE(f.modal->seen().first().text, QStringLiteral("All PIV related certificate will be removed, continue? "));
    f.confirmMessage();
    f.reply(reply, CmdType::PivReset);
    QVERIFY(!f.busy());
    QCOMPARE(f.messages().value(1), message);
    QTRY_COMPARE(f.sent(), QStringList{"piv reset"} + then);
}

QTEST_MAIN(TestPivSecrets)
#include "tst_pivui_secrets.moc"
