// The prompts and message boxes on their own: what each shows in each of its modes (a part a mode
// hides must not linger from the mode before), the PIN prompts' checks, character rules and "Use
// Default", the message box's answers, and the busy panel's time limit. Modes ending in a colon
// belong to the one-secret prompt, the others to the change prompt.
#include "common/modalhelper.h"
#include "ui/changepin.h"
#include "ui/dialogmessage.h"
#include "ui/piv_pin.h"
#include "ui/registfingerprint.h"
#include "ui/waitingdialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMovie>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

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

QString entered(QDialog* dialog)
{
    QStringList all;
    for (QLineEdit* edit : fields(dialog))
        all << edit->text();
    return all.join(QString());
}

// The texts of the visible labels and check boxes, the tips of visible icon buttons and the hints of
// the visible fields, in form order.
QString shown(QDialog* dialog)
{
    QStringList texts;
    for (QWidget* part : dialog->findChildren<QWidget*>()) {
        if (!part->isVisibleTo(dialog))
            continue;
        if (auto* label = qobject_cast<QLabel*>(part))
            texts << label->text();
        else if (auto* box = qobject_cast<QCheckBox*>(part))
            texts << box->text();
        else if (auto* button = qobject_cast<QAbstractButton*>(part); button && button->text().isEmpty())
            texts << button->toolTip();
        else if (auto* field = qobject_cast<QLineEdit*>(part))
            texts << field->placeholderText();
    }
    texts.removeAll(QString());
    return texts.join(QLatin1String(" | "));
}

// One table row of text columns.
template <typename... T> void row(const char* name, const T&... texts)
{
    (QTest::newRow(name) << ... << QString(texts));
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void pinTexts_data();
    void pinTexts();
    void fingerprintTexts_data();
    void fingerprintTexts();
    void pinChecks_data();
    void pinChecks();
    void useDefaultAndEmptyWheneverShown_data();
    void useDefaultAndEmptyWheneverShown();
    void messageLooks_data();
    void messageLooks();
    void messageAnswers_data();
    void messageAnswers();
    void busyTimeLimit_data();
    void busyTimeLimit();

private:
    QWidget* m_parent = nullptr;
};

void TestDialogs::init()
{
    m_parent = new QWidget;
    m_parent->setGeometry(100, 80, 800, 600);
}

void TestDialogs::cleanup()
{
    delete m_parent;
    QCOMPARE(visibleDialogCount(), 0);
}

void TestDialogs::pinTexts_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("texts");
    // Filling the fields one by one with "1", then the last with "2" instead; an accepted entry
    // shows none.
    QTest::addColumn<QString>("refusals");
    row("fidosetpin", "fidosetpin",
        "Set PIN | New PIN: | Please input new pin | Confirm PIN: | Please input confirm pin",
        "New PIN cannot be empty. | Confirm PIN cannot be empty. | The length of FIDO2 PIN "
        "must be between 4-63 characters. | Current PIN not match the confirm PIN.");
    row("fidochangepin", "fidochangepin",
        "Change PIN | Old PIN: | Please input old pin | New PIN: | Please input new pin | Confirm PIN: | Please "
        "input confirm pin",
        "Old PIN cannot be empty. | New PIN cannot be empty. | Confirm PIN cannot be empty. | The length of FIDO2 "
        "PIN must be between 4-63 characters. | New PIN not match the confirm PIN.");
    row("pivchangepin", "pivchangepin",
        "Change PIN | Old PIN: | Please input old pin | Use Default | New PIN: | Please input new pin | Confirm "
        "PIN: | Please input confirm pin",
        "Old PIN cannot be empty. | New PIN cannot be empty. | Confirm PIN cannot be empty. | The length of PIV PIN "
        "must be between 6-8 characters. | New PIN not match the confirm PIN.");
    row("pivchangepuk", "pivchangepuk",
        "Change PUK | Old PUK: | Please input old puk | Use Default | New PUK: | Please input new puk | Confirm "
        "PUK: | Please input confirm puk",
        "Old PUK cannot be empty. | New PUK cannot be empty. | Confirm PUK cannot be empty. | The length of PIV PUK "
        "must be between 6-8 characters. | New PUK not match the confirm PUK.");
    row("changeManKey", "changeManKey",
        "Change Management Key | Old MKey: | Please input old manager key | Use Default | New MKey: | Please input "
        "new manager key | Confirm MKey: | Please input confirm manager key",
        "Old management key cannot be empty. | New management key cannot be empty. | Confirm management key cannot "
        "be empty. | The management key must be 48 hexadecimal digits. | New management key not match the confirm "
        "management key.");
    row("Password:", "Password:", "Verify Cert Password | Password: | Please input cert password", "");
    row("PIV PIN:", "PIV PIN:", "Verify PIV | PIV PIN: | Please input PIV PIN | Use Default",
        "Please input data | " + kPivLength + " | " + kPivLength);
    row("FIDO PIN:", "FIDO PIN:", "Verify FIDO | FIDO PIN: | Please input FIDO PIN",
        "Please input data | " + kFidoLength + " | " + kFidoLength);
    row("Management Key:", "Management Key:",
        "Verify PIV Management Key | Management Key: | Please input PIV Management Key | Use Default",
        "Please input data | " + kKeyLength + " | " + kKeyLength);
}

