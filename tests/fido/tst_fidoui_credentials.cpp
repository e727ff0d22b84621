// Listing resident credentials and deleting them one at a time.
#include "app/commands.h"
#include "fido/credentialitem.h"
#include "fidowindow.h"

#include <QCheckBox>
#include <QListWidget>
#include <QSignalSpy>

namespace {

const QByteArray kThree = "{\"SW\":\"9000\",\"DATA\":["
                          "{\"RP_ID\":\"example.com\",\"USER_NAME\":\"ana\",\"CREDENTIAL_ID\":\"id1\","
                          "\"CREDENTIAL_TYPE\":\"public-key\"},"
                          "{\"RP_ID\":\"mail.test\",\"CREDENTIAL_ID\":\"id2\",\"CREDENTIAL_TYPE\":\"public-key\"},"
                          "{\"RP_ID\":\"shop.test\",\"USER_NAME\":\"bo\",\"CREDENTIAL_ID\":\"id3\","
                          "\"CREDENTIAL_TYPE\":\"public-key\",\"EXTRA\":\"hidden\"}]}";

const QByteArray kOne = "{\"SW\":\"9000\",\"DATA\":[{\"RP_ID\":\"late.test\",\"USER_NAME\":\"cy\","
                        "\"CREDENTIAL_ID\":\"id9\",\"CREDENTIAL_TYPE\":\"public-key\"}]}";

QList<CredentialItem*> rows(QWidget* dialog)
{
    QList<CredentialItem*> result;
    auto* list = dialog->findChild<QListWidget*>(QStringLiteral("creList"));
    for (int i = 0; i < list->count(); ++i)
        result.append(qobject_cast<CredentialItem*>(list->itemWidget(list->item(i))));
    return result;
}

// "rp/user" per row, as the row shows them.
QStringList shown(QWidget* dialog)
{
    QStringList result;
    for (CredentialItem* row : rows(dialog)) {
        const QList<QLineEdit*> cells = row->findChildren<QLineEdit*>();
        result.append(cells.value(0)->text() + QLatin1Char('/') + cells.value(1)->text());
    }
    return result;
}

QList<bool> checks(QWidget* dialog)
{
    QList<bool> result;
    for (CredentialItem* row : rows(dialog))
        result.append(row->getCheckState());
    return result;
}

void tick(QWidget* dialog, int row)
{
    rows(dialog).value(row)->findChild<QCheckBox*>()->click();
}

Credential credential(const char* rp, const char* id)
{
    return Credential{QString::fromLatin1(rp), QStringLiteral("user"), QString::fromLatin1(id),
                      QStringLiteral("public-key")};
}

} // namespace

class TestFidoCredentials : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void listAsksPinAndShowsRowsInOrder();
    void refusedWithoutPin();
    void cancelledPinSendsNothing();
    void listReplyStatuses_data();
    void listReplyStatuses();
    void reopeningShowsOnlyTheNewList();
    void singleSelection();
    void deleteSendsCheckedRowOnly();
    void deleteKeysAndEscape();
    void deleteReplyStatuses_data();
    void deleteReplyStatuses();

private:
    FidoWindow* m_w = nullptr;
};

void TestFidoCredentials::init()
{
    isfidoHavePin = true;
    m_w = new FidoWindow;
}

void TestFidoCredentials::cleanup()
{
    QVERIFY(m_w->modal.idle());
    delete m_w;
    QCOMPARE(visibleDialogCount(), 0);
}

