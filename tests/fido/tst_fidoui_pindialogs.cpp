// The two PIN prompts on their own: check order, messages, character rules, "Use Default" and
// keys. Modes ending in a colon belong to the one-secret prompt, the others to the change
// prompt. Entries are typed, so the character rules apply as they do for a user, then Escape
// is pressed, which must change nothing, and Return, which must act as OK.
#include "ui/changepin.h"
#include "ui/piv_pin.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

const QString kKey = QStringLiteral("7E3D0C41F58B29D6B1C48E2F7D0B5C63D6E1F4C8072B3B5E");
const QString kFidoLength = QStringLiteral("The length of FIDO2 PIN must be between 4-63 characters.");
const QString kPivLength = QStringLiteral("The length of PIV PIN must be between 6-8 characters.");
const QString kKeyLength = QStringLiteral("The management key must be 48 hexadecimal digits.");

} // namespace

class TestFidoPinDialogs : public QObject
{
    Q_OBJECT

private slots:
    void checks_data();
    void checks();
    void useDefault_data();
    void useDefault();
    void modeSwitchUndoesPreviousMode();
    void emptyWheneverShown_data();
    void emptyWheneverShown();

private:
    template <typename D> static std::unique_ptr<QDialog> make(const QString& mode)
    {
        auto dialog = std::make_unique<D>(nullptr, 1.0);
        dialog->setType(nullptr, mode);
        return dialog;
    }
    static std::unique_ptr<QDialog> open(const QString& mode)
    {
        return mode.endsWith(':') ? make<piv_pin>(mode) : make<changePIN>(mode);
    }
    // The entry fields, current secret first.
    static QList<QLineEdit*> fields(QDialog* dialog)
    {
        QList<QLineEdit*> result;
        for (const char* name : {"pinV", "oldpinV", "newpinV", "conformPinV"})
            if (auto* edit = dialog->findChild<QLineEdit*>(QLatin1String(name)))
                result.append(edit);
        return result;
    }
    // Types character by character, as a keyboard or input method would (keyClicks only knows ASCII).
    static void type(QLineEdit* edit, const QString& text)
    {
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    // One table row of text columns, kept on one line however many columns it has.
    template <typename... T> static void row(const char* name, const T&... texts)
    {
        (QTest::newRow(name) << ... << QString(texts));
    }
};

void TestFidoPinDialogs::checks_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("third");
    QTest::addColumn<QString>("message"); // empty: the input passes

    const QString k47 = kKey.left(47), low = kKey.toLower();
    const QString p63(63, 'p'), p64(64, 'p'), w127(127, 'w'), w128(128, 'w');
    row("change: all empty", "fidochangepin", "", "", "", "Old PIN cannot be empty.");
    row("change: new empty", "fidochangepin", "1234", "", "", "New PIN cannot be empty.");
    row("change: confirm empty", "fidochangepin", "1234", "5678", "", "Confirm PIN cannot be empty.");
    row("change: mismatch", "fidochangepin", "1234", "5678", "5679", "New PIN not match the confirm PIN.");
    row("change: 3", "fidochangepin", "1", "abc", "abc", kFidoLength);
    row("change: 4", "fidochangepin", "1", "abcd", "abcd", "");
    row("change: CJK dropped", "fidochangepin", "1", QString::fromUtf8("a中b，c!"), "abc!", "");
    row("set: first empty", "fidosetpin", "", "1234", "", "New PIN cannot be empty.");
    row("set: confirm empty", "fidosetpin", "1234", "", "", "Confirm PIN cannot be empty.");
    row("set: mismatch", "fidosetpin", "1234", "5678", "", "Current PIN not match the confirm PIN.");
    row("set: 63", "fidosetpin", p63, p63, "", "");
    row("set: 64", "fidosetpin", p64, p64, "", kFidoLength);
    row("piv: 5", "pivchangepin", "123456", "12345", "12345", kPivLength);
    row("piv: 8", "pivchangepin", "123456", "12345678", "12345678", "");
    row("piv: only digits", "pivchangepin", "123456", "12ab3 456", "123456", "");
    // The current PUK has no length rule.
    row("puk: 5", "pivchangepuk", "123", "65432", "65432", "The length of PIV PUK must be between 6-8 characters.");
    row("key: mismatch", "changeManKey", kKey, kKey, low, "New management key not match the confirm management key.");
    row("key: old 47", "changeManKey", k47, kKey, kKey, kKeyLength);
    row("key: new 47", "changeManKey", kKey, k47, k47, kKeyLength);
    row("key: 48, only hex", "changeManKey", kKey, low, low + "gZ-", "");
    row("password: none", "Password:", "", "", "", "");
    row("password: 127", "Password:", w127, "", "", "");
    row("password: 128", "Password:", w128, "", "", "The length of Certificate password must be less 128 characters.");
    row("PIV: empty", "PIV PIN:", "", "", "", "Please input data");
    row("PIV: 5", "PIV PIN:", "12345", "", "", kPivLength);
    row("PIV: 6, only digits", "PIV PIN:", "12x3456", "", "", "");
    row("PIV: 8", "PIV PIN:", "12345678", "", "", "");
    row("PIV: 9", "PIV PIN:", "123456789", "", "", kPivLength);
    row("FIDO: empty", "FIDO PIN:", "", "", "", "Please input data");
    row("FIDO: 3 once CJK is dropped", "FIDO PIN:", QString::fromUtf8("12龥3"), "", "", kFidoLength);
    row("FIDO: 4", "FIDO PIN:", "1234", "", "", "");
    row("FIDO: 63", "FIDO PIN:", QString(63, '1'), "", "", "");
    row("FIDO: 64", "FIDO PIN:", QString(64, '1'), "", "", kFidoLength);
    row("key: 47", "Management Key:", k47, "", "", kKeyLength);
    row("key: 48, only hex", "Management Key:", kKey + "X", "", "", "");
}

