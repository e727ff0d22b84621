// Listing resident credentials and deleting them one at a time.
#include "fido/credentialitem.h"
#include "fidowindow.h"

#include <QCheckBox>
#include <QListWidget>
#include <QSignalSpy>

namespace {

QByteArray records(const QByteArray& body)
{
    return "{\"SW\":\"9000\",\"DATA\":[" + body + "]}";
}

const QByteArray kThree = records("{\"RP_ID\":\"example.com\",\"USER_NAME\":\"ana\",\"CREDENTIAL_ID\":\"id1\"},"
                                  "{\"RP_ID\":\"mail.test\",\"CREDENTIAL_ID\":\"id2\"},"
                                  "{\"RP_ID\":\"shop.test\",\"USER_NAME\":\"bo\",\"CREDENTIAL_ID\":\"id3\"}");

QList<CredentialItem*> rows(QWidget* dialog)
{
    QList<CredentialItem*> result;
    auto* list = dialog->findChild<QListWidget*>(QStringLiteral("creList"));
    for (int i = 0; i < list->count(); ++i)
        result.append(qobject_cast<CredentialItem*>(list->itemWidget(list->item(i))));
    return result;
}

// "rp/user" per row as the row shows them, with "*" on the checked one.
QStringList shown(QWidget* dialog)
{
    QStringList result;
    for (CredentialItem* row : rows(dialog)) {
        const QList<QLineEdit*> cells = row->findChildren<QLineEdit*>();
        result.append(cells.value(0)->text() + '/' + cells.value(1)->text() + (row->getCheckState() ? "*" : ""));
    }
    return result;
}

void tick(QWidget* dialog, int row)
{
    rows(dialog).value(row)->findChild<QCheckBox*>()->click();
}

void fill(CreListDialog* dialog)
{
    dialog->delAllItem(nullptr);
    for (const char* id : {"a", "b", "c"})
        dialog->addItem(Credential{id + QStringLiteral(".test"), "u", id, "public-key"});
}

} // namespace

class TestFidoCredentials : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_w.reset(new FidoWindow(true)); }
    void cleanup() { finish(m_w); }
    void listShowsOnlyTheNewRowsInOrder();
    void singleSelectionAndDeleteCommand();
    void deleteFromTheWindow();

private:
    std::unique_ptr<FidoWindow> m_w;
};

void TestFidoCredentials::listShowsOnlyTheNewRowsInOrder()
{
    answerPin(m_w->modal, QStringLiteral("1234"));
    m_w->click("enumCre1");
    QTRY_COMPARE(m_w->sent(), QStringList{" fido get-resident-credentials -p 31323334"});
    QVERIFY(m_w->busy());

    QList<QStringList> showings;
    for (int i = 0; i < 2; ++i)
        m_w->modal.actWhenShown(QStringLiteral("CreListDialog"), [&showings](QWidget* d) {
            showings.append(shown(d));
            d->findChild<QPushButton*>(QStringLiteral("Close"))->click();
        });
    m_w->reply(kThree, CmdType::FidoListCredentials);
    QVERIFY(!m_w->busy());
    // The deletions made in the list still need the PIN.
    QCOMPARE(Access::fidoPin(m_w->window), QStringLiteral("1234"));
    m_w->reply(records("{\"RP_ID\":\"late.test\",\"USER_NAME\":\"cy\"}"), CmdType::FidoListCredentials);
    QCOMPARE(showings, (QList<QStringList>{{"example.com/ana", "mail.test/", "shop.test/bo"}, {"late.test/cy"}}));

    m_w->answerMessage();
    m_w->reply(status("F0"), CmdType::FidoListCredentials);
    QCOMPARE(m_w->modal.seen().last().title, QStringLiteral("Information"));
    QCOMPARE(m_w->modal.lastText(), QStringLiteral("No valid credential found."));
}

void TestFidoCredentials::singleSelectionAndDeleteCommand()
{
    CreListDialog dialog(nullptr, 1.0);
    QSignalSpy sent(&dialog, &CreListDialog::message);
    auto* list = dialog.findChild<QListWidget*>(QStringLiteral("creList"));
    auto* deleteBtn = dialog.findChild<QPushButton*>(QStringLiteral("deleteBtn"));
    fill(&dialog);
    deleteBtn->click(); // none checked
    QCOMPARE(sent.count(), 0);

    tick(&dialog, 0);
    tick(&dialog, 1);
    QCOMPARE(shown(&dialog), (QStringList{"a.test/u", "b.test/u*", "c.test/u"}));
    QVERIFY(list->item(1)->isSelected());
    tick(&dialog, 1); // unticking the checked row keeps it
    QCOMPARE(shown(&dialog), (QStringList{"a.test/u", "b.test/u*", "c.test/u"}));
    // A click on the row itself, text included, selects it too.
    dialog.show();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualItemRect(list->item(2)).center());
    QCOMPARE(shown(&dialog), (QStringList{"a.test/u", "b.test/u", "c.test/u*"}));
    dialog.hide();

    deleteBtn->click();
    QCOMPARE(sent.count(), 1);
    QCOMPARE(sent[0][0].toString(), QStringLiteral("fido delete-resident-credential -i c -t public-key"));
}

// The round trip from the window: the checked row's command with the remembered PIN, a refusal
// that keeps every row, then the success that removes exactly the checked one.
void TestFidoCredentials::deleteFromTheWindow()
{
    CreListDialog* dialog = Access::creList(m_w->window);
    fill(dialog);
    Access::fidoPin(m_w->window) = QStringLiteral("1234");
    tick(dialog, 1);
    auto* deleteBtn = dialog->findChild<QPushButton*>(QStringLiteral("deleteBtn"));
    const QString line = QStringLiteral("fido delete-resident-credential -i b -t public-key -p 31323334");
    deleteBtn->click();
    QTRY_COMPARE(m_w->sent(), QStringList{line});
    QCOMPARE(m_w->busyText(), QStringLiteral("Deleting, please wait ..."));
    m_w->answerMessage();
    m_w->reply(status("6F00", "Denied"), CmdType::FidoDeleteCredential);
    QCOMPARE(m_w->modal.lastText(), QStringLiteral("Denied"));
    QCOMPARE(shown(dialog), (QStringList{"a.test/u", "b.test/u*", "c.test/u"}));

    deleteBtn->click();
    QTRY_COMPARE(m_w->sent(), (QStringList{line, line}));
    m_w->reply(status("9000"), CmdType::FidoDeleteCredential);
    QVERIFY(!m_w->busy());
    QCOMPARE(shown(dialog), (QStringList{"a.test/u", "c.test/u"}));
}

QTEST_MAIN(TestFidoCredentials)
#include "tst_fidoui_credentials.moc"
