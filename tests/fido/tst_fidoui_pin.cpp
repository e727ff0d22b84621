// The FIDO2 page, its PIN state and setting or changing the PIN.
#include "app/commands.h"
#include "fidowindow.h"

#include <QStackedWidget>

namespace {

void fillChangePin(QWidget* dialog, const QString& first, const QString& second, const QString& third)
{
    dialog->findChild<QLineEdit*>(QStringLiteral("oldpinV"))->setText(first);
    dialog->findChild<QLineEdit*>(QStringLiteral("newpinV"))->setText(second);
    dialog->findChild<QLineEdit*>(QStringLiteral("conformPinV"))->setText(third);
    dialog->findChild<QPushButton*>(QStringLiteral("OK"))->click();
}

} // namespace

class TestFidoPin : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void pageFollowsModel_data();
    void pageFollowsModel();
    void pinRetriesReply_data();
    void pinRetriesReply();
    void setPinSendsHexAndFlipsButtons();
    void changePinSendsBothPinsAsHex();
    void failureKeepsStateAndForgetsPin_data();
    void failureKeepsStateAndForgetsPin();
    void cancelSendsNothing();
    void promptsGiveEmptyOnCancel();

private:
    FidoWindow* m_w = nullptr;
};

void TestFidoPin::init()
{
    isfidoHavePin = false;
    m_w = new FidoWindow;
}

void TestFidoPin::cleanup()
{
    QVERIFY(m_w->modal.idle());
    delete m_w;
    QCOMPARE(visibleDialogCount(), 0);
}

void TestFidoPin::pageFollowsModel_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<int>("page");
    QTest::newRow("R14") << "R14" << 3;
    QTest::newRow("R15") << "R15" << 3;
    QTest::newRow("R22") << "R22" << 3;
    QTest::newRow("R3") << "R3" << 4;
    QTest::newRow("R8") << "R8" << 4;
    QTest::newRow("lower case") << "r15" << 4;
    QTest::newRow("no model") << "" << 4;
}

void TestFidoPin::pageFollowsModel()
{
    QFETCH(QString, model);
    QFETCH(int, page);
    Access::setModel(m_w->window, model);
    m_w->click("fido");
    QCOMPARE(m_w->find<QStackedWidget>("contentPage")->currentIndex(), page);
    QTRY_COMPARE(m_w->sent(), QStringList{" fido get_pin_retries "});
    QCOMPARE(g_currItem, int(CmdType::FidoPinRetries));
    QVERIFY(!m_w->busy());
}

void TestFidoPin::pinRetriesReply_data()
{
    QTest::addColumn<bool>("before");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("after");
    QTest::newRow("no PIN") << true << status("35") << false;
    QTest::newRow("PIN") << false << QByteArray("{\"SW\":\"9000\",\"DATA\":{\"RETRIES\":\"8\"}}") << true;
    QTest::newRow("other keeps true") << true << status("6F00", "busy") << true;
    QTest::newRow("other keeps false") << false << status("6F00") << false;
}

void TestFidoPin::pinRetriesReply()
{
    QFETCH(bool, before);
    QFETCH(QByteArray, reply);
    QFETCH(bool, after);
    // Set the starting state through the handler itself, so the texts match it.
    m_w->reply(before ? status("9000") : status("35"), CmdType::FidoPinRetries);
    m_w->reply(reply, CmdType::FidoPinRetries);
    QCOMPARE(isfidoHavePin, after);
    const QString text = after ? QStringLiteral("Change PIN") : QStringLiteral("Set PIN");
    QCOMPARE(m_w->text("fidoSetPIN"), text);
    QCOMPARE(m_w->text("fidoSetPIN1"), text);
    QCOMPARE(visibleDialogCount(), 0);
}

void TestFidoPin::setPinSendsHexAndFlipsButtons()
{
    m_w->reply(status("35"), CmdType::FidoPinRetries);
    QString title;
    m_w->modal.actWhenShown(QStringLiteral("changePIN"), [&title](QWidget* d) {
        title = d->findChild<QLabel*>(QStringLiteral("title"))->text();
        fillChangePin(d, QString::fromUtf8("pä55"), QString::fromUtf8("pä55"), QString());
    });
    m_w->click("fidoSetPIN1");
    QCOMPARE(title, QStringLiteral("Set PIN"));
    QTRY_COMPARE(m_w->sent(), QStringList{" fido set-pin -p 70c3a43535"});
    QVERIFY(m_w->busy());
    QCOMPARE(m_w->busyText(), QStringLiteral("Setting PIN, please wait ..."));

    m_w->answerMessage();
    m_w->reply(status("9000"), CmdType::FidoSetPin);
    QCOMPARE(m_w->modal.seen().last().title, QStringLiteral("Success"));
    QCOMPARE(m_w->modal.lastText(), QStringLiteral("Set PIN successfully."));
    QVERIFY(!m_w->busy());
    QVERIFY(isfidoHavePin);
    QCOMPARE(m_w->text("fidoSetPIN"), QStringLiteral("Change PIN"));
    QCOMPARE(m_w->text("fidoSetPIN1"), QStringLiteral("Change PIN"));
}

