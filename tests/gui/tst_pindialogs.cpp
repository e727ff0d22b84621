// The two PIN prompts on their own: check order, messages, character rules, "Use
// Default". Modes ending in a colon belong to the one-secret prompt, the others to the change
// prompt. Entries are typed, so the character rules apply as they do for a user, then Escape is
// pressed, which must change nothing, and Return, which must act as OK.
#include "ui/changepin.h"
#include "ui/piv_pin.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace {

const QString kKey = QStringLiteral("7E3D0C41F58B29D6B1C48E2F7D0B5C63D6E1F4C8072B3B5E");
const QString kFidoLength = QStringLiteral("The length of FIDO2 PIN must be between 4-63 characters.");
const QString kPivLength = QStringLiteral("The length of PIV PIN must be between 6-8 characters.");
const QString kKeyLength = QStringLiteral("The management key must be 48 hexadecimal digits.");

// Readies the prompt for a showing, as the window does each time.
void setType(QDialog* dialog, const QString& mode)
{
    if (auto* single = qobject_cast<piv_pin*>(dialog))
        single->setType(nullptr, mode);
    else
        static_cast<changePIN*>(dialog)->setType(nullptr, mode);
}

std::unique_ptr<QDialog> open(const QString& mode)
{
    std::unique_ptr<QDialog> dialog;
    if (mode.endsWith(':'))
        dialog = std::make_unique<piv_pin>(nullptr, 1.0);
    else
        dialog = std::make_unique<changePIN>(nullptr, 1.0);
    setType(dialog.get(), mode);
    return dialog;
}

// The entry fields, current secret first.
QList<QLineEdit*> fields(QDialog* dialog)
{
    QList<QLineEdit*> result;
    for (const char* name : {"pinV", "oldpinV", "newpinV", "conformPinV"})
        if (auto* edit = dialog->findChild<QLineEdit*>(name); edit && !edit->isHidden())
            result.append(edit);
    return result;
}

bool allEmpty(QDialog* dialog)
{
    const QList<QLineEdit*> entries = fields(dialog);
    return std::all_of(entries.begin(), entries.end(), [](QLineEdit* edit) { return edit->text().isEmpty(); });
}

// One table row of text columns.
template <typename... T> void row(const char* name, const T&... texts)
{
    (QTest::newRow(name) << ... << QString(texts));
}

} // namespace

class TestPinDialogs : public QObject
{
    Q_OBJECT

private slots:
    void checks_data();
    void checks();
    void useDefaultAndEmptyWheneverShown_data();
    void useDefaultAndEmptyWheneverShown();
};

void TestPinDialogs::checks_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("third");
    QTest::addColumn<QString>("message"); // empty: the input passes

    const QString k47 = kKey.left(47), low = kKey.toLower(), p63(63, 'p'), p64(64, 'p');
    row("change: 3", "fidochangepin", "1", "abc", "abc", kFidoLength);
    row("change: CJK dropped", "fidochangepin", "1", QString::fromUtf8("a中b，c!"), "abc!", "");
    row("set: 63", "fidosetpin", p63, p63, "", "");
    row("set: 64", "fidosetpin", p64, p64, "", kFidoLength);
    row("piv: 5", "pivchangepin", "123456", "12345", "12345", kPivLength);
    row("piv: 8, only digits", "pivchangepin", "123456", "12ab345678", "12345678", "");
    // The current PUK has no length rule.
    row("puk: 5", "pivchangepuk", "123", "65432", "65432", "The length of PIV PUK must be between 6-8 characters.");
    row("key: new 47", "changeManKey", kKey, k47, k47, kKeyLength);
    row("key: 48, only hex", "changeManKey", kKey, low, low + "gZ-", "");
    row("password: none", "Password:", "", "", "", "");
    row("password: 128", "Password:", QString(128, 'w'), "", "",
        "The length of Certificate password must be less 128 characters.");
    row("PIV: empty", "PIV PIN:", "", "", "", "Please input data");
    row("PIV: 9", "PIV PIN:", "123456789", "", "", kPivLength);
    row("PIV: 8, only digits", "PIV PIN:", "1x2345678", "", "", "");
    row("FIDO: 3 once CJK is dropped", "FIDO PIN:", QString::fromUtf8("12龥3"), "", "", kFidoLength);
    row("FIDO: 63", "FIDO PIN:", QString(63, '1'), "", "", "");
    row("FIDO: 64", "FIDO PIN:", QString(64, '1'), "", "", kFidoLength);
    row("key: 47", "Management Key:", k47, "", "", kKeyLength);
    row("key: 48, only hex", "Management Key:", kKey + "X", "", "", "");
}