// Each mode follows a refusal in the management-key mode of its prompt, which shows every part.
void TestDialogs::pinTexts()
{
    QFETCH(QString, mode);
    QFETCH(QString, texts);
    QFETCH(QString, refusals);
    const bool single = mode.endsWith(':');
    const auto dialog = open(single ? QStringLiteral("Management Key:") : QStringLiteral("changeManKey"));
    auto* ok = dialog->findChild<QAbstractButton*>(QStringLiteral("OK"));
    ok->click(); // a refusal to be cleared
    setType(dialog.get(), mode);
    QCOMPARE(shown(dialog.get()), texts);
    const QList<QLineEdit*> entries = fields(dialog.get());
    QStringList tips;
    for (int filled = 0; filled <= entries.size() + 1; ++filled) {
        for (int i = 0; i < qMin(filled, entries.size()); ++i)
            entries[i]->setText(i == entries.size() - 1 && filled > entries.size() ? "2" : "1");
        ok->click();
        tips << dialog->findChild<QLabel*>(single ? "pinTip" : "tip")->text();
    }
    tips.removeAll(QString());
    QCOMPARE(tips.join(QLatin1String(" | ")), refusals);
}

void TestDialogs::fingerprintTexts_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("sample"); // remaining touches the key reports, if any
    QTest::addColumn<QString>("texts");
    row("add", "addfinger", "",
        "Touch the fingerprint sensor | Add Fingerprint | Repeatedly lift and rest your finger on "
        "the sensor |  until setup is complete. | Close");
    row("test", "testfinger", "", "Touch the fingerprint sensor | Test FingerPrint");
    row("done", "addfinger", "0", "All Set! | Add Fingerprint | Close");
}

// Each row follows a test, which hides the close button, and an enrolment, which shows every tip.
void TestDialogs::fingerprintTexts()
{
    QFETCH(QString, mode);
    QFETCH(QString, sample);
    QFETCH(QString, texts);
    registFingerprint dialog(nullptr, 1.0);
    dialog.setType(nullptr, QStringLiteral("testfinger"));
    dialog.setType(nullptr, QStringLiteral("addfinger"));
    dialog.setType(nullptr, mode);
    if (!sample.isEmpty())
        dialog.updateUI(sample);
    QCOMPARE(shown(&dialog), texts);
}

