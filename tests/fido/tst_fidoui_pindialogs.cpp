// The two PIN prompts on their own: check order, messages, character rules, "Use Default" and
// keys. Fields are filled with setText where the rule under test is a check, and typed where
// it is a character rule (setText bypasses validators).
#include "fido/crelistdialog.h"
#include "fido/registfingerprint.h"
#include "piv/changepin.h"
#include "piv/piv_pin.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

QLineEdit* field(QWidget& dialog, const char* name)
{
    return dialog.findChild<QLineEdit*>(QLatin1String(name));
}

QString text(QWidget& dialog, const char* label)
{
    return dialog.findChild<QLabel*>(QLatin1String(label))->text();
}

QCheckBox* defaultBox(QWidget& dialog)
{
    return dialog.findChildren<QCheckBox*>(QRegularExpression(QStringLiteral("^checkBox_usedefault"))).value(0);
}

// Types character by character, as a keyboard or input method would (keyClicks only knows ASCII).
void type(QLineEdit* edit, const QString& text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

const QString kManagementKey = QStringLiteral("7E3D0C41F58B29D6B1C48E2F7D0B5C63D6E1F4C8072B3B5E");

} // namespace

class TestFidoPinDialogs : public QObject
{
    Q_OBJECT

private slots:
    void changePinChecks_data();
    void changePinChecks();
    void modeSwitchUndoesPreviousMode();
    void characterRules_data();
    void characterRules();
    void changePinUseDefault_data();
    void changePinUseDefault();
    void failedCheckResetsUseDefault();
    void keys_data();
    void keys();
    void pivPinChecks_data();
    void pivPinChecks();
    void pivPinUseDefault();
    void nextShowingForgetsInput();
    void dialogsFollowScale();
};