void TestPinDialogs::checks()
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
    // Typed character by character, as a keyboard or input method would (keyClicks only knows ASCII).
    for (int i = 0; i < entries.size(); ++i)
        for (const QChar c : typed[i])
            QTest::sendKeyEvent(QTest::Click, entries[i], Qt::Key_unknown, QString(c), Qt::NoModifier);
    const QString kept = entries[0]->text();
    QTest::keyClick(entries.last(), Qt::Key_Escape);
    QVERIFY(dialog->isVisible());
    QTest::keyClick(entries.last(), Qt::Key_Return);

    const bool single = mode.endsWith(':');
    QLabel* tip = dialog->findChild<QLabel*>(single ? "pinTip" : "tip");
    QCOMPARE(tip->text(), message);
    QCOMPARE(dialog->result() == QDialog::Accepted, message.isEmpty());
    QCOMPARE(dialog->isVisible(), !message.isEmpty());
    // A failed change starts the entry over; a single secret stays for correction.
    if (!message.isEmpty())
        QCOMPARE(entries[0]->text(), single ? kept : QString());
    setType(dialog.get(), mode); // the next showing starts without the complaint
    QCOMPARE(tip->text(), QString());
}

void TestPinDialogs::useDefaultAndEmptyWheneverShown_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("fill");
    row("PIV PIN", "pivchangepin", "80417326");
    row("PUK", "pivchangepuk", "80417326");
    row("key", "changeManKey", kKey);
    row("PIV PIN:", "PIV PIN:", "80417326");
    row("Management Key:", "Management Key:", kKey);
}

// Ticked: the factory value in clear and locked. Unticked, cancelled, closed or shown again: an
// empty hidden entry, unticked; a closed prompt used to keep the typed secret.
void TestPinDialogs::useDefaultAndEmptyWheneverShown()
{
    QFETCH(QString, mode);
    QFETCH(QString, fill);
    const auto dialog = open(mode);
    QCheckBox* box = dialog->findChild<QCheckBox*>();
    QLineEdit* current = fields(dialog.get()).first();
    const auto state = [&] {
        const bool clear = current->echoMode() == QLineEdit::Normal;
        return QStringList{current->text(), QString::number(current->isEnabled()), QString::number(clear)};
    };
    const QStringList empty{"", "1", "0"};
    for (const char* undo : {"untick", "Cancel", "close"}) {
        dialog->show();
        for (QLineEdit* edit : fields(dialog.get()))
            edit->setText(QStringLiteral("123456"));
        box->click();
        QCOMPARE(state(), (QStringList{fill, "0", "1"}));
        if (undo == QLatin1String("untick"))
            box->click();
        else if (undo == QLatin1String("Cancel"))
            dialog->findChild<QPushButton*>(undo)->click();
        else
            dialog->close();
        QCOMPARE(state(), empty);
        QVERIFY(!box->isChecked());
        QVERIFY(undo == QLatin1String("untick") || allEmpty(dialog.get()));
    }
    // Whatever the fields hold, a new showing offers nothing.
    for (QLineEdit* edit : fields(dialog.get()))
        edit->setText(QStringLiteral("123456"));
    dialog->show();
    QVERIFY(allEmpty(dialog.get()));
    dialog->close();
}

QTEST_MAIN(TestPinDialogs)
#include "tst_pindialogs.moc"