void TestFidoPin::changePinSendsBothPinsAsHex()
{
    m_w->reply(status("9000"), CmdType::FidoPinRetries);
    m_w->modal.actWhenShown(QStringLiteral("changePIN"),
                            [](QWidget* d) { fillChangePin(d, QStringLiteral("1234"), "abcd", "abcd"); });
    m_w->click("fidoSetPIN");
    QTRY_COMPARE(m_w->sent(), QStringList{" fido change-pin -p 31323334 -n 61626364"});
    QCOMPARE(m_w->busyText(), QStringLiteral("Changing PIN, please wait ..."));

    m_w->answerMessage();
    m_w->reply(status("9000"), CmdType::FidoChangePin);
    QCOMPARE(m_w->modal.lastText(), QStringLiteral("Change PIN successfully."));
    QVERIFY(!m_w->busy());
    QVERIFY(isfidoHavePin);
}

void TestFidoPin::failureKeepsStateAndForgetsPin_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("message");
    const QString stock = QStringLiteral("Other error.Please try again or replug...");
    QTest::newRow("set, with INFO") << int(CmdType::FidoSetPin) << status("6F00", "PIN too short") << "PIN too short";
    QTest::newRow("set, no INFO") << int(CmdType::FidoSetPin) << status("6F00") << stock;
    QTest::newRow("change, wrong PIN") << int(CmdType::FidoChangePin) << status("31", "PIN invalid") << "PIN invalid";
    QTest::newRow("change, garbage") << int(CmdType::FidoChangePin) << QByteArray("kaput") << stock;
}

void TestFidoPin::failureKeepsStateAndForgetsPin()
{
    QFETCH(int, type);
    QFETCH(QByteArray, reply);
    QFETCH(QString, message);
    const bool havePin = type == CmdType::FidoChangePin;
    m_w->reply(havePin ? status("9000") : status("35"), CmdType::FidoPinRetries);
    Access::fidoPin(m_w->window) = QStringLiteral("1234");
    Access::waiting(m_w->window)->show(&m_w->window, QStringLiteral("busy"));

    m_w->answerMessage();
    m_w->reply(reply, type);
    QCOMPARE(m_w->modal.seen().last().title, QStringLiteral("Warning"));
    QCOMPARE(m_w->modal.lastText(), message);
    QVERIFY(!m_w->busy());
    QCOMPARE(isfidoHavePin, havePin);
    QCOMPARE(m_w->text("fidoSetPIN"), havePin ? QStringLiteral("Change PIN") : QStringLiteral("Set PIN"));
    QVERIFY(Access::fidoPin(m_w->window).isEmpty());
}

void TestFidoPin::cancelSendsNothing()
{
    m_w->modal.clickWhenShown(QStringLiteral("changePIN"), QStringLiteral("Cancel"));
    m_w->click("fidoSetPIN");
    m_w->reply(status("9000"), CmdType::FidoPinRetries);
    m_w->modal.clickWhenShown(QStringLiteral("changePIN"), QStringLiteral("Cancel"));
    m_w->click("fidoSetPIN");
    m_w->window.cmdSend(QStringLiteral("probe"), CmdType::Dropped6);
    QTRY_COMPARE(m_w->sent(), QStringList{"probe"});
    QVERIFY(!m_w->busy());
}

void TestFidoPin::promptsGiveEmptyOnCancel()
{
    m_w->modal.clickWhenShown(QStringLiteral("changePIN"), QStringLiteral("Cancel"));
    QVERIFY(Access::changePin(m_w->window, QStringLiteral("fidochangepin")).isEmpty());
    m_w->answerPin(QString());
    QVERIFY(Access::pin(m_w->window, QStringLiteral("FIDO PIN:")).isNull());

    // The prompts keep nothing typed once they have answered.
    m_w->modal.actWhenShown(QStringLiteral("changePIN"), [](QWidget* d) { fillChangePin(d, "1234", "1234", ""); });
    QCOMPARE(Access::changePin(m_w->window, QStringLiteral("fidosetpin")), (QMap<QString, QString>{{"new", "1234"}}));
    QVERIFY(m_w->window.findChild<QLineEdit*>(QStringLiteral("newpinV"))->text().isEmpty());
    m_w->answerPin(QStringLiteral("5678"));
    QCOMPARE(Access::pin(m_w->window, QStringLiteral("FIDO PIN:")), QStringLiteral("5678"));
    QVERIFY(m_w->window.findChild<QLineEdit*>(QStringLiteral("pinV"))->text().isEmpty());
}

QTEST_MAIN(TestFidoPin)
#include "tst_fidoui_pin.moc"
