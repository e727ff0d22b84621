// The macOS smart-card log-on section: report, unpair and the set-up chain for 9a and 9d.
#include "pivfixture.h"

#include <QHash>
#include <QTextEdit>

using namespace piv;

namespace {

const QString kSubjectPart = QStringLiteral(" /tmp/public -s  \"PIV Authentication\"");

QString generateKey(const QString& slot)
{
    return QStringLiteral(" piv generate-key %1 -p %2 -k %3 -a ECCP256 /tmp/public").arg(slot, kPin, kKey);
}

QString generateCertificate(const QString& slot)
{
    return QStringLiteral("piv generate-certificate %1 -p %2 -k %3").arg(slot, kPin, kKey) + kSubjectPart;
}

} // namespace

class TestPivPairing : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void reportOfEmptyOutputs();
    void reportOnThisSystem();
    void unpair_data();
    void unpair();
    void setUpCancelled_data();
    void setUpCancelled();
    void setUpChainFillsBothSlots();
    void setUpStopsAtFirstFailure();

private:
    QString report() const { return widget<QTextEdit>(f.window, "PIVConfText")->toPlainText(); }
    void useShell(const QHash<QString, QString>& outputs)
    {
        Access::setShell(*f.window, [this, outputs](const QString& command) {
            m_ran << command;
            return outputs.value(command);
        });
    }
    Fixture f;
    QStringList m_ran;
};

void TestPivPairing::init()
{
    m_ran.clear();
    f.start();
    QTRY_VERIFY(f.started());
    useShell({});
}

void TestPivPairing::cleanup()
{
    QVERIFY(f.modal->idle());
    QCOMPARE(Access::heldSecrets(*f.window), QString());
    f.stop();
    QCOMPARE(visibleDialogCount(), 0);
}

void TestPivPairing::reportOfEmptyOutputs()
{
    f.click("pivRLogin");
    QCOMPARE(f.page(), 8);
    QCOMPARE(report(), QStringLiteral("Paired Device:\nEmpty\n\nSystemVersion:\n\nInstalled CryptoTokenKit:\n\n"
                                      "Pair Dialog:\n"));
    QCOMPARE(m_ran, (QStringList{"sc_auth list", "sw_vers", "pluginkit -m -p com.apple.ctk-tokens",
                                 "sc_auth pairing_ui -s status"}));
    QVERIFY(f.sent().isEmpty());
}

// Without the macOS tools the shell prints nothing on standard output.
void TestPivPairing::reportOnThisSystem()
{
    Access::setShell(*f.window, nullptr);
    f.click("pivRLogin");
    QVERIFY2(report().startsWith(QStringLiteral("Paired Device:\nEmpty\n\nSystemVersion:\n")), qPrintable(report()));
}

void TestPivPairing::unpair_data()
{
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("text");
    QTest::newRow("silent") << QString() << "Unpair Device:\nUnpair Device Successfully\n";
    QTest::newRow("printed") << "No paired identity\n"
                             << "Unpair Device:\nUnpair Device failed\n";
}

void TestPivPairing::unpair()
{
    QFETCH(QString, output);
    QFETCH(QString, text);
    f.click("pivRLogin");
    useShell({{"sc_auth unpair", output}});
    f.click("pivUnpair");
    QCOMPARE(m_ran.last(), QStringLiteral("sc_auth unpair"));
    QCOMPARE(report(), text);
}

void TestPivPairing::setUpCancelled_data()
{
    QTest::addColumn<QStringList>("script");
    QTest::newRow("question") << QStringList{"no"};
    QTest::newRow("PIN") << QStringList{"ok", "cancel"};
    QTest::newRow("management key") << QStringList{"ok", "pin", "cancel"};
}

void TestPivPairing::setUpCancelled()
{
    QFETCH(QStringList, script);
    f.click("pivRLogin");
    m_ran.clear();
    f.answer(script);
    f.click("pivEnablepair");
    QTRY_VERIFY(f.modal->idle());
    // The system's pairing dialog is switched on before the question.
    QCOMPARE(m_ran, QStringList{"sc_auth pairing_ui -s enable"});
    QCOMPARE(f.modal->seen().first().title, QStringLiteral("Set up for macOS"));
    QCOMPARE(f.modal->seen().first().text,
             QStringLiteral("If the certificate already exists in 9a or 9d, continuing will override ？ "));
    QVERIFY(Access::channelFree(*f.window));
    QVERIFY(!f.busy());
}

void TestPivPairing::setUpChainFillsBothSlots()
{
    f.click("pivRLogin");
    f.answer({"ok", "pin", "key"});
    f.click("pivEnablepair");
    QTRY_COMPARE(f.sent(), QStringList{generateKey("9a")});
    QCOMPARE(widget<QLineEdit>(f.window, "subjectV")->text(), QStringLiteral("PIV Authentication"));
    QVERIFY(f.busy());
    QCOMPARE(f.busyText(), QStringLiteral("  Generating new certificate ... "));

    f.reply(kOk, CmdType::PivGenerateKey);
    QTRY_COMPARE(f.lastSent(), generateCertificate("9a"));
    f.reply(kOk, CmdType::PivGenerateCertificate);
    QTRY_COMPARE(f.lastSent(), generateKey("9d"));
    f.reply(kOk, CmdType::PivGenerateKey);
    QTRY_COMPARE(f.lastSent(), generateCertificate("9d"));
    QVERIFY(f.busy());
    QCOMPARE(f.busyText(), QStringLiteral("  Generating new certificate ... "));

    f.confirmMessage();
    f.reply(kOk, CmdType::PivGenerateCertificate);
    QVERIFY(!f.busy());
    QCOMPARE(f.messages().last(), QStringLiteral("Success / Setup for macOS successfully.\nRe-plug the device and "
                                                 "complete the pairing process. You can log in to macOS with the "
                                                 "devices"));
    QCOMPARE(f.sent().size(), 4);
    QCOMPARE(f.page(), 8);
}

void TestPivPairing::setUpStopsAtFirstFailure()
{
    f.click("pivRLogin");
    f.answer({"ok", "pin", "key"});
    f.click("pivEnablepair");
    QTRY_COMPARE(f.sent().size(), 1);
    f.reply(kOk, CmdType::PivGenerateKey);
    QTRY_COMPARE(f.sent().size(), 2);
    f.confirmMessage();
    f.reply(status("6982", "Verification failed"), CmdType::PivGenerateCertificate);
    QVERIFY(!f.busy());
    QCOMPARE(f.messages().last(), QStringLiteral("Warning / Verification failed"));
    QCOMPARE(f.sent(), (QStringList{generateKey("9a"), generateCertificate("9a")}));
}

QTEST_MAIN(TestPivPairing)
#include "tst_pivui_pairing.moc"
