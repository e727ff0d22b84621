#include "app/mainwindow.h"
#include "common/fakebackend.h"
#include "common/windowaccess.h"
#include "fido/credential.h"
#include "fido/crelistdialog.h"

#include <QAccessible>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QtTest>

namespace {

// What a screen reader announces for the control.
QString spokenName(QWidget* control)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
    return accessible ? accessible->text(QAccessible::Name) : QString();
}

// A field without a name of its own is announced by the title of the group it sits in, which
// names the group, not the field.
bool namedByItsGroupOnly(QWidget* control, const QString& name)
{
    for (QWidget* up = control->parentWidget(); up; up = up->parentWidget()) {
        if (auto* group = qobject_cast<QGroupBox*>(up))
            return !group->title().isEmpty() && name == group->title() && control->accessibleName().isEmpty();
    }
    return false;
}

// Reached with Tab. Qt's own parts of a control (a spin box's editor, a combo box's list) are
// not controls of their own.
bool isControl(QWidget* widget)
{
    for (QWidget* up = widget->parentWidget(); up; up = up->parentWidget()) {
        if (qobject_cast<QComboBox*>(up))
            return false;
    }
    return (widget->focusPolicy() & Qt::TabFocus) && !widget->objectName().startsWith(QLatin1String("qt_")) &&
           !widget->focusProxy();
}

QStringList unnamedControls(QWidget* root)
{
    QStringList unnamed;
    for (QWidget* control : root->findChildren<QWidget*>()) {
        if (!isControl(control))
            continue;
        const QString name = spokenName(control);
        auto* button = qobject_cast<QPushButton*>(control);
        const bool iconOnly = button && button->text().trimmed().isEmpty();
        if (name.trimmed().isEmpty() || namedByItsGroupOnly(control, name) ||
            (iconOnly && control->toolTip().isEmpty()))
            unnamed << QStringLiteral("%1 (%2)").arg(control->objectName(), control->metaObject()->className());
    }
    return unnamed;
}

} // namespace

// Every focusable control of every page and dialog tells a screen reader what it is (icon-only
// buttons also show a tool tip), and the window can be closed from the keyboard.
class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void everyControlIsNamed();
    void ctrlQClosesTheWindow();
};

void TestAccessibility::everyControlIsNamed()
{
    FakeBackend backend;
    MainWindow w(nullptr, backend.program());
    Credential credential;
    credential.rpId = QStringLiteral("example.org");
    credential.userName = QStringLiteral("alice");
    Access::creList(w)->addItem(credential);
    const QStringList unnamed = unnamedControls(&w);
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QLatin1String(", "))));
}

void TestAccessibility::ctrlQClosesTheWindow()
{
    FakeBackend backend;
    MainWindow w(nullptr, backend.program());
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
    QTRY_VERIFY(backend.receivedLines().contains(QStringLiteral("exit")));
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