void TestFidoPinDialogs::changePinChecks_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("third");
    QTest::addColumn<QString>("message"); // empty: the input passes

    const QString fidoLength = QStringLiteral("The length of FIDO2 PIN must be between 4-63 characters.");
    const QString pivLength = QStringLiteral("The length of PIV PIN must be between 6-8 characters.");
    const QString pukLength = QStringLiteral("The length of PIV PUK must be between 6-8 characters.");
    const QString keyLength = QStringLiteral("The management key must be 48 hexadecimal digits.");
    const QString k47 = kManagementKey.left(47);
    const QString k48lower = kManagementKey.toLower();

    QTest::newRow("change: all empty") << "fidochangepin"
                                       << ""
                                       << ""
                                       << ""
                                       << "Old PIN cannot be empty.";
    QTest::newRow("change: new empty") << "fidochangepin"
                                       << "1234"
                                       << ""
                                       << ""
                                       << "New PIN cannot be empty.";
    QTest::newRow("change: confirm empty") << "fidochangepin"
                                           << "1234"
                                           << "5678"
                                           << ""
                                           << "Confirm PIN cannot be empty.";
    QTest::newRow("change: mismatch") << "fidochangepin"
                                      << "1234"
                                      << "5678"
                                      << "5679"
                                      << "New PIN not match the confirm PIN.";
    QTest::newRow("change: case matters") << "fidochangepin"
                                          << "1234"
                                          << "abcd"
                                          << "ABCD"
                                          << "New PIN not match the confirm PIN.";
    QTest::newRow("change: 3") << "fidochangepin"
                               << "1"
                               << "abc"
                               << "abc" << fidoLength;
    QTest::newRow("change: 4") << "fidochangepin"
                               << "1"
                               << "abcd"
                               << "abcd"
                               << "";
    QTest::newRow("set: first empty") << "fidosetpin"
                                      << ""
                                      << "1234"
                                      << ""
                                      << "New PIN cannot be empty.";
    QTest::newRow("set: confirm empty") << "fidosetpin"
                                        << "1234"
                                        << ""
                                        << ""
                                        << "Confirm PIN cannot be empty.";
    QTest::newRow("set: mismatch") << "fidosetpin"
                                   << "1234"
                                   << "5678"
                                   << ""
                                   << "Current PIN not match the confirm PIN.";
    QTest::newRow("set: 3") << "fidosetpin"
                            << "abc"
                            << "abc"
                            << "" << fidoLength;
    QTest::newRow("set: 63") << "fidosetpin" << QString(63, 'p') << QString(63, 'p') << ""
                             << "";
    QTest::newRow("set: 64") << "fidosetpin" << QString(64, 'p') << QString(64, 'p') << "" << fidoLength;
    QTest::newRow("piv: old empty") << "pivchangepin"
                                    << ""
                                    << "123456"
                                    << "123456"
                                    << "Old PIN cannot be empty.";
    QTest::newRow("piv: 5") << "pivchangepin"
                            << "123456"
                            << "12345"
                            << "12345" << pivLength;
    QTest::newRow("piv: 6") << "pivchangepin"
                            << "123456"
                            << "123456"
                            << "123456"
                            << "";
    QTest::newRow("piv: 8") << "pivchangepin"
                            << "123456"
                            << "12345678"
                            << "12345678"
                            << "";
    QTest::newRow("piv: 9") << "pivchangepin"
                            << "123456"
                            << "123456789"
                            << "123456789" << pivLength;
    QTest::newRow("puk: old empty") << "pivchangepuk"
                                    << ""
                                    << "123456"
                                    << "123456"
                                    << "Old PUK cannot be empty.";
    QTest::newRow("puk: new empty") << "pivchangepuk"
                                    << "1"
                                    << ""
                                    << ""
                                    << "New PUK cannot be empty.";
    QTest::newRow("puk: confirm empty") << "pivchangepuk"
                                        << "1"
                                        << "123456"
                                        << ""
                                        << "Confirm PUK cannot be empty.";
    QTest::newRow("puk: mismatch") << "pivchangepuk"
                                   << "1"
                                   << "123456"
                                   << "123457"
                                   << "New PUK not match the confirm PUK.";
    QTest::newRow("puk: old of 3 is fine") << "pivchangepuk"
                                           << "123"
                                           << "654321"
                                           << "654321"
                                           << "";
    QTest::newRow("puk: 5") << "pivchangepuk"
                            << "123"
                            << "65432"
                            << "65432" << pukLength;
    QTest::newRow("key: old empty") << "changeManKey"
                                    << "" << kManagementKey << kManagementKey << "Old management key cannot be empty.";
    QTest::newRow("key: new empty") << "changeManKey" << kManagementKey << ""
                                    << ""
                                    << "New management key cannot be empty.";
    QTest::newRow("key: confirm empty") << "changeManKey" << kManagementKey << kManagementKey << ""
                                        << "Confirm management key cannot be empty.";
    QTest::newRow("key: mismatch") << "changeManKey" << kManagementKey << kManagementKey << k48lower
                                   << "New management key not match the confirm management key.";
    QTest::newRow("key: old 47") << "changeManKey" << k47 << kManagementKey << kManagementKey << keyLength;
    QTest::newRow("key: new 47") << "changeManKey" << kManagementKey << k47 << k47 << keyLength;
    QTest::newRow("key: 48 both cases") << "changeManKey" << kManagementKey << k48lower << k48lower << "";
}

void TestFidoPinDialogs::changePinChecks()
{
    QFETCH(QString, mode);
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, third);
    QFETCH(QString, message);

    changePIN dialog(nullptr, 1.0);
    dialog.setType(nullptr, mode);
    dialog.show();
    field(dialog, "oldpinV")->setText(first);
    field(dialog, "newpinV")->setText(second);
    field(dialog, "conformPinV")->setText(third);
    dialog.findChild<QPushButton*>(QStringLiteral("OK"))->click();

    QCOMPARE(text(dialog, "tip"), message);
    QCOMPARE(dialog.okPressed, message.isEmpty());
    QCOMPARE(dialog.isVisible(), !message.isEmpty());
    if (!message.isEmpty()) {
        // A failed check starts the entry over.
        QVERIFY(field(dialog, "oldpinV")->text().isEmpty());
        QVERIFY(field(dialog, "newpinV")->text().isEmpty());
        QVERIFY(field(dialog, "conformPinV")->text().isEmpty());
    }
}