void TestFidoCredentials::listAsksPinAndShowsRowsInOrder()
{
    m_w->answerPin(QStringLiteral("1234"));
    m_w->click("enumCre1");
    QTRY_COMPARE(m_w->sent(), QStringList{" fido get-resident-credentials -p 31323334"});
    QCOMPARE(m_w->busyText(), QStringLiteral("  Query in progress, please wait ... "));

    QStringList seen;
    m_w->modal.actWhenShown(QStringLiteral("CreListDialog"), [&seen](QWidget* d) {
        seen = shown(d);
        d->findChild<QPushButton*>(QStringLiteral("Close"))->click();
    });
    m_w->reply(kThree, CmdType::FidoListCredentials);
    QVERIFY(!m_w->busy());
    QCOMPARE(seen, (QStringList{"example.com/ana", "mail.test/", "shop.test/bo"}));
    // The deletions made in the list still need the PIN.
    QCOMPARE(Access::fidoPin(m_w->window), QStringLiteral("1234"));
}

void TestFidoCredentials::refusedWithoutPin()
{
    isfidoHavePin = false;
    Access::fidoPin(m_w->window) = QStringLiteral("old");
    m_w->answerMessage();
    m_w->click("enumCre");
    QCOMPARE(m_w->modal.seen().last().title, QStringLiteral("Information"));
    QCOMPARE(m_w->modal.lastText(), QStringLiteral("Please set pin first. "));
    QVERIFY(Access::fidoPin(m_w->window).isEmpty());
    m_w->window.cmdSend(QStringLiteral("probe"), CmdType::Dropped6);
    QTRY_COMPARE(m_w->sent(), QStringList{"probe"});
}

void TestFidoCredentials::cancelledPinSendsNothing()
{
    m_w->answerPin(QString());
    m_w->click("enumCre");
    m_w->window.cmdSend(QStringLiteral("probe"), CmdType::Dropped6);
    QTRY_COMPARE(m_w->sent(), QStringList{"probe"});
    QVERIFY(!m_w->busy());
}

void TestFidoCredentials::listReplyStatuses_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("title"); // empty: the (empty) list is shown
    QTest::addColumn<QString>("message");
    QTest::newRow("none") << status("F0") << "Information"
                          << "No valid credential found.";
    QTest::newRow("wrong PIN") << status("31", "PIN invalid") << "Warning"
                               << "PIN invalid";
    QTest::newRow("no INFO") << status("6F00") << "Warning"
                             << "Other error.Please try again or replug...";
    QTest::newRow("success without records") << status("9000") << ""
                                             << "";
}

void TestFidoCredentials::listReplyStatuses()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, title);
    QFETCH(QString, message);
    int rowsShown = -1;
    if (title.isEmpty()) {
        m_w->modal.actWhenShown(QStringLiteral("CreListDialog"), [&rowsShown](QWidget* d) {
            rowsShown = rows(d).size();
            d->findChild<QPushButton*>(QStringLiteral("Close"))->click();
        });
    } else {
        m_w->answerMessage();
    }
    Access::waiting(m_w->window)->show(&m_w->window, QStringLiteral("busy"));
    m_w->reply(reply, CmdType::FidoListCredentials);
    QVERIFY(!m_w->busy());
    if (title.isEmpty()) {
        QCOMPARE(rowsShown, 0);
        return;
    }
    QCOMPARE(m_w->modal.seen().last().title, title);
    QCOMPARE(m_w->modal.lastText(), message);
}

void TestFidoCredentials::reopeningShowsOnlyTheNewList()
{
    QList<QStringList> showings;
    for (int i = 0; i < 2; ++i)
        m_w->modal.actWhenShown(QStringLiteral("CreListDialog"), [&showings](QWidget* d) {
            showings.append(shown(d));
            d->findChild<QPushButton*>(QStringLiteral("Close"))->click();
        });
    m_w->reply(kThree, CmdType::FidoListCredentials);
    m_w->reply(kOne, CmdType::FidoListCredentials);
    QCOMPARE(showings.size(), 2);
    QCOMPARE(showings[0].size(), 3);
    QCOMPARE(showings[1], QStringList{"late.test/cy"});
}