void TestDialogs::pinChecks_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("third");
    QTest::addColumn<QString>("message"); // empty: the input passes

    const QString low = kKey.toLower(), p63(63, 'p'), p64(64, 'p');
    row("change: CJK dropped", "fidochangepin", "1", QString::fromUtf8("a中b，c!"), "abc!", "");
    row("set: 63", "fidosetpin", p63, p63, "", "");
    row("set: 64", "fidosetpin", p64, p64, "", kFidoLength);
    row("piv: 8, only digits", "pivchangepin", "123456", "12ab345678", "12345678", "");
    // The current PUK has no length rule.
    row("puk: 5", "pivchangepuk", "123", "65432", "65432", "The length of PIV PUK must be between 6-8 characters.");
    row("key: 48, only hex", "changeManKey", kKey, low, low + "gZ-", "");
    row("password: 128", "Password:", QString(128, 'w'), "", "",
        "The length of Certificate password must be less 128 characters.");
    row("PIV: 9", "PIV PIN:", "123456789", "", "", kPivLength);
    row("PIV: 8, only digits", "PIV PIN:", "1x2345678", "", "", "");
    row("FIDO: 3 once CJK is dropped", "FIDO PIN:", QString::fromUtf8("12龥3"), "", "", kFidoLength);
    row("FIDO: 63", "FIDO PIN:", QString(63, '1'), "", "", "");
    row("FIDO: 64", "FIDO PIN:", QString(64, '1'), "", "", kFidoLength);
    row("key: 48, only hex", "Management Key:", kKey + "X", "", "", "");
}

// Entries are typed, so the character rules apply as they do for a user, then Escape is pressed,
// which must change nothing, and Return, which must act as OK.
void TestDialogs::pinChecks()
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
}

void TestDialogs::useDefaultAndEmptyWheneverShown_data()
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
void TestDialogs::useDefaultAndEmptyWheneverShown()
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
        QCOMPARE(state(), (QStringList{"", "1", "0"}));
        QVERIFY(!box->isChecked());
        QVERIFY(undo == QLatin1String("untick") || entered(dialog.get()).isEmpty());
    }
    // Whatever the fields hold, a new showing offers nothing.
    for (QLineEdit* edit : fields(dialog.get()))
        edit->setText(QStringLiteral("123456"));
    dialog->show();
    QCOMPARE(entered(dialog.get()), QString());
    dialog->close();
}

void TestDialogs::messageLooks_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::newRow("information") << 0 << "Set PIN successfully.";
    QTest::newRow("warning, longest line in the middle") << 1 << "abc\nthe longest line here\nmiddle\nfour\nfive";
    QTest::newRow("error") << 2 << "WWWW\niiii";
    QTest::newRow("question") << 3 << "Sure?";
    QTest::newRow("unknown kind") << 7 << "a much longer text than before";
}

// Each row follows a six-line question: a kind that shows no Cancel must hide it, an unknown kind
// keeps the question's icon and buttons, every line has room, and the height grown for six lines
// is given back, so the box looks as a fresh one does.
void TestDialogs::messageLooks()
{
    QFETCH(int, kind);
    QFETCH(QString, text);
    DialogMessage fresh(m_parent, 1.0);
    fresh.setDialog(m_parent, kind, QStringLiteral("Title"), text);
    DialogMessage dialog(m_parent, 1.0);
    dialog.setDialog(m_parent, 3, QStringLiteral("Question"), QStringLiteral("Sure?\n\n\n\n\n"));
    dialog.setDialog(m_parent, kind, QStringLiteral("Title"), text);
    QCOMPARE(dialog.size(), fresh.size());
    auto* message = dialog.findChild<QLabel*>(QStringLiteral("label_message"));
    const QFontMetrics metrics(message->font());
    const QStringList lines = text.split('\n');
    for (const QString& line : lines)
        QVERIFY(message->width() >= metrics.horizontalAdvance(line));
    QVERIFY(message->height() >= metrics.lineSpacing() * lines.size());
    const char* icons[] = {"info", "warning", "error", "question"};
    QVERIFY(dialog.findChild<QFrame*>(QStringLiteral("frame_message"))->styleSheet().contains(icons[qMin(kind, 3)]));
    QCOMPARE(dialog.findChild<QPushButton*>(QStringLiteral("cancel"))->isHidden(), kind < 3);
}