void TestFidoPinDialogs::modeSwitchUndoesPreviousMode()
{
    changePIN dialog(nullptr, 1.0);
    dialog.setType(nullptr, QStringLiteral("fidosetpin"));
    QVERIFY(field(dialog, "conformPinV")->isHidden());
    QCOMPARE(text(dialog, "oldpin"), QStringLiteral("New PIN:"));
    dialog.setType(nullptr, QStringLiteral("changeManKey"));
    QVERIFY(!field(dialog, "conformPinV")->isHidden());
    QVERIFY(!defaultBox(dialog)->isHidden());
    dialog.setType(nullptr, QStringLiteral("fidochangepin"));
    QVERIFY(defaultBox(dialog)->isHidden());
    type(field(dialog, "newpinV"), QStringLiteral("xyz")); // the hexadecimal rule is gone
    QCOMPARE(field(dialog, "newpinV")->text(), QStringLiteral("xyz"));
}

void TestFidoPinDialogs::characterRules_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("digits") << "pivchangepin"
                            << "12ab3 4"
                            << "1234";
    QTest::newRow("hexadecimal") << "changeManKey"
                                 << "0aFgZ9-"
                                 << "0aF9";
    QTest::newRow("no CJK") << "fidochangepin" << QString::fromUtf8("a中b，c!") << "abc!";
    QTest::newRow("cert password takes anything")
        << "Password:" << QString::fromUtf8("a中 ，") << QString::fromUtf8("a中 ，");
    QTest::newRow("PIV PIN prompt") << "PIV PIN:"
                                    << "9x8"
                                    << "98";
    QTest::newRow("FIDO PIN prompt") << "FIDO PIN:" << QString::fromUtf8("p龥in") << "pin";
    QTest::newRow("key prompt") << "Management Key:"
                                << "abXc"
                                << "abc";
}

void TestFidoPinDialogs::characterRules()
{
    QFETCH(QString, mode);
    QFETCH(QString, typed);
    QFETCH(QString, kept);

    // Modes end in a colon for the one-secret prompt.
    if (mode.endsWith(QLatin1Char(':'))) {
        piv_pin dialog(nullptr, 1.0);
        dialog.setType(nullptr, mode);
        type(field(dialog, "pinV"), typed);
        QCOMPARE(field(dialog, "pinV")->text(), kept);
        return;
    }
    changePIN dialog(nullptr, 1.0);
    dialog.setType(nullptr, mode);
    for (const char* name : {"oldpinV", "newpinV", "conformPinV"}) {
        type(field(dialog, name), typed);
        QCOMPARE(field(dialog, name)->text(), kept);
    }
}

void TestFidoPinDialogs::changePinUseDefault_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("fill");
    QTest::newRow("PIN") << "pivchangepin"
                         << "80417326";
    QTest::newRow("PUK") << "pivchangepuk"
                         << "80417326";
    QTest::newRow("key") << "changeManKey" << kManagementKey;
}

void TestFidoPinDialogs::changePinUseDefault()
{
    QFETCH(QString, mode);
    QFETCH(QString, fill);

    changePIN dialog(nullptr, 1.0);
    dialog.setType(nullptr, mode);
    QLineEdit* old = field(dialog, "oldpinV");
    defaultBox(dialog)->click();
    QCOMPARE(old->text(), fill);
    QCOMPARE(old->echoMode(), QLineEdit::Normal);
    QVERIFY(!old->isEnabled());
    QVERIFY(field(dialog, "newpinV")->text().isEmpty()); // only the current value is offered

    defaultBox(dialog)->click();
    QVERIFY(old->text().isEmpty());
    QCOMPARE(old->echoMode(), QLineEdit::Password);
    QVERIFY(old->isEnabled());
}

void TestFidoPinDialogs::failedCheckResetsUseDefault()
{
    changePIN dialog(nullptr, 1.0);
    dialog.setType(nullptr, QStringLiteral("pivchangepuk"));
    defaultBox(dialog)->click();
    field(dialog, "newpinV")->setText(QStringLiteral("12345"));
    field(dialog, "conformPinV")->setText(QStringLiteral("12345"));
    dialog.findChild<QPushButton*>(QStringLiteral("OK"))->click();

    QCOMPARE(text(dialog, "tip"), QStringLiteral("The length of PIV PUK must be between 6-8 characters."));
    QVERIFY(!defaultBox(dialog)->isChecked());
    QLineEdit* old = field(dialog, "oldpinV");
    QVERIFY(old->text().isEmpty());
    QVERIFY(old->isEnabled());
    QCOMPARE(old->echoMode(), QLineEdit::Password);
}