void TestFidoCredentials::singleSelection()
{
    CreListDialog dialog(nullptr, 1.0);
    dialog.delAllItem(nullptr);
    dialog.addItem(credential("a.test", "ida"));
    dialog.addItem(credential("b.test", "idb"));
    dialog.addItem(credential("c.test", "idc"));
    auto* list = dialog.findChild<QListWidget*>(QStringLiteral("creList"));

    tick(&dialog, 0);
    tick(&dialog, 1);
    QCOMPARE(checks(&dialog), (QList<bool>{false, true, false}));
    QVERIFY(list->item(1)->isSelected());
    QVERIFY(!list->item(0)->isSelected());
    tick(&dialog, 1); // unticking the checked row keeps it
    QCOMPARE(checks(&dialog), (QList<bool>{false, true, false}));

    // A click on the row itself, text included, selects it too.
    dialog.show();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualItemRect(list->item(2)).center());
    QCOMPARE(checks(&dialog), (QList<bool>{false, false, true}));
    dialog.hide();
}

void TestFidoCredentials::deleteSendsCheckedRowOnly()
{
    CreListDialog dialog(nullptr, 1.0);
    QSignalSpy sent(&dialog, &CreListDialog::message);
    auto* deleteBtn = dialog.findChild<QPushButton*>(QStringLiteral("deleteBtn"));
    deleteBtn->click(); // no rows
    dialog.addItem(credential("a.test", "ida"));
    dialog.addItem(credential("b.test", "idb"));
    deleteBtn->click(); // none checked
    QCOMPARE(sent.count(), 0);

    tick(&dialog, 1);
    deleteBtn->click();
    QCOMPARE(sent.count(), 1);
    QCOMPARE(sent[0][0].toString(), QStringLiteral("fido delete-resident-credential -i idb -t public-key"));
    QCOMPARE(sent[0][1].toInt(), int(CmdType::FidoDeleteCredential));
}

void TestFidoCredentials::deleteKeysAndEscape()
{
    CreListDialog dialog(nullptr, 1.0);
    QSignalSpy sent(&dialog, &CreListDialog::message);
    dialog.addItem(credential("a.test", "ida"));
    tick(&dialog, 0);
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(dialog.isVisible());
    QCOMPARE(sent.count(), 0);
    QTest::keyClick(&dialog, Qt::Key_Return);
    QTest::keyClick(&dialog, Qt::Key_Enter);
    QCOMPARE(sent.count(), 2);
    dialog.hide();
}

void TestFidoCredentials::deleteReplyStatuses_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<QString>("message");
    const QStringList all{"a.test/user", "b.test/user", "c.test/user"};
    QTest::newRow("deleted") << status("9000") << QStringList{"a.test/user", "c.test/user"} << "";
    QTest::newRow("gone already") << status("F0") << all << "No valid credential found.";
    QTest::newRow("refused") << status("6F00", "Denied") << all << "Denied";
}

// The whole round trip from the window: the checked row's command with the remembered PIN.
void TestFidoCredentials::deleteReplyStatuses()
{
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, left);
    QFETCH(QString, message);
    CreListDialog* dialog = Access::creList(m_w->window);
    dialog->delAllItem(&m_w->window);
    dialog->addItem(credential("a.test", "ida"));
    dialog->addItem(credential("b.test", "idb"));
    dialog->addItem(credential("c.test", "idc"));
    Access::fidoPin(m_w->window) = QStringLiteral("1234");
    tick(dialog, 1);
    dialog->findChild<QPushButton*>(QStringLiteral("deleteBtn"))->click();
    QTRY_COMPARE(m_w->sent(), QStringList{"fido delete-resident-credential -i idb -t public-key -p 31323334"});
    QCOMPARE(m_w->busyText(), QStringLiteral("Deleting, please wait ..."));

    if (!message.isEmpty())
        m_w->answerMessage();
    m_w->reply(reply, CmdType::FidoDeleteCredential);
    QVERIFY(!m_w->busy());
    QCOMPARE(shown(dialog), left);
    if (!message.isEmpty())
        QCOMPARE(m_w->modal.lastText(), message);
}

QTEST_MAIN(TestFidoCredentials)
#include "tst_fidoui_credentials.moc"