void TestFidoPinDialogs::checks()
{
    QFETCH(QString, mode);
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, third);
    QFETCH(QString, message);

    const auto dialog = open(mode);
    dialog->show();
    const QList<QLineEdit*> entries = fields(dialog.get());
    const QStringList typed{first, second, third};
    for (int i = 0; i < entries.size(); ++i)
        type(entries[i], typed[i]);
    const QString kept = entries[0]->text();
    QTest::keyClick(entries.last(), Qt::Key_Escape);
    QVERIFY(dialog->isVisible());
    QTest::keyClick(entries.last(), Qt::Key_Return);

    const bool single = mode.endsWith(':');
    QCOMPARE(dialog->findChild<QLabel*>(QLatin1String(single ? "pinTip" : "tip"))->text(), message);
    QCOMPARE(dialog->result() == QDialog::Accepted, message.isEmpty());
    QCOMPARE(dialog->isVisible(), !message.isEmpty());
    // A failed change starts the entry over; a single secret stays for correction.
    if (!message.isEmpty())
        QCOMPARE(entries[0]->text(), single ? kept : QString());
}

void TestFidoPinDialogs::useDefault_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("fill");
    row("PIV PIN", "pivchangepin", "80417326");
    row("PUK", "pivchangepuk", "80417326");
    row("key", "changeManKey", kKey);
    row("PIV PIN:", "PIV PIN:", "80417326");
    row("Management Key:", "Management Key:", kKey);
}

void TestFidoPinDialogs::useDefault()
{
    QFETCH(QString, mode);
    QFETCH(QString, fill);
    const auto dialog = open(mode);
    QCheckBox* box = dialog->findChild<QCheckBox*>();
    const QList<QLineEdit*> entries = fields(dialog.get());
    QLineEdit* current = entries.first();
    box->click();
    QCOMPARE(current->text(), fill);
    QCOMPARE(current->echoMode(), QLineEdit::Normal);
    QVERIFY(!current->isEnabled());

    box->click();
    QVERIFY(current->text().isEmpty());
    QCOMPARE(current->echoMode(), QLineEdit::Password);
    QVERIFY(current->isEnabled());

    // Both a failed check and the next showing start over, unticked.
    box->click();
    if (entries.size() == 1)
        static_cast<piv_pin*>(dialog.get())->setType(nullptr, mode);
    else
        dialog->findChild<QPushButton*>(QStringLiteral("OK"))->click(); // no new value: fails
    QVERIFY(!box->isChecked());
    QVERIFY(current->text().isEmpty());
    QVERIFY(current->isEnabled());
}

// The window reuses one dialog for every mode: nothing of the previous mode may stay.
void TestFidoPinDialogs::modeSwitchUndoesPreviousMode()
{
    changePIN dialog(nullptr, 1.0);
    dialog.setType(nullptr, QStringLiteral("changeManKey"));
    dialog.setType(nullptr, QStringLiteral("fidosetpin"));
    const QList<QLineEdit*> entries = fields(&dialog);
    QVERIFY(entries[2]->isHidden());
    QVERIFY(dialog.findChild<QCheckBox*>()->isHidden());
    type(entries[1], QStringLiteral("xyz")); // the hexadecimal rule is gone
    QCOMPARE(entries[1]->text(), QStringLiteral("xyz"));
}

void TestFidoPinDialogs::emptyWheneverShown_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("closing");
    for (const char* mode : {"PIV PIN:", "Management Key:", "Password:", "pivchangepuk", "changeManKey"})
        for (const char* closing : {"Cancel", "close"})
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(mode, closing))) << mode << closing;
}

// A cancelled prompt used to keep the typed secret until the next showing, and a showing that
// skipped setType would have offered it again.
void TestFidoPinDialogs::emptyWheneverShown()
{
    QFETCH(QString, mode);
    QFETCH(QString, closing);
    const auto dialog = open(mode);
    const auto allEmpty = [&dialog] {
        for (QLineEdit* edit : fields(dialog.get()))
            if (!edit->text().isEmpty())
                return false;
        return true;
    };
    dialog->show();
    for (QLineEdit* edit : fields(dialog.get()))
        edit->setText(QStringLiteral("123456"));
    if (auto* box = dialog->findChild<QCheckBox*>(); box && box->isVisible())
        box->click();
    if (closing == QLatin1String("Cancel"))
        dialog->findChild<QPushButton*>(QStringLiteral("Cancel"))->click();
    else
        dialog->close();
    QVERIFY(dialog->isHidden());
    QVERIFY(allEmpty());
    dialog->show();
    QVERIFY(allEmpty());
    dialog->close();
}

QTEST_MAIN(TestFidoPinDialogs)
#include "tst_fidoui_pindialogs.moc"