void TestFidoPinDialogs::keys_data()
{
    QTest::addColumn<bool>("changeDialog");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("closes");
    QTest::newRow("changePIN Escape") << true << int(Qt::Key_Escape) << false;
    QTest::newRow("changePIN Return") << true << int(Qt::Key_Return) << true;
    QTest::newRow("changePIN keypad Enter") << true << int(Qt::Key_Enter) << true;
    QTest::newRow("piv_pin Escape") << false << int(Qt::Key_Escape) << false;
    QTest::newRow("piv_pin Return") << false << int(Qt::Key_Return) << true;
}

void TestFidoPinDialogs::keys()
{
    QFETCH(bool, changeDialog);
    QFETCH(int, key);
    QFETCH(bool, closes);

    changePIN change(nullptr, 1.0);
    piv_pin single(nullptr, 1.0);
    QDialog& dialog = changeDialog ? static_cast<QDialog&>(change) : static_cast<QDialog&>(single);
    QLineEdit* typing = nullptr;
    if (changeDialog) {
        change.setType(nullptr, QStringLiteral("fidochangepin"));
        field(dialog, "oldpinV")->setText(QStringLiteral("1234"));
        field(dialog, "newpinV")->setText(QStringLiteral("5678"));
        field(dialog, "conformPinV")->setText(QStringLiteral("5678"));
        typing = field(dialog, "conformPinV");
    } else {
        single.setType(nullptr, QStringLiteral("FIDO PIN:"));
        field(dialog, "pinV")->setText(QStringLiteral("1234"));
        typing = field(dialog, "pinV");
    }
    dialog.show();
    QTest::keyClick(typing, Qt::Key(key));
    QCOMPARE(dialog.isVisible(), !closes);
    QCOMPARE(changeDialog ? change.okPressed : single.okPressed, closes);
    dialog.hide();
}

void TestFidoPinDialogs::pivPinChecks_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("passes");
    QTest::addColumn<QString>("message");

    const QString certLength = QStringLiteral("The length of Certificate password must be less 128 characters.");
    const QString fido = QStringLiteral("The length of FIDO2 PIN must be between 4-63 characters.");
    const QString piv = QStringLiteral("The length of PIV PIN must be between 6-8 characters.");
    const QString key = QStringLiteral("The management key must be 48 hexadecimal digits.");
    QTest::newRow("password empty: no password") << "Password:"
                                                 << "" << true << "";
    QTest::newRow("password 127") << "Password:" << QString(127, 'w') << true << "";
    QTest::newRow("password 128") << "Password:" << QString(128, 'w') << false << certLength;
    QTest::newRow("PIV empty") << "PIV PIN:"
                               << "" << false << "Please input data";
    QTest::newRow("PIV 5") << "PIV PIN:"
                           << "12345" << false << piv;
    QTest::newRow("PIV 6") << "PIV PIN:"
                           << "123456" << true << "";
    QTest::newRow("PIV 8") << "PIV PIN:"
                           << "12345678" << true << "";
    QTest::newRow("PIV 9") << "PIV PIN:"
                           << "123456789" << false << piv;
    QTest::newRow("FIDO empty") << "FIDO PIN:"
                                << "" << false << "Please input data";
    QTest::newRow("FIDO 3") << "FIDO PIN:"
                            << "123" << false << fido;
    QTest::newRow("FIDO 4") << "FIDO PIN:"
                            << "1234" << true << "";
    QTest::newRow("FIDO 63") << "FIDO PIN:" << QString(63, '1') << true << "";
    QTest::newRow("FIDO 64") << "FIDO PIN:" << QString(64, '1') << false << fido;
    QTest::newRow("key 47") << "Management Key:" << kManagementKey.left(47) << false << key;
    QTest::newRow("key 48") << "Management Key:" << kManagementKey << true << "";
}

