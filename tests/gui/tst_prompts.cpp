// What each prompt shows in each of its modes: headings, labels, hints and refusals are read by
// the user, and a part a mode hides must not linger from the mode before.
#include "ui/changepin.h"
#include "ui/piv_pin.h"
#include "ui/registfingerprint.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

namespace {

// The texts of the visible labels and check boxes, the tips of visible icon buttons and the hints of
// the visible fields, in form order.
QString shown(QDialog& dialog)
{
    QStringList texts;
    for (QWidget* part : dialog.findChildren<QWidget*>()) {
        if (!part->isVisibleTo(&dialog))
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

} // namespace

class TestPrompts : public QObject
{
    Q_OBJECT

private slots:
    void changePin_data();
    void changePin();
    void onePin_data();
    void onePin();
    void fingerprint_data();
    void fingerprint();

private:
    template <typename... T> static void row(const char* name, const T&... texts)
    {
        (QTest::newRow(name) << ... << QString(texts));
    }
};

void TestPrompts::changePin_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("texts");
    // Filling the fields one by one with "1", then the last with "2" instead.
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
}

// Each mode follows a refusal in the management-key mode, which shows every part.
void TestPrompts::changePin()
{
    QFETCH(QString, mode);
    QFETCH(QString, texts);
    QFETCH(QString, refusals);
    changePIN dialog(nullptr, 1.0);
    dialog.setType(nullptr, QStringLiteral("changeManKey"));
    dialog.findChild<QAbstractButton*>(QStringLiteral("OK"))->click(); // a refusal to be cleared
    dialog.setType(nullptr, mode);
    QCOMPARE(shown(dialog), texts);
    QList<QLineEdit*> fields;
    for (QLineEdit* field : dialog.findChildren<QLineEdit*>())
        if (field->isVisibleTo(&dialog))
            fields << field;
    QStringList tips;
    const auto refusal = [&](int filled, const QString& last) {
        for (int i = 0; i < filled; ++i)
            fields[i]->setText(i == fields.size() - 1 ? last : QStringLiteral("1"));
        dialog.findChild<QAbstractButton*>(QStringLiteral("OK"))->click();
        tips << dialog.findChild<QLabel*>(QStringLiteral("tip"))->text();
    };
    for (int filled = 0; filled <= fields.size(); ++filled)
        refusal(filled, QStringLiteral("1"));
    refusal(fields.size(), QStringLiteral("2"));
    QCOMPARE(tips.join(QLatin1String(" | ")), refusals);
}

void TestPrompts::onePin_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("texts");
    row("Password:", "Password:", "Verify Cert Password | Password: | Please input cert password");
    row("PIV PIN:", "PIV PIN:", "Verify PIV | PIV PIN: | Please input PIV PIN | Use Default");
    row("FIDO PIN:", "FIDO PIN:", "Verify FIDO | FIDO PIN: | Please input FIDO PIN");
    row("Management Key:", "Management Key:",
        "Verify PIV Management Key | Management Key: | Please input PIV Management Key | Use Default");
}

// Each kind follows a refusal of the management key, which shows every part.
void TestPrompts::onePin()
{
    QFETCH(QString, type);
    QFETCH(QString, texts);
    piv_pin dialog(nullptr, 1.0);
    dialog.setType(nullptr, QStringLiteral("Management Key:"));
    dialog.findChild<QAbstractButton*>(QStringLiteral("OK"))->click(); // a refusal to be cleared
    dialog.setType(nullptr, type);
    QCOMPARE(shown(dialog), texts);
}

void TestPrompts::fingerprint_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("sample"); // remaining touches the key reports, if any
    QTest::addColumn<QString>("error");  // error code the key reports, if any
    QTest::addColumn<QString>("texts");
    row("add", "addfinger", "", "",
        "Touch the fingerprint sensor | Add Fingerprint | Repeatedly lift and rest your finger on "
        "the sensor |  until setup is complete. | Close");
    row("test", "testfinger", "", "", "Touch the fingerprint sensor | Test FingerPrint");
    row("three to go", "addfinger", "3", "", "Great, touch sensor three more times | Add Fingerprint | Close");
    row("done", "addfinger", "0", "", "All Set! | Add Fingerprint | Close");
    row("not touched", "addfinger", "", "13", "User did not touch the authenticator | Add Fingerprint | Close");
}

// Each row follows a test, which hides the close button, and an enrolment, which shows every tip.
void TestPrompts::fingerprint()
{
    QFETCH(QString, mode);
    QFETCH(QString, sample);
    QFETCH(QString, error);
    QFETCH(QString, texts);
    registFingerprint dialog(nullptr, 1.0);
    dialog.setType(nullptr, QStringLiteral("testfinger"));
    dialog.setType(nullptr, QStringLiteral("addfinger"));
    dialog.setType(nullptr, mode);
    if (!sample.isEmpty())
        dialog.updateUI(sample);
    if (!error.isEmpty())
        dialog.errCode(error);
    QCOMPARE(shown(dialog), texts);
}

QTEST_MAIN(TestPrompts)
#include "tst_prompts.moc"