void TestDialogs::messageAnswers_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("focus"); // the button that has the keyboard focus, if any
    QTest::addColumn<int>("key");       // none: the window closes the dialog
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("Return on a question") << 3 << "" << int(Qt::Key_Return) << true;
    // Tab to Cancel, then Return: that is a Cancel, never an OK.
    QTest::newRow("Return on a focused Cancel") << 3 << "cancel" << int(Qt::Key_Return) << false;
    QTest::newRow("Escape on a question") << 3 << "" << int(Qt::Key_Escape) << false;
    QTest::newRow("Enter on a notice") << 0 << "" << int(Qt::Key_Enter) << true;
    // A question closed by the window (key removed) must not count as an earlier "OK".
    QTest::newRow("closed by the window") << 3 << "" << 0 << false;
}

void TestDialogs::messageAnswers()
{
    QFETCH(int, kind);
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(bool, confirmed);
    ModalHelper helper;
    helper.actWhenShown(QStringLiteral("DialogMessage"), [&](QWidget* w) {
        if (!focus.isEmpty()) {
            QApplication::setActiveWindow(w);
            w->findChild<QPushButton*>(focus)->setFocus();
        }
        if (key)
            QTest::keyClick(w, Qt::Key(key));
        else
            w->close();
    });
    DialogMessage dialog(m_parent, 1.0);
    dialog.okPressed = true; // the answer of an earlier showing
    dialog.setDialog(m_parent, kind, QStringLiteral("Title"), QStringLiteral("Text"));
    dialog.exec();
    QVERIFY(helper.idle());
    QCOMPARE(dialog.okPressed, confirmed);
    QVERIFY(!dialog.isVisible());
}

void TestDialogs::busyTimeLimit_data()
{
    QTest::addColumn<bool>("hideBetween");
    QTest::addColumn<int>("lastQuietSecond"); // seconds after the first show
    QTest::newRow("shown twice") << false << 60;
    QTest::newRow("hidden, then shown again") << true << 100;
}

// The busy panel's 60 seconds run from the showing that put it up; a clock the test moves checks
// them. Its animation runs only while it is shown.
void TestDialogs::busyTimeLimit()
{
    QFETCH(bool, hideBetween);
    QFETCH(int, lastQuietSecond);
    QDateTime now(QDate(2024, 5, 1), QTime(10, 0, 0, 250));
    WaitingDialog busy(m_parent, [&now] { return now; });
    QSignalSpy spy(&busy, &WaitingDialog::operationTimedout);
    QMovie* animation = busy.panel()->findChild<QLabel*>(QStringLiteral("waitingAnimation"))->movie();
    QCOMPARE(animation->state(), QMovie::NotRunning);
    busy.show(m_parent, QStringLiteral("first"));
    QCOMPARE(busy.panel()->windowModality(), Qt::ApplicationModal);
    QCOMPARE(animation->state(), QMovie::Running);
    now = now.addSecs(40);
    if (hideBetween) {
        busy.hide();
        QCOMPARE(animation->state(), QMovie::NotRunning); // a hidden animation kept the idle application busy
    }
    busy.show(m_parent, QStringLiteral("second"));
    QCOMPARE(busy.text(), QStringLiteral("second"));

    now = now.addSecs(lastQuietSecond - 40);
    busy.updateProgress();
    QCOMPARE(spy.count(), 0);
    QVERIFY(busy.isShowing());
    now = now.addSecs(1); // the panel's own tick notices
    QVERIFY(spy.wait(2000));
    QCOMPARE(spy.count(), 1);
    QVERIFY(!busy.isShowing());
    QCOMPARE(animation->state(), QMovie::NotRunning);
}

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