void TestFidoPinDialogs::pivPinChecks()
{
    QFETCH(QString, type);
    QFETCH(QString, value);
    QFETCH(bool, passes);
    QFETCH(QString, message);

    piv_pin dialog(nullptr, 1.0);
    dialog.setType(nullptr, type);
    dialog.show();
    field(dialog, "pinV")->setText(value);
    dialog.findChild<QPushButton*>(QStringLiteral("OK"))->click();

    QCOMPARE(dialog.okPressed, passes);
    QCOMPARE(dialog.isVisible(), !passes);
    QCOMPARE(text(dialog, "pinTip"), message);
    QCOMPARE(field(dialog, "pinV")->text(), value); // the entry stays for correction
    QCOMPARE(dialog.getinput(), passes ? value : QString());
    dialog.hide();
}

void TestFidoPinDialogs::pivPinUseDefault()
{
    piv_pin dialog(nullptr, 1.0);
    QLineEdit* pin = field(dialog, "pinV");
    dialog.setType(nullptr, QStringLiteral("PIV PIN:"));
    defaultBox(dialog)->click();
    QCOMPARE(pin->text(), QStringLiteral("80417326"));
    QCOMPARE(pin->echoMode(), QLineEdit::Normal);
    QVERIFY(!pin->isEnabled());
    defaultBox(dialog)->click();
    QVERIFY(pin->text().isEmpty());
    QCOMPARE(pin->echoMode(), QLineEdit::Password);
    QVERIFY(pin->isEnabled());

    dialog.setType(nullptr, QStringLiteral("Management Key:"));
    defaultBox(dialog)->click();
    QCOMPARE(pin->text(), kManagementKey);
    QCOMPARE(dialog.getinput(), kManagementKey);

    dialog.setType(nullptr, QStringLiteral("FIDO PIN:"));
    QVERIFY(defaultBox(dialog)->isHidden());
}

void TestFidoPinDialogs::nextShowingForgetsInput()
{
    changePIN change(nullptr, 1.0);
    change.setType(nullptr, QStringLiteral("pivchangepin"));
    defaultBox(change)->click();
    field(change, "newpinV")->setText(QStringLiteral("1"));
    change.findChild<QPushButton*>(QStringLiteral("OK"))->click();
    field(change, "newpinV")->setText(QStringLiteral("123456"));
    change.setType(nullptr, QStringLiteral("pivchangepin"));
    QVERIFY(text(change, "tip").isEmpty());
    QVERIFY(field(change, "newpinV")->text().isEmpty());
    QVERIFY(!change.okPressed);

    piv_pin single(nullptr, 1.0);
    single.setType(nullptr, QStringLiteral("PIV PIN:"));
    defaultBox(single)->click();
    single.findChild<QPushButton*>(QStringLiteral("OK"))->click();
    QVERIFY(single.okPressed);
    single.setType(nullptr, QStringLiteral("PIV PIN:"));
    QVERIFY(!single.okPressed);
    QVERIFY(field(single, "pinV")->text().isEmpty());
    QVERIFY(field(single, "pinV")->isEnabled());
    QVERIFY(!defaultBox(single)->isChecked());
}

void TestFidoPinDialogs::dialogsFollowScale()
{
    changePIN change(nullptr, 1.5);
    piv_pin single(nullptr, 1.5);
    CreListDialog list(nullptr, 1.5);
    registFingerprint finger(nullptr, 1.5);
    QCOMPARE(change.size(), QSize(525, 300));
    QCOMPARE(single.size(), QSize(697, 199));
    QCOMPARE(list.size(), QSize(948, 406));
    QCOMPARE(finger.size(), QSize(544, 513));
    QCOMPARE(finger.findChild<QWidget*>(QStringLiteral("imag"))->geometry(), QRect(45, 90, 436, 226));

    // Back to the design size, and a 1.0 notice changes nothing.
    list.screenChanged(1.0);
    QCOMPARE(list.size(), QSize(948, 406));
    list.screenChanged(0.75);
    QCOMPARE(list.size(), QSize(474, 203));
}

QTEST_MAIN(TestFidoPinDialogs)
#include "tst_fidoui_pindialogs.moc"
